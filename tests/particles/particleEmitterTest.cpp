#include "particles/particleEmitter.h"
#include "render/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<const Particle*> particles(const ParticleEmitter& emitter)
{
    std::vector<const Particle*> list;
    for (const Particle* node = emitter.head; node->next != nullptr; node = node->next) list.push_back(node);
    return list;
}

int nodeCount(const ParticleEmitter& emitter)
{
    int count = 0;
    for (const Particle* node = emitter.head; node != nullptr; node = node->next) ++count;
    return count;
}

// Fixed velocity along x, white, lifetime bounds as given.
void emit(ParticleEmitter& emitter, float rate, float lifeMin, float lifeMax, float now, float prev,
          float velocityX = 0.0f)
{
    emitter.update(rate, velocityX, velocityX, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, lifeMin,
                   lifeMax, now, prev);
}

}  // namespace

TEST(ParticleRandom, FollowsTheProgramsRecurrenceFromStateOne)
{
    ParticleRandom random;
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
        EXPECT_EQ(random.next(), value);
    }
    EXPECT_FLOAT_EQ(ParticleRandom().draw(), 41.0f / 32767.0f);
}

// x = 0.0125 * 100 = 1.25: one particle, and a second when the count draw is at most 0.25.
TEST(ParticleEmitter, RateTimesIntervalEmitsItsWholePartAndTheFractionByOneDraw)
{
    bool sawOne = false, sawTwo = false;
    for (int attempt = 0; attempt < 200 && !(sawOne && sawTwo); ++attempt) {
        ParticleEmitter emitter;
        ParticleRandom predicted = particleRandom();
        const bool extra = predicted.draw() <= 0.25f;
        emit(emitter, 100.0f, 5.0f, 5.0f, 0.0125f, 0.0f);
        ASSERT_EQ(particles(emitter).size(), extra ? 2u : 1u);
        (extra ? sawTwo : sawOne) = true;
    }
    EXPECT_TRUE(sawOne);
    EXPECT_TRUE(sawTwo);
}

// Every bound pair is its own range, so a value drawn out of turn lands on the wrong
// number. The emitter moves from prevPosition to position over the frame, and each
// particle starts at prevPosition + (position - prevPosition) * age / dt, then flies for
// its age.
TEST(ParticleEmitter, EachParticleTakesItsEightDrawsInOrderAndItsPlaceOnTheEmittersPath)
{
    ParticleEmitter emitter;
    const float from[3] = {1.0f, 2.0f, 3.0f}, to[3] = {11.0f, 22.0f, 33.0f};
    for (int c = 0; c < 3; ++c) {
        emitter.prevPosition[c] = from[c];
        emitter.position[c] = to[c];
    }
    ParticleRandom predicted = particleRandom();
    const bool extra = predicted.draw() <= 0.0f;
    // dt 0.25 at 4 per second: exactly one particle unless the count draw is 0.
    emitter.update(4.0f, -10.0f, -5.0f, 5.0f, 10.0f, 20.0f, 30.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 2.0f, 3.0f,
                   1.25f, 1.0f);
    ASSERT_EQ(particles(emitter).size(), extra ? 2u : 1u);
    const Particle& p = *emitter.head;
    float draw[8];
    for (float& d : draw) d = predicted.draw();
    EXPECT_FLOAT_EQ(p.birth, 1.0f + draw[0] * 0.25f);
    EXPECT_NEAR(p.death - p.birth, 2.0f + draw[1], 1e-5f);
    const float age = 1.25f - p.birth, fade = 1.0f - age / (p.death - p.birth);
    const float colour[3] = {0.1f + draw[2] * 0.1f, 0.3f + draw[3] * 0.1f, 0.5f + draw[4] * 0.1f};
    const float velocity[3] = {-10.0f + draw[5] * 5.0f, 5.0f + draw[6] * 5.0f, 20.0f + draw[7] * 10.0f};
    EXPECT_NEAR(p.color[3], fade, 1e-5f);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(p.color[c], colour[c] * fade, 1e-5f) << "colour " << c;
        EXPECT_NEAR(p.velocity[c], velocity[c], 1e-4f) << "velocity " << c;
        EXPECT_NEAR(p.position[c], from[c] + (to[c] - from[c]) * age / 0.25f + age * velocity[c], 1e-4f)
            << "position " << c;
        EXPECT_EQ(emitter.prevPosition[c], to[c]);
    }
}

