// The final scene with a beat zoom, a four-layer particle sphere hung in it and the turning
// logo column at the right edge. Owns the sphere mesh (it only supplies particle positions)
// and the shell; holds the scene and textures it is given. The draw needs a current GL context.
#pragma once

#include "textures/texture.h"

#include <cstddef>

struct Scene;
class Mesh;
class ParticleEmitter;

void setFinaleSphere(Scene* scene, TextureId particleTexture, TextureId logoTexture);
void setFinaleSphereWindow(float start, float end);
// Draws only while start < t < end, the logo column last.
void drawFinaleSphere(float t, float pulse);
// What a frame at t carries into the next, without drawing and without GL: the logo
// column's phase. drawFinaleSphere takes the same step after the column is drawn.
void stepFinaleSphere(float t);

const Mesh& finaleSphereMesh();
const ParticleEmitter& finaleSphereShell();

// What the finale carries from frame to frame: the logo column's phase, set by the frame
// before.
struct FinaleSphereState {
    float logoPhase = 0.0f;
    std::size_t bytes() const { return sizeof(FinaleSphereState); }
};
void saveFinaleSphere(FinaleSphereState& state);
void restoreFinaleSphere(const FinaleSphereState& state);
