// Particles drawn as camera-facing textured squares: a live emitter (update then draw each
// frame) or a fixed shell that follows the vertices of a Mesh frame. The emitter owns every
// node of its list. draw needs a current GL context; update, buildShell and copyPositions do not.
#pragma once

#include "textures/texture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class Mesh;

// The program's own random generator: state starts at 1, state = state * 214013 + 2531011
// (mod 2^32), each call returning (state >> 16) & 0x7FFF. The particle pattern depends on
// this exact sequence, so the C library's rand is never used.
struct ParticleRandom {
    std::uint32_t state = 1;

    // 0 .. 32767.
    int next();
    // next() / 32767.0: 0 to 1 inclusive.
    float draw();
};

// The one generator the emitters draw from, never reseeded. Tests copy it to predict draws.
ParticleRandom& particleRandom();

struct Particle {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float velocity[3] = {0.0f, 0.0f, 0.0f};   // per second
    float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float colorRate[4] = {0.0f, 0.0f, 0.0f, 0.0f};   // change of color per second
    float birth = 0.0f;   // on the clock passed to update
    float death = 0.0f;
    Particle* prev = nullptr;   // null for the head
    Particle* next = nullptr;   // null for the end node
};

// Everything an emitter carries from one frame into the next, by value: for a session's
// history to be kept and put back without replaying it.
struct EmitterSnapshot {
    struct Node {
        float position[3];
        float velocity[3];
        float color[4];
        float colorRate[4];
        float birth;
        float death;
    };
    std::vector<Node> nodes;   // the list in order, end node included
    float position[3] = {0.0f, 0.0f, 0.0f};
    float acceleration[3] = {0.0f, 0.0f, 0.0f};
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float prevPosition[3] = {0.0f, 0.0f, 0.0f};
    float size = 0.0f;
    // What the snapshot holds, its nodes' room included.
    std::size_t bytes() const { return sizeof(EmitterSnapshot) + nodes.capacity() * sizeof(Node); }
};

// The list always ends with a node that is not drawn; in a live emitter it is the slot of
// the next particle to be born.
class ParticleEmitter {
public:
    Particle* head = nullptr;
    float position[3] = {0.0f, 0.0f, 0.0f};       // set by the owner before update
    float acceleration[3] = {0.0f, 0.0f, 0.0f};   // per second squared, shared by all particles
    float scale[3] = {1.0f, 1.0f, 1.0f};          // applied by draw to positions and squares
    float prevPosition[3] = {0.0f, 0.0f, 0.0f};   // position at the previous update; the owner sets it before the first
    float billboardMatrix[16] = {};               // model-view read back by draw
    float size = 0.0f;                            // half the edge of a square, before scale
    TextureId texture = 0;

    ParticleEmitter();
    ~ParticleEmitter();
    ParticleEmitter(const ParticleEmitter&) = delete;
    ParticleEmitter& operator=(const ParticleEmitter&) = delete;

    // Expires particles with now > death, moves the rest under the acceleration and emits
    // about rate * (now - prev) new ones with velocity, colour and lifetime drawn from the
    // bounds. An update with now <= prev emits nothing.
    void update(float rate, float vxMin, float vxMax, float vyMin, float vyMax, float vzMin, float vzMax, float rMin,
                float rMax, float gMin, float gMax, float bMin, float bMax, float lifeMin, float lifeMax, float now,
                float prev);
    // Blend factors go to glBlendFunc. Leaves the depth test on with GL_LESS, culling off,
    // and the scale on the model-view matrix: callers push or reload it. The immediate draw
    // path sends each square under its own translated matrix; the fast path sends all squares
    // in one block with their corners placed here.
    void draw(unsigned int srcFactor, unsigned int dstFactor);
    // Replaces the list (freeing its nodes) by count nodes, at least one, coloured (r, g, b, a)
    // except the first, whose alpha is 1. The last node ends the list and is not drawn.
    void buildShell(std::int16_t count, float r, float g, float b, float a);
    // Node i takes vertex i of the frame's positions, end node included; stops at the
    // mesh's last vertex when the list is longer.
    void copyPositions(const Mesh& mesh, std::int16_t frame);

    // The emitter's state into snapshot (its buffer reused), and back: the list rebuilt node
    // for node, so the emitter goes on exactly as it would have from there.
    void save(EmitterSnapshot& snapshot) const;
    void restore(const EmitterSnapshot& snapshot);

private:
    void freeList();
};