TEST(ParticleEmitter, ParticleWhoseDeathEqualsNowSurvivesOneMoreUpdate)
{
    ParticleEmitter emitter;
    emit(emitter, 100.0f, 5.0f, 5.0f, 0.0125f, 0.0f);
    const Particle* first = particles(emitter).front();
    const float death = first->death;
    emit(emitter, 0.0f, 5.0f, 5.0f, death, 0.0125f);
    ASSERT_EQ(emitter.head, first);
    emit(emitter, 0.0f, 5.0f, 5.0f, std::nextafter(death, 10.0f), death);
    for (const Particle* p : particles(emitter)) EXPECT_NE(p->death, death);
    EXPECT_EQ(emitter.head->prev, nullptr);
}

// The count draw can be exactly 0, which would emit one particle into a zero interval and
// divide the emitter's path by dt = 0: nothing is emitted and the generator advances by the
// one count draw as in any update. A zero lifetime would divide the colour by 0.
TEST(ParticleEmitter, ZeroIntervalOrLifetimeEmitsNothingNotANumber)
{
    ParticleEmitter emitter;
    emitter.position[0] = 1.0f;
    emit(emitter, 300.0f, 5.0f, 5.0f, 1.0f, 0.9f);
    const std::size_t before = particles(emitter).size();
    ASSERT_GT(before, 0u);
    ParticleRandom lookahead = particleRandom();
    while (lookahead.next() != 0) particleRandom().next();
    ParticleRandom expectedAfter = particleRandom();
    expectedAfter.next();
    emit(emitter, 300.0f, 5.0f, 5.0f, 2.0f, 2.0f);
    EXPECT_EQ(particles(emitter).size(), before);
    EXPECT_EQ(particleRandom().state, expectedAfter.state);
    emit(emitter, 300.0f, 0.0f, 0.0f, 2.5f, 2.0f);
    for (const Particle* p : particles(emitter)) {
        for (float value : {p->position[0], p->position[1], p->color[0], p->color[3]}) EXPECT_TRUE(std::isfinite(value));
    }
}

// A shell of count nodes replaces the list, the first opaque; copyPositions puts node i on
// vertex i of a frame, the end node included, and stops at the mesh's last vertex.
TEST(ParticleShell, HoldsCountNodesThatTakeTheVerticesOfAMeshFrameInOrder)
{
    Mesh mesh(2);
    mesh.allocVertices(4, 0);
    for (int i = 0; i < 12; ++i) mesh.positions[1][i] = static_cast<float>(100 + i);
    ParticleEmitter emitter;
    emit(emitter, 400.0f, 5.0f, 5.0f, 0.1f, 0.0f);
    emitter.buildShell(6, 0.2f, 0.4f, 0.6f, 0.8f);
    emitter.copyPositions(mesh, 1);
    EXPECT_EQ(nodeCount(emitter), 6);
    EXPECT_EQ(emitter.head->prev, nullptr);
    EXPECT_EQ(emitter.head->color[3], 1.0f);
    int i = 0;
    for (const Particle* node = emitter.head; node != nullptr; node = node->next, ++i) {
        EXPECT_EQ(node->position[0], i < 4 ? static_cast<float>(100 + 3 * i) : 0.0f) << "node " << i;
        if (i > 0) {
            EXPECT_EQ(node->color[3], 0.8f);
            EXPECT_EQ(node->prev->next, node);
        }
    }
    emitter.buildShell(0, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(nodeCount(emitter), 1);
}
