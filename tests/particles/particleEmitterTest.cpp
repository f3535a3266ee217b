#include "tests/support/glFeedback.h"
#include "tests/support/glFixture.h"

#include "particles/particleEmitter.h"
#include "render/mesh.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

std::vector<const Particle*> particles(const ParticleEmitter& emitter)
{
    std::vector<const Particle*> list;
    for (const Particle* node = emitter.head; node->next != nullptr; node = node->next) {
        list.push_back(node);
    }
    return list;
}

int nodeCount(const ParticleEmitter& emitter)
{
    int count = 0;
    for (const Particle* node = emitter.head; node != nullptr; node = node->next) {
        ++count;
    }
    return count;
}

// Fixed velocity, white, lifetime bounds as given.
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
    const int expected[10] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(random.next(), value);
    }
    ParticleRandom again;
    EXPECT_FLOAT_EQ(again.draw(), 41.0f / 32767.0f);
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
        const int count = static_cast<int>(particles(emitter).size());
        ASSERT_EQ(count, extra ? 2 : 1);
        (extra ? sawTwo : sawOne) = true;
        // One count draw and eight per particle.
        for (int i = 0; i < 8 * count; ++i) {
            predicted.next();
        }
        ASSERT_EQ(particleRandom().state, predicted.state);
    }
    EXPECT_TRUE(sawOne);
    EXPECT_TRUE(sawTwo);
}

TEST(ParticleEmitter, EqualBoundsGiveExactlyThatLifetimeAndVelocity)
{
    ParticleEmitter emitter;
    emit(emitter, 400.0f, 5.0f, 5.0f, 0.1f, 0.0f, -60.0f);
    ASSERT_GE(particles(emitter).size(), 40u);
    for (const Particle* p : particles(emitter)) {
        EXPECT_NEAR(p->death - p->birth, 5.0f, 1e-6f);
        EXPECT_GE(p->birth, 0.0f);
        EXPECT_LE(p->birth, 0.1f);
        EXPECT_EQ(p->velocity[0], -60.0f);
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
    EXPECT_EQ(emitter.head->death, death);
    emit(emitter, 0.0f, 5.0f, 5.0f, std::nextafter(death, 10.0f), death);
    for (const Particle* p : particles(emitter)) {
        EXPECT_NE(p->death, death);
    }
    EXPECT_EQ(emitter.head->prev, nullptr);
}

TEST(ParticleEmitter, WhiteParticlesFadeLinearlyToTransparentBlackAtDeath)
{
    ParticleEmitter emitter;
    emit(emitter, 100.0f, 4.0f, 4.0f, 0.0125f, 0.0f);
    const Particle* first = particles(emitter).front();
    const float birth = first->birth;
    EXPECT_NEAR(first->color[3], 1.0f - (0.0125f - birth) / 4.0f, 1e-6f);
    emit(emitter, 0.0f, 4.0f, 4.0f, birth + 2.0f, 0.0125f);
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(first->color[c], 0.5f, 1e-5f);
    }
    emit(emitter, 0.0f, 4.0f, 4.0f, first->death, birth + 2.0f);
    ASSERT_EQ(emitter.head, first);
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(first->color[c], 0.0f, 1e-5f);
    }
}

TEST(ParticleEmitter, LivingParticlesMoveUnderTheAcceleration)
{
    ParticleEmitter emitter;
    emitter.acceleration[1] = -10.0f;
    emit(emitter, 100.0f, 10.0f, 10.0f, 0.0125f, 0.0f, 2.0f);
    const Particle* first = particles(emitter).front();
    const float x = first->position[0], y = first->position[1], vy = first->velocity[1];
    // One second: half a t^2 of acceleration plus the old velocity.
    emit(emitter, 0.0f, 10.0f, 10.0f, 1.0125f, 0.0125f, 2.0f);
    EXPECT_NEAR(first->position[0] - x, 2.0f, 1e-5f);
    EXPECT_NEAR(first->position[1] - y, -5.0f + vy, 1e-5f);
    EXPECT_NEAR(first->velocity[1] - vy, -10.0f, 1e-5f);
}

