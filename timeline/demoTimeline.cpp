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
#include "platform/renderWindow.h"
#include "platform/loadError.h"
#include "render/mesh.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "textures/texture.h"
#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"

#include <GL/gl.h>

#include <cassert>
#include <string>
#include <utility>
#include <vector>

namespace {

// Allocated once, never destroyed: the effects hold pointers into it until the process ends.
Scene* scenes = nullptr;
// The folder the pack is loaded from: "data/" in a run folder, the installed pack's full path
// otherwise; every message names files with it.
std::string dataFolder = "data/";

std::string scenePath(int index) { return dataFolder + sceneFiles[index]; }

// Asked between the parts of the loading; a quit gives up with an empty error.
std::function<bool()> loadQuitRequested;

bool quitLoading(LoadError& error)
{
    if (!loadQuitRequested || !loadQuitRequested()) return false;
    error = LoadError{};
    return true;
}

bool texture(RenderWindow& renderWindow, const char* fileName, TextureId& id, LoadError& error)
{
    if (quitLoading(error)) return false;
    id = loadTexture(renderWindow, dataFolder + fileName, error);
    return id != 0;
}

bool maskedTexture(RenderWindow& renderWindow, const char* fileName, const char* maskFileName, TextureId& id,
                   LoadError& error)
{
    if (quitLoading(error)) return false;
    id = loadMaskedTexture(renderWindow, dataFolder + fileName, dataFolder + maskFileName, error);
    return id != 0;
}

// What the demo needs of its scenes beyond what any scene needs to be drawn: each is shown
// through its own camera, and some effects attach to a named node, the first node or lights
// of their scene. A scene without them is refused at load, naming what it lacks, instead of
// being read out of bounds later.
std::vector<std::string> requiredNodes(int sceneIndex)
{
    if (sceneIndex == SCENE_CUBE) return {"ramka"};
    if (sceneIndex == SCENE_ROBOT) return {"rdzen"};
    return {};
}

bool checkScene(int sceneIndex, LoadError& error)
{
    const Scene& scene = scenes[sceneIndex];
    if (!checkScenePlayback(scene, requiredNodes(sceneIndex), error)) return false;
    const std::string path = scenePath(sceneIndex);
    if (!scene.hasCamera) {
        return failLoad(error, path, -1, -1, "has no camera (camera chunk 0x4700 or camera node 0xB003); the demo shows "
                                             "each scene through its own");
    }
    if (sceneIndex == SCENE_ELEMENTS && scene.nodeCount < 1) {
        return failLoad(error, path, -1, -1, "has no node for the title jets to leave from");
    }
    if (sceneIndex == SCENE_TUNNEL && scene.lightCount < 1) {
        return failLoad(error, path, -1, -1, "has no light for the credits sparks to follow");
    }
    // The robot core lights its sphere with lights 0, 1 and 2 as the scene left them.
    if (sceneIndex == SCENE_ROBOT && scene.lightCount < 3) {
        return failLoad(error, path, -1, -1,
                        "has " + std::to_string(scene.lightCount) + " lights; the robot core is lit by the scene's first three");
    }
    return true;
}

BeatPulse beat;
EffectCheck effectCheck;

void afterDraw(const char* drawName, float demoTime)
{
    if (effectCheck) effectCheck(drawName, demoTime);
}

} // namespace

Scene& demoScene(int index)
{
    assert(scenes && index >= 0 && index < sceneCount);
    return scenes[index];
}

