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
#include "platform/display/renderWindow.h"
#include "platform/files/loadError.h"
#include "render/mesh.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "textures/texture.h"
#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"
#include "timeline/showEffects.h"

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

// The pictures the effects are handed, beside the maps the scenes name themselves; a picture
// with a mask takes the mask's grey as its alpha.
enum DemoPicture {
    PICTURE_PARTICLE,
    PICTURE_ENVIRONMENT,
    PICTURE_REWIND,
    PICTURE_BANNER,
    PICTURE_BLOB_MODULATE,
    PICTURE_BLOB_BACK,
    PICTURE_GRID,
    PICTURE_SHEET_2,
    PICTURE_SHEET_1,
    PICTURE_LOGO,
    PICTURE_WARP_LOGO,
    PICTURE_WARP_MASKED,
    PICTURE_WARP_BASE,
    pictureCount
};
struct PictureFile {
    const char* file;
    const char* mask;   // null: no alpha
};
const PictureFile pictureFiles[pictureCount] = {
    {"particle.jpg", nullptr}, {"textur10.jpg", nullptr}, {"rewind.jpg", nullptr},   {"zub.jpg", "zub_mask.jpg"},
    {"textura2.jpg", nullptr}, {"textura1.jpg", nullptr}, {"grid_sm2.jpg", nullptr}, {"textur14.jpg", nullptr},
    {"textur13.jpg", nullptr}, {"kesusml.jpg", nullptr},  {"grdk.jpg", "grdkmask.jpg"},
    {"textura5.jpg", "mask2.jpg"}, {"textura4.jpg", nullptr},
};
TextureId pictures[pictureCount] = {};

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

bool loadScene(RenderWindow& renderWindow, int index, LoadError& error)
{
    if (index == 0) scenes = new Scene[sceneCount];
    scenes[index].host = &renderWindow;
    if (!scenes[index].load(scenePath(index), dataFolder, IMAGE_KIND_JPEG, error)) return false;
    if (!checkScene(index, error)) return false;
    scenes[index].setMeshFlags(MESH_FILL);
    return true;
}

bool loadPicture(RenderWindow& renderWindow, int index, LoadError& error)
{
    const PictureFile& picture = pictureFiles[index];
    pictures[index] = picture.mask
                          ? loadMaskedTexture(renderWindow, dataFolder + picture.file, dataFolder + picture.mask, error)
                          : loadTexture(renderWindow, dataFolder + picture.file, error);
    return pictures[index] != 0;
}

// The scenes adjusted for the way they are shown, and every effect handed its scenes,
// pictures and window.
void configureEffects()
{
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

    const TextureId particle = pictures[PICTURE_PARTICLE];
    setTitleStreams(&scenes[SCENE_TITLE], &scenes[SCENE_ELEMENTS], particle);
    setGrassScene(&scenes[SCENE_GRASS]);
    setGrassWindow(grassSceneWindow.start, grassSceneWindow.end, grassSwitchTime);
    setBlobOrbitWindow(blobOrbitWindow.start, blobOrbitWindow.end);
    setBlobOrbit(pictures[PICTURE_BLOB_BACK], pictures[PICTURE_BLOB_MODULATE], pictures[PICTURE_BANNER],
                 pictures[PICTURE_ENVIRONMENT]);
    setFactoryRewind(&scenes[SCENE_FACTORY], &scenes[SCENE_PIPES], particle, pictures[PICTURE_REWIND]);
    setFactoryRewindWindow(factoryRewindWindow.start, factoryRewindWindow.end);
    setCubeCredits(&scenes[SCENE_TUNNEL], &scenes[SCENE_CUBE], &scenes[SCENE_CREDITS], particle);
    setCubeCreditsWindow(cubeCreditsWindow.start, cubeCreditsWindow.end);
    setRobotCore(&scenes[SCENE_ROBOT], pictures[PICTURE_SHEET_1], pictures[PICTURE_SHEET_2], pictures[PICTURE_ENVIRONMENT],
                 pictures[PICTURE_GRID], particle);
    setRobotCoreWindow(robotCoreWindow.start, robotCoreWindow.end);
    setFinaleSphere(&scenes[SCENE_FINALE], particle, pictures[PICTURE_LOGO]);
    setFinaleSphereWindow(finaleSphereWindow.start, finaleSphereWindow.end);
    setWarpOverlayTextures(pictures[PICTURE_WARP_BASE], pictures[PICTURE_WARP_MASKED], pictures[PICTURE_WARP_LOGO]);
    setWarpOverlayWindow(warpOverlayWindow.start, warpOverlayWindow.end);
    setBlindsMask(&scenes[SCENE_BLINDS]);
}

// Every scene mesh recorded behind the wait screen, a scene a step: recording the grass scene
// takes longer than a frame, and done here it happens in one order whatever frames a run
// draws. Grouping nodes (dummies, names no object has) have no mesh.
void recordScene(int index)
{
    for (const SceneNode& node : scenes[index].nodes) {
        if (node.mesh) node.mesh->record();
    }
}

// The steps of the loading: the scenes, the pictures, the set-up, the recordings.
constexpr int firstPictureStep = sceneCount;
constexpr int configureStep = firstPictureStep + pictureCount;
constexpr int firstRecordStep = configureStep + 1;
static_assert(firstRecordStep + sceneCount == demoLoadSteps, "the header's count of loading steps");

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

bool loadDemoStep(DemoLoad& load, RenderWindow& renderWindow, const std::string& folder, LoadError& error)
{
    assert(load.nextStep < demoLoadSteps);
    dataFolder = folder;
    const int step = load.nextStep;
    if (step < firstPictureStep) {
        if (!loadScene(renderWindow, step, error)) return false;
    } else if (step < configureStep) {
        if (!loadPicture(renderWindow, step - firstPictureStep, error)) return false;
    } else if (step == configureStep) {
        configureEffects();
    } else {
        recordScene(step - firstRecordStep);
    }
    ++load.nextStep;
    return true;
}

bool loadDemoAssets(RenderWindow& renderWindow, LoadError& error, const std::string& folder,
                    const std::function<bool()>& quitRequested)
{
    DemoLoad load;
    while (load.nextStep < demoLoadSteps) {
        if (quitRequested && quitRequested()) {
            error = LoadError{};
            return false;
        }
        if (!loadDemoStep(load, renderWindow, folder, error)) return false;
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

void composeFrame(float demoTime, float previousTime)
{
    for (const ShowEffect& effect : showEffects) {
        if (!effect.draw) continue;
        effect.draw(effect, demoTime, previousTime);
        if (effect.drawName) afterDraw(effect.drawName, demoTime);
    }
}

void setEffectCheck(EffectCheck check) { effectCheck = std::move(check); }

BeatPulse& frameBeat() { return beat; }

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
