#include "timeline/demoTimeline.h"

#include "effects/blindsMask.h"
#include "effects/blobOrbit.h"
#include "effects/cubeCredits.h"
#include "effects/drawKit.h"
#include "effects/factoryRewind.h"
#include "effects/finaleSphere.h"
#include "effects/grassScene.h"
#include "effects/robotCore.h"
#include "effects/titleStreams.h"
#include "effects/warpOverlay.h"
#include "host/renderWindow.h"
#include "platform/loadError.h"
#include "render/mesh.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "textures/texture.h"
#include "timeline/beatPulse.h"

#include <GL/gl.h>

#include <cassert>
#include <string>
#include <vector>

namespace {

constexpr int sceneCount = 12;

const char* const sceneFiles[sceneCount] = {
    "title.3ds",  "trawa.3ds", "blind1.3ds",   "kostka2.3ds",  "rurki.3ds", "elemenci.3ds",
    "tlo1.3ds",   "fabryka.3ds", "credy.3ds", "girorobo.3ds", "last.3ds",  "gridlogo.3ds",
};

// Allocated once, never destroyed: the effects hold pointers into it until the process ends.
Scene* scenes = nullptr;

std::string scenePath(int index) { return std::string("data/") + sceneFiles[index]; }

bool texture(RenderWindow& renderWindow, const char* fileName, TextureId& id, LoadError& error)
{
    id = loadTexture(renderWindow, fileName, error);
    return id != 0;
}

bool maskedTexture(RenderWindow& renderWindow, const char* fileName, const char* maskFileName, TextureId& id,
                   LoadError& error)
{
    id = loadMaskedTexture(renderWindow, fileName, maskFileName, error);
    return id != 0;
}

// The effects attach geometry to a named node, the first node or the first light of some
// scenes; a scene without them is reported at load instead of being read out of bounds later.
std::vector<std::string> requiredNodes(int sceneIndex)
{
    if (sceneIndex == 3) return {"ramka"};
    if (sceneIndex == 9) return {"rdzen"};
    return {};
}

bool checkScene(int sceneIndex, LoadError& error)
{
    if (!checkScenePlayback(scenes[sceneIndex], requiredNodes(sceneIndex), error)) return false;
    if (sceneIndex == 5 && scenes[5].nodeCount < 1) {
        return failLoad(error, scenePath(5), -1, -1, "no mesh object for the title jets to leave from");
    }
    if (sceneIndex == 6 && scenes[6].lightCount < 1) {
        return failLoad(error, scenePath(6), -1, -1, "no light for the credits sparks to follow");
    }
    return true;
}

BeatPulse beat;
EffectCheck effectCheck = nullptr;

void afterDraw(const char* drawName)
{
    if (effectCheck) effectCheck(drawName);
}

} // namespace

Scene& demoScene(int index)
{
    assert(scenes && index >= 0 && index < sceneCount);
    return scenes[index];
}