bool loadDemoAssets(RenderWindow& renderWindow, LoadError& error, const std::string& folder,
                    const std::function<bool()>& quitRequested)
{
    dataFolder = folder;
    loadQuitRequested = quitRequested;
    scenes = new Scene[sceneCount];
    for (int i = 0; i < sceneCount; ++i) {
        if (quitLoading(error)) return false;
        scenes[i].host = &renderWindow;
        if (!scenes[i].load(scenePath(i), dataFolder, IMAGE_KIND_JPEG, error)) return false;
        if (!checkScene(i, error)) return false;
        scenes[i].setMeshFlags(MESH_FILL);
    }

    TextureId particle = 0;
    TextureId environment = 0;
    TextureId rewind = 0;
    if (!texture(renderWindow, "particle.jpg", particle, error)) return false;
    if (!texture(renderWindow, "textur10.jpg", environment, error)) return false;
    if (!texture(renderWindow, "rewind.jpg", rewind, error)) return false;

    // These override the clipping planes stored in the files.
    scenes[SCENE_TITLE].farPlane = 150.0f;
    scenes[SCENE_TITLE].nearPlane = 50.0f;
    scenes[SCENE_GRASS].farPlane = 50.0f;
    scenes[SCENE_GRASS].nearPlane = 1.0f;
    scenes[SCENE_PIPES].farPlane = 1000.0f;
    scenes[SCENE_PIPES].nearPlane = 100.0f;

    // Added to what the reader derived from the materials; nothing is cleared.
    constexpr std::uint16_t solid = MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE;
    scenes[SCENE_GRASS].setMeshFlags(MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    scenes[SCENE_BLINDS].setMeshFlags(MESH_CULL);
    scenes[SCENE_CUBE].setMeshFlags(MESH_DEPTH_TEST);
    scenes[SCENE_CUBE].setMeshFlagsByName("ramka", MESH_CULL | MESH_DEPTH_WRITE);
    for (int i : {SCENE_PIPES, SCENE_ELEMENTS, SCENE_TUNNEL, SCENE_FACTORY}) scenes[i].setMeshFlags(solid);
    scenes[SCENE_CREDITS].setMeshFlags(MESH_ADDITIVE);
    for (int i : {SCENE_ROBOT, SCENE_FINALE, SCENE_LOGO}) scenes[i].setMeshFlags(solid);

    setTitleStreams(&scenes[SCENE_TITLE], &scenes[SCENE_ELEMENTS], particle);

    setGrassScene(&scenes[SCENE_GRASS]);
    setGrassWindow(grassSceneWindow.start, grassSceneWindow.end, grassSwitchTime);

    setBlobOrbitWindow(blobOrbitWindow.start, blobOrbitWindow.end);
    TextureId banner = 0;
    TextureId textura2 = 0;
    TextureId textura1 = 0;
    if (!maskedTexture(renderWindow, "zub.jpg", "zub_mask.jpg", banner, error)) return false;
    if (!texture(renderWindow, "textura2.jpg", textura2, error)) return false;
    if (!texture(renderWindow, "textura1.jpg", textura1, error)) return false;
    setBlobOrbit(textura1, textura2, banner, environment);

    setFactoryRewind(&scenes[SCENE_FACTORY], &scenes[SCENE_PIPES], particle, rewind);
    setFactoryRewindWindow(factoryRewindWindow.start, factoryRewindWindow.end);

    setCubeCredits(&scenes[SCENE_TUNNEL], &scenes[SCENE_CUBE], &scenes[SCENE_CREDITS], particle);
    setCubeCreditsWindow(cubeCreditsWindow.start, cubeCreditsWindow.end);

    TextureId gridSm2 = 0;
    TextureId textur14 = 0;
    TextureId textur13 = 0;
    if (!texture(renderWindow, "grid_sm2.jpg", gridSm2, error)) return false;
    if (!texture(renderWindow, "textur14.jpg", textur14, error)) return false;
    if (!texture(renderWindow, "textur13.jpg", textur13, error)) return false;
    setRobotCore(&scenes[SCENE_ROBOT], textur13, textur14, environment, gridSm2, particle);
    setRobotCoreWindow(robotCoreWindow.start, robotCoreWindow.end);

    TextureId kesusml = 0;
    if (!texture(renderWindow, "kesusml.jpg", kesusml, error)) return false;
    setFinaleSphere(&scenes[SCENE_FINALE], particle, kesusml);
    setFinaleSphereWindow(finaleSphereWindow.start, finaleSphereWindow.end);

    TextureId grdk = 0;
    TextureId textura5 = 0;
    TextureId textura4 = 0;
    if (!maskedTexture(renderWindow, "grdk.jpg", "grdkmask.jpg", grdk, error)) return false;
    if (!maskedTexture(renderWindow, "textura5.jpg", "mask2.jpg", textura5, error)) return false;
    if (!texture(renderWindow, "textura4.jpg", textura4, error)) return false;
    setWarpOverlayTextures(textura4, textura5, grdk);
    setWarpOverlayWindow(warpOverlayWindow.start, warpOverlayWindow.end);

    setBlindsMask(&scenes[SCENE_BLINDS]);

    // Every scene mesh recorded now, behind the wait screen: recording the grass scene takes
    // longer than a frame, and done here it happens in one order whatever frames a run draws.
    // Grouping nodes (dummies, names no object has) have no mesh.
    for (int i = 0; i < sceneCount; ++i) {
        for (const SceneNode& node : scenes[i].nodes) {
            if (node.mesh) node.mesh->record();
        }
    }
    return true;
}

void drawClosingSequence(float demoTime, Scene& logoScene)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The frame and the alpha are computed in double precision from the float clock.
    logoScene.frame = static_cast<std::int16_t>((demoTime - static_cast<double>(closingWindow.start)) * 75.0);
    logoScene.draw();
    if (demoTime > closingFadeStart) {
        // Alpha rises from 0 at 171.5 s to 0.999 at 173 s.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        drawScreenColor(0.0f, 0.0f, 0.0f,
                        static_cast<float>((demoTime - static_cast<double>(closingWindow.end) + 1.5) * 0.666));
        glDisable(GL_BLEND);
    }
}

