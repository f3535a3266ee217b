#include "effects/finaleSphere.h"

#include "effects/drawKit.h"
#include "particles/particleEmitter.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

float start = 0.0f;
float end = 0.0f;
Scene* scene = nullptr;
TextureId logoTexture = 0;
// The smear phase drawn in a frame is the one stored by the frame before; 0 in the first.
float logoPhase = 0.0f;

Mesh sphere(2);
ParticleEmitter shell;

// Four logo sprites in a column at the right edge, each smeared along a short turning line.
void drawLogoCircle(float t)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    setSpriteTexture(logoTexture);
    setSpriteTexRect(0.0f, 0.15f, 1.0f, 0.85f);
    setSpriteSize(0.25f, 0.25f);
    setSpriteCount(15);
    // Fifteen additive copies of one fifteenth each add up to full brightness.
    setSpriteAlpha(1.0f / 15.0f, 1.0f / 15.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    for (int k = 0; k < 4; ++k) {
        glLoadIdentity();
        const float length = 0.03f * std::sin((k / 6.0f + logoPhase) * 2.0f * 3.141592f) + 1.5f * 0.03f;
        const float centreY = 0.5f * k - 0.75f;
        const float angle = logoPhase * 2.0f * 3.141592f + k * 3.141592f / 3.0f;
        setSpriteStart(0.8f + 0.5f * length * std::cos(angle), centreY + 0.5f * length * std::sin(angle));
        setSpriteEnd(0.8f - 0.5f * length * std::cos(angle), centreY - 0.5f * length * std::sin(angle));
        drawSpriteTrail();
    }
    stepFinaleSphere(t);
}

} // namespace

void setFinaleSphere(Scene* finalScene, TextureId particleTexture, TextureId logo)
{
    scene = finalScene;
    sphere.buildGeosphere(70.0f, 4, 0.75f);
    shell.texture = particleTexture;
    shell.size = 4.0f;
    // A dim warm colour that adds up where particles overlap; one particle per vertex.
    shell.buildShell(static_cast<std::int16_t>(std::min<std::int32_t>(sphere.vertexCount, INT16_MAX)), 0.2f, 0.15f,
                     0.1f, 1.0f);
    shell.scale[0] = shell.scale[1] = shell.scale[2] = 1.0f;
    logoTexture = logo;
}

void setFinaleSphereWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawFinaleSphere(float t, float pulse)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;
    const float d = end - start;

    glClear(GL_DEPTH_BUFFER_BIT);

    // A zoom punch: the field of view narrows by up to 13 degrees in the middle of a beat.
    scene->frame = static_cast<std::int16_t>(e * 75.0f);
    scene->fovOffset = -13.0f * std::sin(3.141592f * pulse);
    scene->draw();

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(scene->viewMatrix);

    const float phaseX = 60.0f * std::sin(e * 31.41592f / d);
    const float phaseY = 50.0f * std::sin(e * 37.699104f / d);
    const float phaseZ = 65.0f * std::sin(e * 43.98229f / d);
    sphere.wobbleMesh(1, 0, 0.5f, 140.0f, phaseX, phaseY, phaseZ);
    shell.copyPositions(sphere, 1);

    // The sphere's centre in scene units.
    glTranslatef(-15.0f, 51.0f, 70.0f);
    shell.draw(GL_ONE, GL_ONE);

    // Three more layers at slightly smaller scales and tilts, so they shimmer against each other.
    glPushMatrix();
    glScalef(0.95f, 0.95f, 0.95f);
    glRotatef(8.0f, 0.0f, 0.0f, 1.0f);
    shell.draw(GL_ONE, GL_ONE);
    glPopMatrix();
    glPushMatrix();
    glScalef(0.9f, 0.9f, 0.9f);
    glRotatef(3.0f, 1.0f, 0.0f, -1.0f);
    shell.draw(GL_ONE, GL_ONE);
    glPopMatrix();
    glPushMatrix();
    glScalef(0.85f, 0.85f, 0.85f);
    glRotatef(5.5f, 0.0f, -1.0f, 1.0f);
    shell.draw(GL_ONE, GL_ONE);
    glPopMatrix();

    drawLogoCircle(t);
}

void stepFinaleSphere(float t)
{
    if (!(start < t && t < end)) return;
    logoPhase = (t - start) * 1.125f;
}

const Mesh& finaleSphereMesh() { return sphere; }
void saveFinaleSphere(FinaleSphereState& state) { state.logoPhase = logoPhase; }

void restoreFinaleSphere(const FinaleSphereState& state) { logoPhase = state.logoPhase; }

const ParticleEmitter& finaleSphereShell() { return shell; }
