// The engine's own work per frame, apart from the GL driver: for every frame of the demo on a
// 60 frames-per-second clock from 0, the history step of the frame composer (beat pulse and
// particle updates), the keyframer tracks of the scenes the frame plays, and the wobble and
// normals of the spheres it deforms, each frame timed and the times grouped by effect window.
// Loads the demo from data/ in the working directory (the build's testdata/ folder), which
// takes a GL context; the timed work makes no GL call.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/system/monotonicClock.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"
#include "scene3ds/scenePlayback.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The spheres the effects deform each frame, built as the effects build theirs.
struct Sphere {
    Mesh mesh{2};
    float wavelength = 0.0f;
    float phaseScale[3] = {0.0f, 0.0f, 0.0f};   // the phases swing by these amounts over the window
    bool normals = false;   // the normals are recomputed after the wobble (the sphere is drawn lit)

    Sphere(float radius, float wave, float swingX, float swingY, float swingZ, bool lit)
        : wavelength(wave), phaseScale{swingX, swingY, swingZ}, normals(lit)
    {
        mesh.buildGeosphere(radius, 4, 0.75f);
    }
};

// What the engine computes in a frame of one window of the schedule, besides the history step.
struct WindowWork {
    std::vector<int> scenes;   // scenes played, by index
    Sphere* sphere;            // the sphere wobbled, or null
    std::vector<double> milliseconds;
};

// Tracks of one scene at the frame the playback shows for `requested`, in the playback's order;
// the rotations need no evaluation (the playback turns a node straight from its keys).
void evaluateSceneTracks(Scene& scene, std::int16_t requested)
{
    const std::int16_t frame = playbackFrame(scene, requested);
    evaluateVectorTrack(*scene.cameraTrack, frame);
    evaluateVectorTrack(*scene.targetTrack, frame);
    evaluateScalarTrack(*scene.rollTrack, frame);
    evaluateScalarTrack(*scene.fovTrack, frame);
    for (Light& light : scene.lights) {
        evaluateVectorTrack(*light.posTrack, frame);
        evaluateVectorTrack(*light.colorTrack, frame);
    }
    for (SceneNode& node : scene.nodes) {
        evaluateVectorTrack(*node.posTrack, frame);
        evaluateVectorTrack(*node.scaleTrack, frame);
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

void printRow(const std::string& name, const std::vector<double>& milliseconds)
{
    if (milliseconds.empty()) return;
    std::printf("%-20s %7zu %10.3f %10.3f %10.3f\n", name.c_str(), milliseconds.size(), median(milliseconds),
                percentile(milliseconds, 0.95), *std::max_element(milliseconds.begin(), milliseconds.end()));
}

} // namespace

int main()
{
    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    std::string error;
    if (!createOffscreenRenderWindow(64, 48, renderWindow, offscreen, error)) {
        std::fprintf(stderr, "engineCpu: %s\n", error.c_str());
        return 1;
    }
    DemoSession session;
    session.renderWindow = &renderWindow;
    LoadError loadError;
    if (!loadDemoSession(session, loadError)) {
        std::fprintf(stderr, "engineCpu: %s (run in a folder holding data/)\n", formatLoadError(loadError).c_str());
        return 1;
    }

    Sphere core(100.0f, 170.0f, 60.0f, 50.0f, 65.0f, true);
    Sphere blob(4.0f, 7.0f, 5.0f, 4.0f, 5.0f, true);
    Sphere finale(70.0f, 140.0f, 60.0f, 50.0f, 65.0f, false);

    // In the order of demoSchedule.
    std::vector<WindowWork> windows = {
        {{SCENE_TITLE, SCENE_ELEMENTS}, nullptr, {}},                 // TitleStreams
        {{SCENE_BLINDS}, nullptr, {}},                                // BlindsMask
        {{SCENE_GRASS}, nullptr, {}},                                 // GrassScene
        {{}, nullptr, {}},                                            // WarpOverlay
        {{}, &blob, {}},                                              // BlobOrbit
        {{SCENE_FACTORY, SCENE_PIPES}, nullptr, {}},                  // FactoryRewind
        {{SCENE_TUNNEL, SCENE_CUBE, SCENE_CREDITS}, nullptr, {}},     // CubeCredits
        {{SCENE_ROBOT}, &core, {}},                                   // RobotCore
        {{SCENE_FINALE}, &finale, {}},                                // FinaleSphere
        {{SCENE_LOGO}, nullptr, {}},                                  // closing sequence
    };

    std::vector<double> all;
    const int frameCount = static_cast<int>(demoLength * 60.0f);
    for (int k = 0; k <= frameCount; ++k) {
        const float demoTime = static_cast<float>(k / 60.0);
        const double before = platformMonotonicSeconds();
        stepDemoFrame(session, demoTime, FRAME_STEP);
        for (int w = 0; w < scheduledWindowCount; ++w) {
            const EffectWindow& window = demoSchedule[w].window;
            if (!insideWindow(window, demoTime)) continue;
            const float elapsed = demoTime - window.start;
            const std::int16_t frame = static_cast<std::int16_t>(elapsed * 75.0f);
            for (int scene : windows[static_cast<std::size_t>(w)].scenes) evaluateSceneTracks(demoScene(scene), frame);
            Sphere* sphere = windows[static_cast<std::size_t>(w)].sphere;
            if (!sphere) continue;
            const float span = window.end - window.start;
            sphere->mesh.wobbleMesh(1, 0, 0.5f, sphere->wavelength,
                                    sphere->phaseScale[0] * std::sin(elapsed * 31.41592f / span),
                                    sphere->phaseScale[1] * std::sin(elapsed * 37.699104f / span),
                                    sphere->phaseScale[2] * std::sin(elapsed * 43.98229f / span));
            if (sphere->normals) {
                sphere->mesh.computeFaceNormals(1, 0.5f);
                sphere->mesh.computeVertexNormals(1, 6);
            }
        }
        const double milliseconds = (platformMonotonicSeconds() - before) * 1000.0;
        all.push_back(milliseconds);
        for (int w = 0; w < scheduledWindowCount; ++w) {
            if (insideWindow(demoSchedule[w].window, demoTime)) {
                windows[static_cast<std::size_t>(w)].milliseconds.push_back(milliseconds);
            }
        }
    }

    std::printf("engine CPU per frame (history step, tracks, wobble and normals; no GL), 60 fps from 0 s:\n");
    std::printf("%-20s %7s %10s %10s %10s\n", "window", "frames", "median ms", "95th ms", "slowest ms");
    for (int w = 0; w < scheduledWindowCount; ++w) {
        printRow(demoSchedule[w].name, windows[static_cast<std::size_t>(w)].milliseconds);
    }
    printRow("all frames", all);
    destroyOffscreenRenderWindow(renderWindow, offscreen);
    return 0;
}
