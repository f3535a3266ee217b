#include "particles/particleEmitter.h"

#include "render/drawPath.h"
#include "render/mesh.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

int ParticleRandom::next()
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

float ParticleRandom::draw()
{
    return static_cast<float>((next() & 0x7FFF) / 32767.0);
}

ParticleRandom& particleRandom()
{
    static ParticleRandom generator;
    return generator;
}

ParticleEmitter::ParticleEmitter()
{
    head = new Particle();
}

ParticleEmitter::~ParticleEmitter()
{
    freeList();
}

void ParticleEmitter::freeList()
{
    Particle* node = head;
    while (node != nullptr) {
        Particle* following = node->next;
        delete node;
        node = following;
    }
    head = nullptr;
}

void ParticleEmitter::update(float rate, float vxMin, float vxMax, float vyMin, float vyMax, float vzMin, float vzMax,
                             float rMin, float rMax, float gMin, float gMax, float bMin, float bMax, float lifeMin,
                             float lifeMax, float now, float prev)
{
    ParticleRandom& random = particleRandom();
    const float dt = now - prev;
    const float half = static_cast<float>(dt * dt / 2.0);

    // Expire; the end node is never a particle.
    Particle* node = head;
    while (node->next != nullptr) {
        Particle* following = node->next;
        if (now > node->death) {
            if (node->prev != nullptr) {
                node->prev->next = following;
            } else {
                head = following;
            }
            following->prev = node->prev;
            delete node;
        }
        node = following;
    }

    // Move the survivors: position with the old velocity, then the velocity.
    for (node = head; node->next != nullptr; node = node->next) {
        for (int c = 0; c < 3; ++c) {
            node->position[c] += half * acceleration[c] + dt * node->velocity[c];
            node->velocity[c] += dt * acceleration[c];
        }
        for (int c = 0; c < 4; ++c) {
            node->color[c] += dt * node->colorRate[c];
        }
    }

    // One draw settles the fractional part of the expected count.
    const float expected = dt * rate;
    int count = expected >= 32767.0f ? 32767 : static_cast<int>(std::floor(expected));
    const float countDraw = random.draw();
    if (countDraw <= expected - static_cast<float>(count)) {
        ++count;
    }
    // With no time passed nothing is born: births would all fall on prev and the emitter's
    // path would be divided by a zero dt. The count draw above is still taken, so the
    // generator's sequence is the same as for any other frame.
    if (dt <= 0.0f) {
        count = 0;
    }

    Particle* end = node;
    for (int i = 0; i < count; ++i) {
        Particle* fresh = new Particle();
        end->next = fresh;
        fresh->prev = end;
        Particle& particle = *end;

        particle.birth = prev + random.draw() * dt;
        particle.death = particle.birth + lifeMin + random.draw() * (lifeMax - lifeMin);
        const float age = now - particle.birth;
        const float ageHalf = static_cast<float>(age * age / 2.0);
        particle.color[0] = rMin + random.draw() * (rMax - rMin);
        particle.color[1] = gMin + random.draw() * (gMax - gMin);
        particle.color[2] = bMin + random.draw() * (bMax - bMin);
        particle.color[3] = 1.0f;
        // Colour and alpha reach 0 at death. A zero lifetime keeps its colour: the particle
        // is gone at the next update anyway.
        const float lifetime = particle.death - particle.birth;
        for (int c = 0; c < 4; ++c) {
            particle.colorRate[c] = lifetime > 0.0f ? -particle.color[c] / lifetime : 0.0f;
            particle.color[c] += age * particle.colorRate[c];
        }
        particle.velocity[0] = vxMin + random.draw() * (vxMax - vxMin);
        particle.velocity[1] = vyMin + random.draw() * (vyMax - vyMin);
        particle.velocity[2] = vzMin + random.draw() * (vzMax - vzMin);
        // Born somewhere along the emitter's path over the frame, then aged.
        for (int c = 0; c < 3; ++c) {
            particle.position[c] = prevPosition[c] + (position[c] - prevPosition[c]) * age / dt +
                                   age * particle.velocity[c] + ageHalf * acceleration[c];
            particle.velocity[c] += age * acceleration[c];
        }
        end = fresh;
    }

    for (int c = 0; c < 3; ++c) {
        prevPosition[c] = position[c];
    }
}

