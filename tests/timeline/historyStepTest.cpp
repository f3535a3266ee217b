// Frames that are only stepped: which frames a late start must still draw, and the demo's
// history advanced with no GL context current.
#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "effects/titleStreams.h"
#include "particles/particleEmitter.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "scene3ds/scene.h"
#include "tests/timeline/demoPackFixture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/demoTimeline.h"
#include "timeline/showHistory.h"

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

int listLength(const ParticleEmitter& emitter)
{
    int length = 0;
    for (const Particle* node = emitter.head; node; node = node->next) ++length;
    return length;
}

// The times of the frames planDrawnFrames draws, for a run at 10 frames per second from 0
// that shows the frames at `shown` (whole tenths).
std::vector<double> drawnTimes(const std::vector<double>& shown)
{
    const int last = static_cast<int>(std::lround(shown.back() * 10.0));
    std::vector<float> times;
    std::vector<bool> isShown;
    for (int frame = 0; frame <= last; ++frame) {
        times.push_back(static_cast<float>(frame / 10.0));
        bool wanted = false;
        for (double t : shown) wanted = wanted || std::lround(t * 10.0) == frame;
        isShown.push_back(wanted);
    }
    const std::vector<bool> drawn = planDrawnFrames(times, isShown);
    std::vector<double> result;
    for (int frame = 0; frame <= last; ++frame) {
        if (drawn[static_cast<std::size_t>(frame)]) result.push_back(std::lround(times[frame] * 10.0) / 10.0);
    }
    return result;
}

std::vector<double> everyTenth(double from, double to)
{
    std::vector<double> times;
    for (long frame = std::lround(from * 10.0); frame <= std::lround(to * 10.0); ++frame) times.push_back(frame / 10.0);
    return times;
}

} // namespace

