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

#include <algorithm>
#include <cassert>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// Allocated at each loading's start, never destroyed: the effects hold pointers into it until
// the process ends.
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

// The scenes adjusted for the way their effects show them: clipping planes that override
// those stored in the files, and draw flags added to what the reader derived from the
// materials (nothing is cleared).
void adjustScene(int index)
{
    Scene& scene = scenes[index];
    scene.setMeshFlags(MESH_FILL);
    constexpr std::uint16_t solid = MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE;
    switch (index) {
    case SCENE_TITLE: scene.farPlane = 150.0f; scene.nearPlane = 50.0f; break;
    case SCENE_GRASS:
        scene.farPlane = 50.0f;
        scene.nearPlane = 1.0f;
        scene.setMeshFlags(MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
        break;
    case SCENE_BLINDS: scene.setMeshFlags(MESH_CULL); break;
    case SCENE_CUBE:
        scene.setMeshFlags(MESH_DEPTH_TEST);
        scene.setMeshFlagsByName("ramka", MESH_CULL | MESH_DEPTH_WRITE);
        break;
    case SCENE_PIPES:
        scene.farPlane = 1000.0f;
        scene.nearPlane = 100.0f;
        scene.setMeshFlags(solid);
        break;
    case SCENE_CREDITS: scene.setMeshFlags(MESH_ADDITIVE); break;
    default: scene.setMeshFlags(solid); break;
    }
}

bool loadPicture(RenderWindow& renderWindow, int index, LoadError& error)
{
    const PictureFile& picture = pictureFiles[index];
    pictures[index] = picture.mask
                          ? loadMaskedTexture(renderWindow, dataFolder + picture.file, dataFolder + picture.mask, error)
                          : loadTexture(renderWindow, dataFolder + picture.file, error);
    return pictures[index] != 0;
}

// The loading's stages, in the order the show needs them: each part's scenes and pictures,
// then its effects handed their scenes, pictures and window. A stage is needed from the
// start of its effects' window, before which nothing of them is drawn or stepped.
struct LoadStage {
    float neededFrom;
    std::vector<int> scenes;
    std::vector<int> pictures;
    void (*configure)();
};
const LoadStage loadStages[] = {
    {titleStreamsWindow.start, {SCENE_TITLE, SCENE_ELEMENTS}, {PICTURE_PARTICLE},
     [] { setTitleStreams(&scenes[SCENE_TITLE], &scenes[SCENE_ELEMENTS], pictures[PICTURE_PARTICLE]); }},
    {blindsMaskWindow.start, {SCENE_BLINDS}, {}, [] { setBlindsMask(&scenes[SCENE_BLINDS]); }},
    {grassSceneWindow.start, {SCENE_GRASS}, {},
     [] {
         setGrassScene(&scenes[SCENE_GRASS]);
         setGrassWindow(grassSceneWindow.start, grassSceneWindow.end, grassSwitchTime);
     }},
    {warpOverlayWindow.start, {}, {PICTURE_WARP_BASE, PICTURE_WARP_MASKED, PICTURE_WARP_LOGO},
     [] {
         setWarpOverlayTextures(pictures[PICTURE_WARP_BASE], pictures[PICTURE_WARP_MASKED], pictures[PICTURE_WARP_LOGO]);
         setWarpOverlayWindow(warpOverlayWindow.start, warpOverlayWindow.end);
     }},
    {blobOrbitWindow.start, {}, {PICTURE_BLOB_BACK, PICTURE_BLOB_MODULATE, PICTURE_BANNER, PICTURE_ENVIRONMENT},
     [] {
         setBlobOrbitWindow(blobOrbitWindow.start, blobOrbitWindow.end);
         setBlobOrbit(pictures[PICTURE_BLOB_BACK], pictures[PICTURE_BLOB_MODULATE], pictures[PICTURE_BANNER],
                      pictures[PICTURE_ENVIRONMENT]);
     }},
    {factoryRewindWindow.start, {SCENE_FACTORY, SCENE_PIPES}, {PICTURE_REWIND},
     [] {
         setFactoryRewind(&scenes[SCENE_FACTORY], &scenes[SCENE_PIPES], pictures[PICTURE_PARTICLE], pictures[PICTURE_REWIND]);
         setFactoryRewindWindow(factoryRewindWindow.start, factoryRewindWindow.end);
     }},
    {cubeCreditsWindow.start, {SCENE_TUNNEL, SCENE_CUBE, SCENE_CREDITS}, {},
     [] {
         setCubeCredits(&scenes[SCENE_TUNNEL], &scenes[SCENE_CUBE], &scenes[SCENE_CREDITS], pictures[PICTURE_PARTICLE]);
         setCubeCreditsWindow(cubeCreditsWindow.start, cubeCreditsWindow.end);
     }},
    {robotCoreWindow.start, {SCENE_ROBOT}, {PICTURE_SHEET_1, PICTURE_SHEET_2, PICTURE_GRID},
     [] {
         setRobotCore(&scenes[SCENE_ROBOT], pictures[PICTURE_SHEET_1], pictures[PICTURE_SHEET_2],
                      pictures[PICTURE_ENVIRONMENT], pictures[PICTURE_GRID], pictures[PICTURE_PARTICLE]);
         setRobotCoreWindow(robotCoreWindow.start, robotCoreWindow.end);
     }},
    {finaleSphereWindow.start, {SCENE_FINALE}, {PICTURE_LOGO},
     [] {
         setFinaleSphere(&scenes[SCENE_FINALE], pictures[PICTURE_PARTICLE], pictures[PICTURE_LOGO]);
         setFinaleSphereWindow(finaleSphereWindow.start, finaleSphereWindow.end);
     }},
    {closingWindow.start, {SCENE_LOGO}, {}, [] {}},
};
constexpr int loadStageCount = static_cast<int>(std::size(loadStages));

// A stage's tasks: each scene read a mesh a step, then its maps decoded a material a step;
// each picture decoded; the set-up; each scene's meshes recorded a part of a mesh a step
// (reading or recording the grass scene whole takes longer than a frame).
int stageTaskCount(const LoadStage& stage)
{
    return 3 * static_cast<int>(stage.scenes.size()) + static_cast<int>(stage.pictures.size()) + 1;
}

// A large mesh is recorded in runs of faces (render/mesh.h); this many a step, some 600 faces.
constexpr int runsRecordedAStep = 6;

// Takes the task the load stands at; false with the error when a file fails.
bool takeLoadTask(DemoLoad& load, RenderWindow& renderWindow, LoadError& error)
{
    const LoadStage& stage = loadStages[load.stage];
    const int sceneTasks = static_cast<int>(stage.scenes.size());
    const int pictureTasks = static_cast<int>(stage.pictures.size());
    int task = load.task;
    if (task < 2 * sceneTasks) {
        const int index = stage.scenes[static_cast<std::size_t>(task / 2)];
        Scene& scene = scenes[index];
        if (task % 2 == 0) {
            // A mesh's worth of the file a step.
            scene.host = &renderWindow;
            bool done = false;
            if (!scene.readFileSome(scenePath(index), done, error)) return false;
            if (!done) return true;
        } else {
            // A material's maps a step.
            const int materials = std::max(static_cast<int>(scene.materials.size()), 1);
            if (!scene.loadMaterialTextures(static_cast<std::size_t>(load.node), dataFolder, IMAGE_KIND_JPEG, error))
                return false;
            if (++load.node < materials) return true;
            load.node = 0;
            if (!checkScene(index, error)) return false;
            adjustScene(index);
        }
        ++load.task;
        return true;
    }
    task -= 2 * sceneTasks;
    if (task < pictureTasks) {
        if (!loadPicture(renderWindow, stage.pictures[static_cast<std::size_t>(task)], error)) return false;
        ++load.task;
        return true;
    }
    task -= pictureTasks;
    if (task == 0) {
        stage.configure();
        ++load.task;
        return true;
    }
    // Grouping nodes (dummies, names no object has) have no mesh.
    const Scene& scene = scenes[stage.scenes[static_cast<std::size_t>(task - 1)]];
    const int nodes = static_cast<int>(scene.nodes.size());
    while (load.node < nodes && !scene.nodes[static_cast<std::size_t>(load.node)].mesh) ++load.node;
    if (load.node < nodes && scene.nodes[static_cast<std::size_t>(load.node)].mesh->recordSome(runsRecordedAStep)) ++load.node;
    if (load.node >= nodes) {
        load.node = 0;
        ++load.task;
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

bool loadDemoStep(DemoLoad& load, RenderWindow& renderWindow, const std::string& folder, LoadError& error)
{
    assert(!demoLoadDone(load));
    dataFolder = folder;
    if (load.steps == 0) scenes = new Scene[sceneCount];
    if (!takeLoadTask(load, renderWindow, error)) return false;
    ++load.steps;
    if (load.task == stageTaskCount(loadStages[load.stage])) {
        load.task = 0;
        ++load.stage;
    }
    return true;
}

bool demoLoadDone(const DemoLoad& load) { return load.stage >= loadStageCount; }

float demoLoadedUntil(const DemoLoad& load)
{
    return demoLoadDone(load) ? demoLength + 1.0f : loadStages[load.stage].neededFrom;
}

float demoLoadStagedFrom(const DemoLoad& load)
{
    return load.stage > 0 ? loadStages[load.stage - 1].neededFrom : -1.0f;
}

bool demoLoadOrder(const std::string& folder, std::vector<DemoLoadFiles>& order, LoadError& error)
{
    order.clear();
    for (const LoadStage& stage : loadStages) {
        DemoLoadFiles files{stage.neededFrom, {}};
        auto add = [&files](const std::string& name) {
            if (!name.empty() && std::find(files.names.begin(), files.names.end(), name) == files.names.end())
                files.names.push_back(name);
        };
        for (int index : stage.scenes) {
            Scene scene;
            if (!scene.readFile(folder + sceneFiles[index], error)) return false;
            add(sceneFiles[index]);
            for (const Material& material : scene.materials) {
                add(material.textureName);
                add(material.maskName);
            }
        }
        for (int index : stage.pictures) {
            add(pictureFiles[index].file);
            if (pictureFiles[index].mask) add(pictureFiles[index].mask);
        }
        order.push_back(std::move(files));
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