void ParticleEmitter::draw(unsigned int srcFactor, unsigned int dstFactor)
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(srcFactor, dstFactor);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);

    // Column-major: the first and second rows of the rotation are the eye's right and up
    // directions in model space.
    glMatrixMode(GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, billboardMatrix);
    const float* m = billboardMatrix;
    const float right[3] = {size * m[0], size * m[4], size * m[8]};
    const float up[3] = {size * m[1], size * m[5], size * m[9]};
    glScalef(scale[0], scale[1], scale[2]);

    const float corners[4][3] = {
        {-right[0] - up[0], -right[1] - up[1], -right[2] - up[2]},
        {right[0] - up[0], right[1] - up[1], right[2] - up[2]},
        {right[0] + up[0], right[1] + up[1], right[2] + up[2]},
        {-right[0] + up[0], -right[1] + up[1], -right[2] + up[2]},
    };
    const float texCoords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    if (drawPath() == DRAW_PATH_IMMEDIATE) {
        for (const Particle* node = head; node->next != nullptr; node = node->next) {
            glPushMatrix();
            glTranslatef(node->position[0], node->position[1], node->position[2]);
            glColor4fv(node->color);
            glBegin(GL_QUADS);
            for (int k = 0; k < 4; ++k) {
                glTexCoord2fv(texCoords[k]);
                glVertex3fv(corners[k]);
            }
            glEnd();
            glPopMatrix();
        }
    } else {
        // One block for the whole list: each corner is the particle's position plus the corner
        // offset, summed here instead of by a translation on the matrix stack. The sum rounds
        // once in single precision where the translated matrix rounds in its own order, so
        // the squares' edges may land a rounding apart from the immediate path's.
        glBegin(GL_QUADS);
        for (const Particle* node = head; node->next != nullptr; node = node->next) {
            const float* p = node->position;
            glColor4fv(node->color);
            for (int k = 0; k < 4; ++k) {
                glTexCoord2fv(texCoords[k]);
                glVertex3f(p[0] + corners[k][0], p[1] + corners[k][1], p[2] + corners[k][2]);
            }
        }
        glEnd();
    }

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void ParticleEmitter::buildShell(std::int16_t count, float r, float g, float b, float a)
{
    freeList();
    const int nodeCount = count < 1 ? 1 : count;
    Particle* last = nullptr;
    for (int i = 0; i < nodeCount; ++i) {
        Particle* node = new Particle();
        node->color[0] = r;
        node->color[1] = g;
        node->color[2] = b;
        node->color[3] = i == 0 ? 1.0f : a;
        node->prev = last;
        if (last != nullptr) {
            last->next = node;
        } else {
            head = node;
        }
        last = node;
    }
}

void ParticleEmitter::copyPositions(const Mesh& mesh, std::int16_t frame)
{
    if (frame < 0 || frame >= mesh.frameCount || mesh.positions[frame] == nullptr) {
        return;
    }
    const float* source = mesh.positions[frame];
    int i = 0;
    for (Particle* node = head; node != nullptr && i < mesh.vertexCount; node = node->next, ++i) {
        node->position[0] = source[3 * i];
        node->position[1] = source[3 * i + 1];
        node->position[2] = source[3 * i + 2];
    }
}

void ParticleEmitter::save(EmitterSnapshot& snapshot) const
{
    snapshot.nodes.clear();
    for (const Particle* node = head; node != nullptr; node = node->next) {
        EmitterSnapshot::Node saved;
        std::copy(node->position, node->position + 3, saved.position);
        std::copy(node->velocity, node->velocity + 3, saved.velocity);
        std::copy(node->color, node->color + 4, saved.color);
        std::copy(node->colorRate, node->colorRate + 4, saved.colorRate);
        saved.birth = node->birth;
        saved.death = node->death;
        snapshot.nodes.push_back(saved);
    }
    for (int c = 0; c < 3; ++c) {
        snapshot.position[c] = position[c];
        snapshot.acceleration[c] = acceleration[c];
        snapshot.scale[c] = scale[c];
        snapshot.prevPosition[c] = prevPosition[c];
    }
    snapshot.size = size;
}

void ParticleEmitter::restore(const EmitterSnapshot& snapshot)
{
    freeList();
    Particle* last = nullptr;
    for (const EmitterSnapshot::Node& saved : snapshot.nodes) {
        Particle* node = new Particle();
        std::copy(saved.position, saved.position + 3, node->position);
        std::copy(saved.velocity, saved.velocity + 3, node->velocity);
        std::copy(saved.color, saved.color + 4, node->color);
        std::copy(saved.colorRate, saved.colorRate + 4, node->colorRate);
        node->birth = saved.birth;
        node->death = saved.death;
        node->prev = last;
        node->next = nullptr;
        (last ? last->next : head) = node;
        last = node;
    }
    if (!head) head = new Particle();
    for (int c = 0; c < 3; ++c) {
        position[c] = snapshot.position[c];
        acceleration[c] = snapshot.acceleration[c];
        scale[c] = snapshot.scale[c];
        prevPosition[c] = snapshot.prevPosition[c];
    }
    size = snapshot.size;
}