void composeFrame(float demoTime, float previousTime, FrameWork work)
{
    updatePulse(beat, demoTime);
    const float pulse = beat.pulse;
    if (work == FRAME_STEP) {
        // The effects with history, in the order of their draws, which call the same steps.
        stepTitleStreams(demoTime, previousTime, titleStreamsWindow.start, titleStreamsWindow.end);
        stepFactoryRewind(demoTime, previousTime);
        stepCubeCredits(demoTime, previousTime);
        stepFinaleSphere(demoTime);
        return;
    }

    if (insideWindow(closingWindow, demoTime)) {
        drawClosingSequence(demoTime, demoScene(SCENE_LOGO));
        afterDraw("drawClosingSequence", demoTime);
    }

    // The order matters where windows overlap: title, blinds and grass from 10 to 17.5 s;
    // the warp overlay last, over the grass, from 17.5 to 50 s.
    drawTitleStreams(demoTime, previousTime, titleStreamsWindow.start, titleStreamsWindow.end);
    afterDraw("drawTitleStreams", demoTime);
    drawBlindsMask(demoTime, blindsMaskWindow.start, blindsMaskWindow.end);
    afterDraw("drawBlindsMask", demoTime);
    drawGrassScene(demoTime, pulse);
    afterDraw("drawGrassScene", demoTime);
    drawBlobOrbit(demoTime, pulse);
    afterDraw("drawBlobOrbit", demoTime);
    drawFactoryRewind(demoTime, previousTime, pulse);
    afterDraw("drawFactoryRewind", demoTime);
    drawCubeCredits(demoTime, previousTime, pulse);
    afterDraw("drawCubeCredits", demoTime);
    drawRobotCore(demoTime, pulse);
    afterDraw("drawRobotCore", demoTime);
    drawFinaleSphere(demoTime, pulse);
    afterDraw("drawFinaleSphere", demoTime);
    drawWarpOverlay(demoTime);
    afterDraw("drawWarpOverlay", demoTime);
}

void setEffectCheck(EffectCheck check) { effectCheck = std::move(check); }

float framePulse() { return beat.pulse; }
BeatPulse frameBeat() { return beat; }
void setFrameBeat(const BeatPulse& state) { beat = state; }
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