TEST(ParticleEmitter, EmitterStandingStillEmitsAtItsPosition)
{
    ParticleEmitter emitter;
    for (int c = 0; c < 3; ++c) {
        emitter.position[c] = emitter.prevPosition[c] = 3.0f;
    }
    emit(emitter, 400.0f, 5.0f, 5.0f, 0.1f, 0.0f);
    for (const Particle* p : particles(emitter)) {
        EXPECT_FLOAT_EQ(p->position[0], 3.0f);
        EXPECT_FLOAT_EQ(p->position[2], 3.0f);
    }
    emitter.position[0] = 10.0f;
    emit(emitter, 0.0f, 5.0f, 5.0f, 0.2f, 0.1f);
    EXPECT_EQ(emitter.prevPosition[0], 10.0f);
}

// The count draw can be exactly 0, which would emit one particle into a zero interval and
// divide the emitter's path by dt = 0. Nothing is emitted, nothing becomes NaN, and the
// generator advances by the one count draw as in any update.
TEST(ParticleEmitter, UpdateWithoutElapsedTimeEmitsNothingEvenOnAZeroDraw)
{
    ParticleEmitter emitter;
    emitter.position[0] = 1.0f;
    emit(emitter, 300.0f, 5.0f, 5.0f, 1.0f, 0.9f);
    const std::size_t before = particles(emitter).size();
    ASSERT_GT(before, 0u);

    ParticleRandom lookahead = particleRandom();
    while (lookahead.next() != 0) {
        particleRandom().next();
    }
    ParticleRandom expectedAfter = particleRandom();
    expectedAfter.next();
    emit(emitter, 300.0f, 5.0f, 5.0f, 2.0f, 2.0f);
    EXPECT_EQ(particles(emitter).size(), before);
    EXPECT_EQ(particleRandom().state, expectedAfter.state);
    for (const Particle* p : particles(emitter)) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(std::isfinite(p->position[c]));
        }
        for (int c = 0; c < 4; ++c) {
            EXPECT_TRUE(std::isfinite(p->color[c]));
        }
    }
}

TEST(ParticleEmitter, ZeroLifetimeKeepsColoursFinite)
{
    ParticleEmitter emitter;
    emit(emitter, 400.0f, 0.0f, 0.0f, 0.1f, 0.0f);
    ASSERT_FALSE(particles(emitter).empty());
    for (const Particle* p : particles(emitter)) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_TRUE(std::isfinite(p->color[c]));
        }
    }
}

