#include "effects/robotCore.h"

#include "effects/drawKit.h"
#include "particles/particleEmitter.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

namespace {

float start = 0.0f;
float end = 0.0f;
Scene* scene = nullptr;
TextureId sheetTexture1 = 0;
TextureId sheetTexture2 = 0;
TextureId ribbonTexture = 0;
std::int16_t coreNode = 0;   // index of "rdzen", looked up once at set-up
const float fogColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// Like every effect's static meshes and emitters, these are built before main in whatever
// order the linker gives the effect units. Their constructors only allocate (empty frame
// tables, a list head) and draw no random numbers, so no order can be seen in what is drawn.
Mesh core(2);
ParticleEmitter shell;

} // namespace

void setRobotCore(Scene* robotScene, TextureId sheet1, TextureId sheet2, TextureId envTexture, TextureId ribbon,
                  TextureId particleTexture)
{
    scene = robotScene;
    sheetTexture1 = sheet1;
    sheetTexture2 = sheet2;
    ribbonTexture = ribbon;
    coreNode = scene->findNode("rdzen");
    assert(coreNode >= 0);

    core.shininess = 1.0f;
    core.flags |= 0x3CB;
    core.envTexture = envTexture;
    core.buildGeosphere(100.0f, 4, 0.75f);
    core.changesEveryFrame = true;

    shell.size = 5.0f;
    // One particle per vertex: the shell is never longer than the mesh it follows.
    shell.buildShell(static_cast<std::int16_t>(std::min<std::int32_t>(core.vertexCount, INT16_MAX)), 0.5f, 0.5f,
                     0.5f, 1.0f);
    shell.scale[0] = shell.scale[1] = shell.scale[2] = 1.025f;
    shell.texture = particleTexture;
}

void setRobotCoreWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawRobotCore(float t, float pulse)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;
    const float d = end - start;

    glClear(GL_DEPTH_BUFFER_BIT);

    // Far sheet. The aspect is the constant 1.3333 whatever the window's shape.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(35.0, 1.3333, 5.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -40.0f);
    glBindTexture(GL_TEXTURE_2D, sheetTexture1);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_DENSITY, 1.0f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 34.0f);
    glFogf(GL_FOG_END, 46.0f);
    glEnable(GL_FOG);
    glColor4f(0.8f, 0.8f, 0.8f, 1.0f);
    glDisable(GL_BLEND);
    drawWaveSheet(40.0f, 30.0f, 2.0f, 1.5f, 40, 30, 3.0f, 3.0f, 1.333f, 1.0f, e * 0.5f, e * 0.2f);

    // Near, additive sheet.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50.0, 1.3333, 5.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -30.0f);
    glBindTexture(GL_TEXTURE_2D, sheetTexture2);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glFogf(GL_FOG_START, 26.0f);
    glFogf(GL_FOG_END, 34.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);
    drawWaveSheet(40.0f, 30.0f, 4.0f, 3.0f, 40, 30, 2.0f, 2.0f, 1.0f, 0.75f, -e * 0.25f, -e * 0.4f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
    glClear(GL_DEPTH_BUFFER_BIT);

    scene->frame = static_cast<std::int16_t>(e * 75.0f);
    scene->draw();

    // The core sits in the node's own frame, without the node's pivot offset.
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(scene->nodes[coreNode].world);
    glMultMatrixf(scene->nodes[coreNode].restInverse);

    // The lights keep the positions and colours the scene playback just gave them.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHT2);

    // 10, 12 and 14 times pi: five, six and seven periods over the window.
    const float phaseX = 60.0f * std::sin(e * 31.41592f / d);
    const float phaseY = 50.0f * std::sin(e * 37.699104f / d);
    const float phaseZ = 65.0f * std::sin(e * 43.98229f / d);

    const double amplitude = 0.3 * std::sin(2.0 * 3.141592 * pulse) + 0.5;
    core.wobbleMesh(1, 0, static_cast<float>(amplitude), 170.0f, phaseX, phaseY, phaseZ);
    core.computeFaceNormals(1, 0.5f);
    core.computeVertexNormals(1, 6);

    const float swell = static_cast<float>(0.2 * std::sin(3.141592 * pulse) + 1.0);
    glScalef(swell, swell, swell);
    core.draw();

    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
    glDisable(GL_LIGHT2);
    glDisable(GL_LIGHTING);

    drawRibbon(130.0f, 0.5f, 1.0471973f, 30.0f, 2.0f, 2.0943947f, 140.0f, 0.75f, 1.570796f, 20.0f, 1.5f, 0.0f,
               135.0f, 0.35f, 0.0f, 25.0f, 2.0f, 1.570796f, 300, e * 0.785398f, ribbonTexture);

    shell.copyPositions(core, 1);
    shell.draw(GL_ONE, GL_ONE);
}

const Mesh& robotCoreMesh() { return core; }
const ParticleEmitter& robotCoreShell() { return shell; }