bool loadDemoAssets(RenderWindow& renderWindow, LoadError& error)
{
    scenes = new Scene[sceneCount];
    for (int i = 0; i < sceneCount; ++i) {
        scenes[i].host = &renderWindow;
        if (!scenes[i].load(scenePath(i), "data/", 2, error)) return false;
        if (!checkScene(i, error)) return false;
        scenes[i].setMeshFlags(MESH_FILL);
    }

    TextureId particle = 0;
    TextureId environment = 0;
    TextureId rewind = 0;
    if (!texture(renderWindow, "data/particle.jpg", particle, error)) return false;
    if (!texture(renderWindow, "data/textur10.jpg", environment, error)) return false;
    if (!texture(renderWindow, "data/rewind.jpg", rewind, error)) return false;

    // These override the clipping planes stored in the files.
    scenes[0].farPlane = 150.0f;
    scenes[0].nearPlane = 50.0f;
    scenes[1].farPlane = 50.0f;
    scenes[1].nearPlane = 1.0f;
    scenes[4].farPlane = 1000.0f;
    scenes[4].nearPlane = 100.0f;

    // Added to what the reader derived from the materials; nothing is cleared.
    scenes[1].setMeshFlags(MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    scenes[2].setMeshFlags(MESH_CULL);
    scenes[3].setMeshFlags(MESH_DEPTH_TEST);
    scenes[3].setMeshFlagsByName("ramka", MESH_CULL | MESH_DEPTH_WRITE);
    for (int i = 4; i <= 7; ++i) scenes[i].setMeshFlags(MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    scenes[8].setMeshFlags(MESH_ADDITIVE);
    for (int i = 9; i <= 11; ++i) scenes[i].setMeshFlags(MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);

    setTitleStreams(&scenes[0], &scenes[5], particle);

    setGrassScene(&scenes[1]);
    setGrassWindow(10.0f, 50.0f, 17.5f);

    setBlobOrbitWindow(50.0f, 65.0f);
    TextureId banner = 0;
    TextureId textura2 = 0;
    TextureId textura1 = 0;
    if (!maskedTexture(renderWindow, "data/zub.jpg", "data/zub_mask.jpg", banner, error)) return false;
    if (!texture(renderWindow, "data/textura2.jpg", textura2, error)) return false;
    if (!texture(renderWindow, "data/textura1.jpg", textura1, error)) return false;
    setBlobOrbit(textura1, textura2, banner, environment);

    setFactoryRewind(&scenes[7], &scenes[4], particle, rewind);
    setFactoryRewindWindow(65.0f, 85.0f);

    setCubeCredits(&scenes[6], &scenes[3], &scenes[8], particle);
    setCubeCreditsWindow(85.0f, 105.0f);

    TextureId gridSm2 = 0;
    TextureId textur14 = 0;
    TextureId textur13 = 0;
    if (!texture(renderWindow, "data/grid_sm2.jpg", gridSm2, error)) return false;
    if (!texture(renderWindow, "data/textur14.jpg", textur14, error)) return false;
    if (!texture(renderWindow, "data/textur13.jpg", textur13, error)) return false;
    setRobotCore(&scenes[9], textur13, textur14, environment, gridSm2, particle);
    setRobotCoreWindow(105.0f, 135.0f);

    TextureId kesusml = 0;
    if (!texture(renderWindow, "data/kesusml.jpg", kesusml, error)) return false;
    setFinaleSphere(&scenes[10], particle, kesusml);
    setFinaleSphereWindow(135.0f, 169.0f);

    TextureId grdk = 0;
    TextureId textura5 = 0;
    TextureId textura4 = 0;
    if (!maskedTexture(renderWindow, "data/grdk.jpg", "data/grdkmask.jpg", grdk, error)) return false;
    if (!maskedTexture(renderWindow, "data/textura5.jpg", "data/mask2.jpg", textura5, error)) return false;
    if (!texture(renderWindow, "data/textura4.jpg", textura4, error)) return false;
    setWarpOverlayTextures(textura4, textura5, grdk);
    setWarpOverlayWindow(17.5f, 50.0f);

    setBlindsMask(&scenes[2]);
    return true;
}

void drawClosingSequence(float demoTime, Scene& logoScene)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    logoScene.frame = static_cast<std::int16_t>((demoTime - 169.0) * 75.0);
    logoScene.draw();
    if (demoTime > 171.5) {
        // Alpha rises from 0 at 171.5 s to 0.999 at 173 s.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        drawScreenColor(0.0f, 0.0f, 0.0f, static_cast<float>((demoTime - 173.0 + 1.5) * 0.666));
        glDisable(GL_BLEND);
    }
}

void composeFrame(float demoTime, float previousTime)
{
    updatePulse(beat, demoTime);
    const float pulse = beat.pulse;

    if (169.0 < demoTime && demoTime < 173.0) {
        drawClosingSequence(demoTime, demoScene(11));
        afterDraw("drawClosingSequence");
    }

    // The order matters where windows overlap: title, blinds and grass from 10 to 17.5 s;
    // the warp overlay last, over the grass, from 17.5 to 50 s.
    drawTitleStreams(demoTime, previousTime, 0.0f, 17.5f);
    afterDraw("drawTitleStreams");
    drawBlindsMask(demoTime, 10.0f, 17.5f);
    afterDraw("drawBlindsMask");
    drawGrassScene(demoTime, pulse);
    afterDraw("drawGrassScene");
    drawBlobOrbit(demoTime, pulse);
    afterDraw("drawBlobOrbit");
    drawFactoryRewind(demoTime, previousTime, pulse);
    afterDraw("drawFactoryRewind");
    drawCubeCredits(demoTime, previousTime, pulse);
    afterDraw("drawCubeCredits");
    drawRobotCore(demoTime, pulse);
    afterDraw("drawRobotCore");
    drawFinaleSphere(demoTime, pulse);
    afterDraw("drawFinaleSphere");
    drawWarpOverlay(demoTime);
    afterDraw("drawWarpOverlay");
}

void setEffectCheck(EffectCheck check) { effectCheck = check; }

float framePulse() { return beat.pulse; }
std::int16_t frameBeatIndex() { return beat.beatIndex; }

void setDemoRunState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}