TEST(ParticleShell, BuildShellReplacesTheListWithCountNodes)
{
    ParticleEmitter emitter;
    emit(emitter, 400.0f, 5.0f, 5.0f, 0.1f, 0.0f);
    emitter.buildShell(5, 0.2f, 0.4f, 0.6f, 0.8f);
    EXPECT_EQ(nodeCount(emitter), 5);
    EXPECT_EQ(emitter.head->prev, nullptr);
    EXPECT_EQ(emitter.head->color[3], 1.0f);
    EXPECT_EQ(emitter.head->color[0], 0.2f);
    int i = 0;
    for (const Particle* node = emitter.head; node != nullptr; node = node->next, ++i) {
        if (i > 0) {
            EXPECT_EQ(node->color[3], 0.8f);
            EXPECT_EQ(node->prev->next, node);
        }
        EXPECT_EQ(node->color[2], 0.6f);
    }
    emitter.buildShell(3, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(nodeCount(emitter), 3);
    emitter.buildShell(0, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(nodeCount(emitter), 1);
}

TEST(ParticleShell, CopyPositionsFillsNodesInVertexOrderAndStopsAtTheLastVertex)
{
    Mesh mesh(2);
    mesh.allocVertices(4, 0);
    for (int i = 0; i < 12; ++i) {
        mesh.positions[0][i] = static_cast<float>(i);
        mesh.positions[1][i] = static_cast<float>(100 + i);
    }
    ParticleEmitter emitter;
    emitter.buildShell(6, 1.0f, 1.0f, 1.0f, 1.0f);
    emitter.copyPositions(mesh, 1);
    const Particle* node = emitter.head;
    for (int i = 0; i < 6; ++i, node = node->next) {
        const float expected = i < 4 ? static_cast<float>(100 + 3 * i) : 0.0f;
        EXPECT_EQ(node->position[0], expected) << "node " << i;
    }

    // A shell as long as the mesh: the end node takes the last vertex.
    emitter.buildShell(4, 1.0f, 1.0f, 1.0f, 1.0f);
    emitter.copyPositions(mesh, 0);
    const Particle* last = emitter.head->next->next->next;
    EXPECT_EQ(last->next, nullptr);
    EXPECT_EQ(last->position[2], 11.0f);

    // A frame the mesh does not have changes nothing.
    emitter.copyPositions(mesh, 2);
    EXPECT_EQ(last->position[2], 11.0f);
}

class ParticleDrawing : public GlTest {};

TEST_F(ParticleDrawing, ShellOfNNodesDrawsNMinusOneSquaresAtItsVertices)
{
    Mesh mesh;
    mesh.allocVertices(5, 0);
    const float points[5][3] = {{-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0}, {-0.5f, 0.5f, 0}, {0, 0, 0}};
    std::copy(&points[0][0], &points[0][0] + 15, mesh.positions[0]);
    ParticleEmitter emitter;
    emitter.size = 0.0625f;
    emitter.buildShell(5, 0.5f, 0.25f, 1.0f, 0.75f);
    emitter.copyPositions(mesh, 0);
    const std::vector<std::vector<FeedbackVertex>> squares =
        feedbackQuads(captureFeedback([&] { emitter.draw(GL_ONE, GL_ONE); }));
    ASSERT_EQ(squares.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        float cx = 0.0f, cy = 0.0f;
        for (const FeedbackVertex& v : squares[i]) {
            cx += v.x / 4.0f;
            cy += v.y / 4.0f;
        }
        EXPECT_NEAR(cx, (points[i][0] + 1.0f) * 32.0f, 1e-3f);
        EXPECT_NEAR(cy, (points[i][1] + 1.0f) * 32.0f, 1e-3f);
        EXPECT_FLOAT_EQ(squares[i][0].color[3], i == 0 ? 1.0f : 0.75f);
        EXPECT_FLOAT_EQ(squares[i][0].color[0], 0.5f);
    }
}

// The squares face the eye whatever the model-view rotation: each is an axis-aligned
// screen square of edge 2 * size, texture (0, 0) at its lower left.
TEST_F(ParticleDrawing, SquaresFaceTheEye)
{
    ParticleEmitter emitter;
    emitter.buildShell(2, 1.0f, 1.0f, 1.0f, 1.0f);
    emitter.size = 0.5f;
    glMatrixMode(GL_MODELVIEW);
    glRotatef(45.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(30.0f, 1.0f, 0.0f, 0.0f);
    const std::vector<std::vector<FeedbackVertex>> squares =
        feedbackQuads(captureFeedback([&] { emitter.draw(GL_ONE, GL_ONE); }));
    ASSERT_EQ(squares.size(), 1u);
    const float corners[4][4] = {{16, 16, 0, 0}, {48, 16, 1, 0}, {48, 48, 1, 1}, {16, 48, 0, 1}};
    for (int k = 0; k < 4; ++k) {
        const FeedbackVertex& v = squares[0][k];
        EXPECT_NEAR(v.x, corners[k][0], 1e-3f) << "corner " << k;
        EXPECT_NEAR(v.y, corners[k][1], 1e-3f) << "corner " << k;
        EXPECT_EQ(v.texCoord[0], corners[k][2]);
        EXPECT_EQ(v.texCoord[1], corners[k][3]);
    }
}

TEST_F(ParticleDrawing, DrawLeavesDepthTestOnWritesOnAndTheScaleOnTheMatrix)
{
    ParticleEmitter emitter;
    emitter.buildShell(3, 1.0f, 0.0f, 0.0f, 1.0f);
    emitter.size = 0.25f;
    emitter.scale[0] = 2.0f;
    emitter.scale[1] = 3.0f;
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_ONE, GL_ZERO);
    emitter.draw(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    glGetIntegerv(GL_DEPTH_WRITEMASK, &value);
    EXPECT_EQ(value, GL_TRUE);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_ZERO);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_COLOR);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
    float matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_EQ(matrix[0], 2.0f);
    EXPECT_EQ(matrix[5], 3.0f);
    EXPECT_EQ(matrix[10], 1.0f);
    EXPECT_EQ(emitter.billboardMatrix[0], 1.0f);
    glDepthFunc(GL_LEQUAL);
}