TEST(LateStartPlan, DrawsWhatTheShownFramesBuildOnAndEachEarlierWindowsLastFrame)
{
    struct Case {
        const char* what;
        std::vector<double> shown;
        std::vector<double> drawn;
    };
    const std::vector<Case> cases = {
        // The title never clears: every frame before it, the first one (nothing drawn) included.
        {"in the title", {2.0}, everyTenth(0.0, 2.0)},
        {"under the blinds", {12.0}, everyTenth(0.0, 12.0)},
        // The grass clears from its switch on; the title and blinds left their state at 17.4 s.
        {"grass after the switch", {30.0}, {17.4, 29.9, 30.0}},
        {"the factory", {70.0}, {17.4, 49.9, 64.9, 69.9, 70.0}},
        // The credits leave the tunnel's far end open: back to the factory's last frame.
        {"the credits", {86.0}, {17.4, 49.9, 64.9, 84.9, 85.0, 85.1, 85.2, 85.3, 85.4, 85.5, 85.6, 85.7, 85.8, 85.9, 86.0}},
        // At exactly 65 s nothing draws, so the frame shows the one before it.
        {"a boundary", {65.0}, {17.4, 49.9, 64.9, 65.0}},
        {"two shown frames", {20.0, 20.2}, {17.4, 19.9, 20.0, 20.1, 20.2}},
        {"the closing", {170.0}, {17.4, 49.9, 64.9, 84.9, 104.9, 134.9, 168.9, 169.9, 170.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(drawnTimes(c.shown), c.drawn);
    }
}

using HistoryStep = DemoPackTest;

// Every frame from 0 to 90 s stepped without a context, as the frames before a late start are:
// the particles of three effects move on, nothing is counted as drawn, and the frame drawn
// afterwards finds the GL context as it was.
TEST_F(HistoryStep, StepsTheDemoWithNoGlContextCurrent)
{
    DemoSession& demo = session();
    demo.demoTime = demo.previousTime = 0.0f;
    const std::int64_t composed = demo.framesComposed;
    const ParticleRandom before = particleRandom();
    releaseGlContext();
    ASSERT_EQ(platformCurrentContextId(), 0u);
    for (int frame = 0; frame <= 90 * 30; ++frame) {
        stepDemoFrame(demo, static_cast<float>(frame / 30.0), FRAME_STEP);
        if (frame == 16 * 30) {
            EXPECT_GT(listLength(titleStreamsJetA()), 1000) << "200 a second living 6 to 7 s";
        }
        if (frame == 80 * 30) {
            EXPECT_GT(listLength(factoryRewindSmoke(1)), 400);
        }
    }
    restoreGlContext();
    EXPECT_EQ(demo.framesComposed, composed);
    EXPECT_GT(listLength(cubeCreditsSparks()), 1000);
    EXPECT_NE(particleRandom().state, before.state);
    // The sparks follow the background scene's light, which the steps evaluated: it has left
    // its first key.
    const float* firstKey = demoScene(SCENE_TUNNEL).lights[0].posTrack->keys[0].value;
    const float* followed = cubeCreditsSparks().prevPosition;
    EXPECT_FALSE(followed[0] == firstKey[0] && followed[1] == firstKey[1] && followed[2] == firstKey[2]);

    stepDemoFrame(demo, 90.0f + 1.0f / 30.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(demo.framesComposed, composed + 1);
}

namespace {

// Two seconds of the show from the session as it stands, at 30 frames per second over a
// cleared picture, every tenth frame read back.
std::vector<std::vector<unsigned char>> drawTwoSeconds(DemoSession& demo, float start)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    std::vector<std::vector<unsigned char>> pictures;
    for (int frame = 0; frame <= 60; ++frame) {
        stepDemoFrame(demo, static_cast<float>(start + frame / 30.0));
        if (frame % 10 != 0) continue;
        std::vector<unsigned char> picture(64 * 64 * 4);
        glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
        pictures.push_back(picture);
    }
    return pictures;
}

} // namespace

// In every window of the schedule, a snapshot taken inside it, the show drawn two seconds on,
// the snapshot put back and the same two seconds drawn again give the same pictures: nothing a
// frame carries into the next (the beat, the particles and their random sequence, an effect's
// phases) is missing from what a snapshot takes. No window starts or ends within the two
// seconds, so the GL state the windows leave is the same both times.
TEST_F(HistoryStep, ASnapshotPutBackDrawsTheSameFramesInEveryWindow)
{
    DemoSession& demo = session();
    for (const ScheduledWindow& entry : demoSchedule) {
        SCOPED_TRACE(entry.name);
        const float start = restartDemoSession(demo, entry.window.start + 1.0);
        ShowSnapshot snapshot;
        takeShowSnapshot(snapshot);
        const float demoTime = demo.demoTime, previousTime = demo.previousTime;
        const auto first = drawTwoSeconds(demo, start);
        restoreShowSnapshot(snapshot);
        demo.demoTime = demoTime;
        demo.previousTime = previousTime;
        const auto again = drawTwoSeconds(demo, start);
        ASSERT_EQ(first.size(), again.size());
        for (std::size_t i = 0; i < first.size(); ++i)
            EXPECT_TRUE(first[i] == again[i]) << "the frame " << i / 3.0 << " s on differs";
    }
}

// Loaded a part at a time, as a page whose files arrive while the show plays, the show
// started again after each part within what is loaded (so the snapshots on the way are taken
// before the later parts' effects are set up): in the factory, the credits and the finale it
// draws what the show loaded whole draws.
TEST_F(HistoryStep, AShowLoadedPartByPartDrawsAsOneLoadedWhole)
{
    DemoSession& demo = session();
    const std::vector<double> moments = {70.0, 90.0, 150.0};
    std::vector<std::vector<std::vector<unsigned char>>> whole;
    for (double t : moments) whole.push_back(drawTwoSeconds(demo, restartDemoSession(demo, t)));

    demo.load = DemoLoad{};
    demo.loaded = false;
    LoadError error;
    int restarts = 0;
    while (!demo.loaded) {
        const int stage = demo.load.stage;
        ASSERT_TRUE(loadDemoSessionStep(demo, error)) << formatLoadError(error);
        if (demo.load.stage == stage || demo.loaded) continue;
        ASSERT_LE(demoLoadStagedFrom(demo.load), demoLoadedUntil(demo.load));
        restartDemoSession(demo, demoLoadedUntil(demo.load) - 1.0);
        ++restarts;
    }
    EXPECT_EQ(restarts, 9) << "a restart after every part but the last";
    for (std::size_t m = 0; m < moments.size(); ++m) {
        SCOPED_TRACE(moments[m]);
        const auto staged = drawTwoSeconds(demo, restartDemoSession(demo, moments[m]));
        ASSERT_EQ(staged.size(), whole[m].size());
        for (std::size_t i = 0; i < staged.size(); ++i)
            EXPECT_TRUE(staged[i] == whole[m][i]) << "the frame " << i / 3.0 << " s on differs";
    }
}

// A quit requested while the pack loads or a late start steps the show is taken at the next
// step: the loading goes no further, the late start draws and steps no more frames.
TEST_F(HistoryStep, AQuitIsTakenAtTheNextStepOfTheLoadingAndOfTheLateStart)
{
    DemoSession& demo = session();
    int asks = 0;
    demo.quitRequested = [&asks] { return ++asks >= 5; };
    LoadError error;
    EXPECT_FALSE(loadDemoSession(demo, error));
    EXPECT_TRUE(demo.quit);
    EXPECT_EQ(asks, 5);
    EXPECT_EQ(demo.load.steps, 4) << "four steps, then the quit";
    EXPECT_TRUE(error.file.empty()) << "a quit is no error";

    // Loaded again in full for the tests that follow in this program.
    demo.quitRequested = nullptr;
    demo.quit = false;
    ASSERT_TRUE(loadDemoSession(demo, error)) << formatLoadError(error);

    asks = 0;
    const std::int64_t composed = demo.framesComposed;
    demo.quitRequested = [&asks] { return ++asks >= 3; };
    restartDemoSession(demo, 120.0);
    EXPECT_TRUE(demo.quit);
    EXPECT_EQ(asks, 3) << "asked again after the quit";
    EXPECT_LE(demo.framesComposed, composed + 2);
    demo.quitRequested = nullptr;
    demo.quit = false;
}
