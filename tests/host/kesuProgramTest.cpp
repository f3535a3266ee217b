// The player and the capture tool end to end, each started in a run folder of its own. A bad
// input ends either with one clear message that names the file (and the byte of a damaged
// file), exit status 1 and nothing drawn; it never crashes or hangs.
#include "platform/files/loadError.h"
#include "platform/files/pngWriter.h"
#include "platform/sound/audioRecorder.h"
#include "platform/sound/mp3Decoder.h"
#include "tests/support/processRunner.h"
#include "tests/support/regularBuildOnly.h"
#include "timeline/demoSchedule.h"
#include "tools/audioclock/clockAnalysis.h"
#include "tools/audioclock/soundServer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kesuBinary = std::string(KESU_BINARY_DIR) + "/host/kesu";
const std::string captureBinary = std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture";
const std::string sceneToolBinary = std::string(KESU_BINARY_DIR) + "/tools/kesu3ds/kesu-3ds";
const char* const defaultIni = "1024 768 0\n";
// The bound on a run of the player or the capture tool; those under a virtual X server set their own.
constexpr double runBound = 120.0;

// Replaces rather than rewrites, so a file shared by a link elsewhere is never changed.
void replaceFile(const std::string& path, const std::string& bytes)
{
    std::remove(path.c_str());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Sends the close request (SDL turns SIGTERM into one) two seconds after the run says it plays.
void closeAfterPlaying(ProcessOptions& options)
{
    auto since = std::make_shared<double>(-1.0);
    options.sendSignalWhen = [since](const std::string& out, const std::string&) {
        if (out.find("kesu: playing") == std::string::npos) return false;
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        if (*since < 0) *since = now;
        return now - *since >= 2.0;
    };
}

// xvfb-run's arguments for a virtual X server of that size running command. Its search for
// a free display starts at one of this process's own, so that two tests starting servers at
// once do not both take the first free one.
// The start of a script run under the virtual X server: the player copied in, the server asked
// until it answers (on a busy machine it may not take clients the moment xvfb-run starts the
// script), key NAME [SECONDS], a key pressed and a pause after it, and playing FILE, which
// waits until the player's output in FILE says that it plays (a loaded machine, or a sanitized
// build, takes seconds to load the show).
std::string xScriptStart()
{
    return "cp " + kesuBinary + " ./kesu\n"
           "for i in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done\n"
           "key() { xdotool key $1; sleep ${2:-0.8}; }\n"
           "playing() { for i in $(seq 600); do grep -q 'kesu: playing' $1 && return 0; sleep 0.1; done; return 1; }\n";
}

std::vector<std::string> xServerArgs(const std::string& size, const std::vector<std::string>& command,
                                     const std::string& secondScreen = "")
{
    // Without -noreset the server starts itself over when its last client leaves, and a player
    // started the moment another has ended may find no display to connect to.
    std::string screens = "-noreset -screen 0 " + size + "x24";
    if (!secondScreen.empty()) screens += " -screen 1 " + secondScreen + "x24";
    std::vector<std::string> args = {"-a", "-n", std::to_string(100 + getpid() % 3000), "-s", screens};
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

enum Damage { MISSING, EMPTY, TRUNCATED, RANDOM, OTHER_PICTURE, NO_CORE_NODE };
const char* const damageNames[] = {"Missing", "Empty", "Truncated", "Random", "OtherPicture", "NoCoreNode"};

void damage(const std::string& path, Damage kind)
{
    std::string bytes = readFile(path);
    switch (kind) {
    case MISSING: std::remove(path.c_str()); return;
    case EMPTY: bytes.clear(); break;
    case TRUNCATED: bytes.resize(bytes.size() / 2); break;
    case RANDOM: {
        unsigned state = 12345;
        for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
        break;
    }
    // A picture of another size in the mask's place.
    case OTHER_PICTURE: bytes = readFile(path.substr(0, path.rfind('/')) + "/particle.jpg"); break;
    // Renaming the node in place keeps every chunk length valid.
    case NO_CORE_NODE:
        for (size_t at = bytes.find("rdzen"); at != std::string::npos; at = bytes.find("rdzen", at)) bytes[at + 4] = 'x';
        break;
    }
    replaceFile(path, bytes);
}

struct BadData {
    bool player;         // the player, or the capture tool asked for one frame
    const char* file;
    Damage kind;
    const char* alsoNamed;   // a second text the message holds, or null
    std::vector<std::string> options = {};   // the player's command line
};

std::string caseName(const BadData& c)
{
    std::string name = std::string(c.player ? "Kesu" : "Capture") + damageNames[c.kind] + (c.file + 5);
    for (const std::string& option : c.options) {
        if (option.rfind("--", 0) == 0) name += "With" + std::string(1, static_cast<char>(option[2] - 'a' + 'A')) + option.substr(3);
    }
    for (char& ch : name) ch = (ch == '.' || ch == '_') ? 'X' : ch;
    return name;
}

void PrintTo(const BadData& c, std::ostream* out) { *out << caseName(c); }

// The start-up is one session shared by both programs, so the damaged scene, picture and
// mask go through the capture tool, which needs no music; the music through the player.
std::vector<BadData> badData()
{
    std::vector<BadData> cases;
    for (Damage kind : {MISSING, EMPTY, TRUNCATED, RANDOM}) {
        for (const char* file : {"data/kostka2.3ds", "data/rewind.jpg", "data/zub_mask.jpg"}) {
            cases.push_back({false, file, kind, nullptr});
        }
        cases.push_back({true, "data/little.mp3", kind, nullptr});
    }
    // The player's options change how it runs, not how it refuses.
    cases.push_back({true, "data/little.mp3", MISSING, nullptr, {"--desktop"}});
    cases.push_back({false, "data/zub_mask.jpg", OTHER_PICTURE, "data/zub.jpg"});
    cases.push_back({false, "data/girorobo.3ds", NO_CORE_NODE, "rdzen"});
    return cases;
}

class BadInput : public ::testing::TestWithParam<BadData> {};

} // namespace

TEST_P(BadInput, StopsTheStartUpWithOneMessageNamingTheFile)
{
    const BadData c = GetParam();
    const std::string folder = makeRunFolder("bad-input", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    damage(folder + "/" + c.file, c.kind);
    const ProcessResult result =
        c.player ? runProcess(kesuBinary, c.options, headless(folder, runBound))
                 : runProcess(captureBinary, {"--size", "64x48", "--at", "1", "--out", folder + "/frames"}, headless(folder, runBound));
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, 0) << result.err;
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_NE(result.err.find(c.file), std::string::npos) << result.err;
    if (c.kind == TRUNCATED || c.kind == RANDOM) {
        EXPECT_NE(result.err.find("byte "), std::string::npos) << result.err;
    }
    if (c.alsoNamed) {
        EXPECT_NE(result.err.find(c.alsoNamed), std::string::npos) << result.err;
    }
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
    if (c.player) {
        EXPECT_EQ(result.err.rfind("kesu: ", 0), 0u) << result.err;
        EXPECT_EQ(result.out.find("kesu: playing"), std::string::npos) << "the demo started with a piece missing";
        // The music is read before the window is made: nothing of the window was attempted.
        if (std::string(c.file) == "data/little.mp3") {
            EXPECT_FALSE(std::filesystem::exists(folder + "/kesu.log"));
        }
    } else {
        EXPECT_EQ(result.err.rfind("kesu-capture: ", 0), 0u) << result.err;
        EXPECT_FALSE(std::filesystem::exists(folder + "/frames/at-00001.000.png")) << "a frame was written";
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, BadInput, ::testing::ValuesIn(badData()),
                         [](const ::testing::TestParamInfo<BadData>& info) { return caseName(info.param); });

// The close request is taken at the next step of the show (the session's tests count the steps
// a quit takes); the bound here only catches a request that goes unheard, and keeps a margin
// for a machine that is busy with other tests.
TEST(KesuProgram, PlaysAndEndsSoonAfterACloseRequest)
{
    const std::string folder = makeRunFolder("kesu-run", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ProcessOptions options = headless(folder, runBound);
    closeAfterPlaying(options);
    double afterSignal = -1.0;
    const ProcessResult result = runProcess(kesuBinary, {}, options, &afterSignal);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_GE(afterSignal, 0.0) << "the program never started playing: " << result.err;
    // A close that went unheard would play on for minutes.
    EXPECT_LT(afterSignal, 5.0);
    EXPECT_NE(readFile(folder + "/kesu.log").find("SetForegroundWindow: OK\n"), std::string::npos);
}

// SIGTERM or SIGINT at any moment once the player has taken them over (its first step), while
// the music is decoded, while the window opens, while the scenes load and while a late start
// in the credits brings the show there, ends the run
// with status 0 and the end-of-run report, as a close request does. The quit is taken at the
// next step of the loading or of the late start (the session's tests count them); a frame
// being drawn is finished first, and the first frame of each window makes the driver compile
// its shaders. The bound only catches a signal that goes unheard (the run would play on for
// over a minute), with a margin a machine busy with other tests keeps.
TEST(KesuProgram, ASignalWhileLoadingEndsTheRunWithItsReport)
{
    const std::string folder = makeRunFolder("kesu-signal", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    for (const double at : {0.05, 0.2, 0.35, 0.6, 1.5}) {
        for (const int signal : {15, 2}) {
            SCOPED_TRACE("signal " + std::to_string(signal) + " at " + std::to_string(at) + " s");
            ProcessOptions options = headless(folder, runBound);
            options.signalToSend = signal;
            options.signalOnceHandled = true;
            const auto start = std::chrono::steady_clock::now();
            options.sendSignalWhen = [start, at](const std::string&, const std::string&) {
                return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= at;
            };
            double afterSignal = -1.0;
            const ProcessResult result = runProcess(kesuBinary, {"--window", "--from", "100"}, options, &afterSignal);
            EXPECT_EQ(result.exitStatus, 0) << result.err;
            EXPECT_NE(result.out.find(" frames in "), std::string::npos) << "no end-of-run report: " << result.out;
            ASSERT_GE(afterSignal, 0.0);
            EXPECT_LT(afterSignal, 5.0);
            if (at > 0.5) break;   // the two signals take one path once the window is up
        }
    }
}

// No kesu.ini, a folder where the log goes and no audio device: each is said once on stderr
// and the demo plays anyway, at the desktop's size and silent.
TEST(KesuProgram, PlaysDespiteNoConfigurationNoLogAndNoSoundSayingSoForEach)
{
    const std::string folder = makeRunFolder("kesu-degraded", nullptr);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ASSERT_EQ(mkdir((folder + "/kesu.log").c_str(), 0755), 0);
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "no-such-driver"}};
    closeAfterPlaying(options);
    const ProcessResult result = runProcess(kesuBinary, {}, options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    for (const char* said : {"kesu.ini", "desktop", "kesu.log", "plays silent"}) {
        EXPECT_NE(result.err.find(said), std::string::npos) << said << " missing from: " << result.err;
    }
    EXPECT_NE(result.out.find("kesu: playing at 1024 x 768, silent"), std::string::npos) << result.out;
}

TEST(KesuProgram, StopsWithAMessageWhenThereIsNoDisplay)
{
    const std::string folder = makeRunFolder("kesu-nodisplay", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
    const ProcessResult result = runProcess(kesuBinary, {}, options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    // One cause, one message: the first failed step, then what to do.
    EXPECT_NE(result.err.find("no display"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    EXPECT_NE(result.err.find("kesu-capture"), std::string::npos) << result.err;
}

// On a virtual X server of 1920 x 1080, as a person runs the player: in a window of the
// configured size that leaves the screen uncovered, and full screen, each from two or three
// seconds before the end of the music, which ends each run by itself. Silent, on the wall clock.
// The server cannot give one screen two monitors, but SDL counts its second screen (800 x 600)
// as a second monitor at the origin: `--display 1` centres the window on that one.
TEST(KesuProgram, UnderAnXServerPlaysInAWindowAndFromALatePointToTheEndOfTheMusic)
{
    const std::string folder = makeRunFolder("kesu-x11", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    std::ofstream(folder + "/runs.sh") << xScriptStart()
                                       << "./kesu --window --from 171 >window.out 2>window.err & player=$!\n"
                                          "for i in $(seq 300); do\n"
                                          "  xwininfo -name 'Kesu Tamrick' >window.info 2>&1 && break; sleep 0.1\n"
                                          "done\n"
                                          "wait $player; echo $? >window.status\n"
                                          "./kesu --window --display 1 --from 171 >second.out 2>&1 & player=$!\n"
                                          "for i in $(seq 300); do\n"
                                          "  xwininfo -name 'Kesu Tamrick' >second.info 2>&1 && break; sleep 0.1\n"
                                          "done\n"
                                          "wait $player; echo $? >second.status\n"
                                          "./kesu --from 170 >screen.out 2>screen.err; echo $? >screen.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER"};
    options.timeoutSeconds = 90.0;
    const ProcessResult result =
        runProcess("/usr/bin/xvfb-run", xServerArgs("1920x1080", {"bash", "runs.sh"}, "800x600"), options);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run (installed by scripts/setup.sh): " << result.err;

    const std::string second = readFile(folder + "/second.info");
    EXPECT_NE(second.find("Absolute upper-left X:  -112\n"), std::string::npos) << "not on monitor 1: " << second;
    EXPECT_NE(second.find("Absolute upper-left Y:  -84\n"), std::string::npos) << "not on monitor 1: " << second;
    EXPECT_EQ(readFile(folder + "/second.status"), "0\n") << readFile(folder + "/second.out");
    const std::string info = readFile(folder + "/window.info");
    EXPECT_NE(info.find("Width: 1024\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 768\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left X:  448\n"), std::string::npos) << "not centred: " << info;
    EXPECT_EQ(readFile(folder + "/window.status"), "0\n") << readFile(folder + "/window.err");
    EXPECT_NE(readFile(folder + "/window.out").find("playing at 1024 x 768 in a window"), std::string::npos);

    EXPECT_EQ(readFile(folder + "/screen.status"), "0\n") << readFile(folder + "/screen.err");
    const std::string screenOut = readFile(folder + "/screen.out");
    EXPECT_NE(screenOut.find("playing at 1024 x 768"), std::string::npos) << screenOut;
    EXPECT_NE(screenOut.find("frames"), std::string::npos) << "no report at the end: " << screenOut;
    EXPECT_LT(result.seconds, 45.0);
}

namespace {

// The files of a folder, sorted by name.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        files.push_back(entry->path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// The frames of a clock log, with the time each was drawn for checked against what the
// player is to draw for: the first frame and the first after a jump of the music (a seek, a
// loop) for the position read, and so the frames after them while the music still stands
// there; the first after a resume for it too, unless the frame before the pause was drawn for
// later (the music is heard a little behind the picture); every other for the position read
// plus the median of the last 15 read-to-swap times of the frames drawn so (the upper of the
// middle two of an even count; none before three), at most 50 ms, never before the frame
// before, never past 173 s; with frame prediction off, each for the position read. Returns the lines, and
// the positions the music jumped to.
std::vector<ClockLogLine> checkDrawnTimes(const std::string& path, bool predicted, double from, std::vector<double>& jumps)
{
    std::vector<ClockLogLine> lines;
    std::string problem;
    EXPECT_TRUE(readClockLog(path, lines, problem)) << problem;
    if (lines.size() < 20u) {
        ADD_FAILURE() << path << " holds " << lines.size() << " frames";
        return lines;
    }
    const double startSeconds = std::llround(from * 44100.0) * 4 / 176400.0;
    // The clock starts at that byte; silent, it runs from the start on, a few milliseconds
    // before the first frame reads it.
    EXPECT_GE(lines[0].position, startSeconds - 1e-5) << "the music did not start at the byte of " << from << " s";
#ifndef KESU_SANITIZED
    // An instrumented first frame reads the clock later than that.
    EXPECT_LT(lines[0].position, startSeconds + 0.025) << "the music did not start at the byte of " << from << " s";
#endif
    std::vector<double> delays;
    double lastDrawn = 0.0;
    double standingAt = -1.0;   // the position the music stands at since a start, jump or resume
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ClockLogLine& line = lines[i];
        EXPECT_GE(line.readSeconds, 0.0) << "no READ field in line " << i + 1;
        const bool resumed = i > 0 && line.readSeconds - lines[i - 1].swapSeconds > 0.3;
        const bool jumped = i > 0 && (line.position < lines[i - 1].position - 0.001 || line.position > lines[i - 1].position + 0.3);
        if (jumped) jumps.push_back(line.position);
        if (i == 0 || resumed || jumped) standingAt = line.position;
        const bool standing = line.position == standingAt;
        if (!standing) standingAt = -1.0;
        double expected = std::min(resumed && !jumped ? std::max(lastDrawn, line.position) : line.position, 173.0);
        if (predicted && !standing) {
            std::vector<double> recent(delays.end() - static_cast<std::ptrdiff_t>(std::min<std::size_t>(delays.size(), 15)), delays.end());
            std::nth_element(recent.begin(), recent.begin() + static_cast<std::ptrdiff_t>(recent.size() / 2), recent.end());
            const double delay = recent.size() < 3 ? 0.0 : std::clamp(recent[recent.size() / 2], 0.0, 0.05);
            expected = std::min(std::max(lastDrawn, line.position + delay), 173.0);
        } else if (standing && i > 0 && !resumed && !jumped) {
            expected = std::min(std::max(lastDrawn, line.position), 173.0);
        }
        if (std::fabs(line.drawn - expected) > 2e-4) {
            ADD_FAILURE() << path << " line " << i + 1 << (resumed ? ", the first after a resume" : "")
                          << (jumped ? ", the first after a jump" : "") << ": drawn for " << line.drawn << ", not " << expected;
            break;
        }
        // A frame drawn for the position read while the music stands (at a start, a jump, a
        // resume) teaches nothing.
        if (!standing) delays.push_back(line.swapSeconds - line.readSeconds);
        lastDrawn = line.drawn;
    }
    return lines;
}

} // namespace

// As a person plays it under a virtual X server, the keys through the X server to SDL's own
// event queue, with the clock log: from 150.37 s in a window, paused and resumed with Space,
// moved with Right, Down, Page Down and Page Up (within a second of a part's start it goes to
// the part before), then paused, moved to 135 s, back to 105 s and on to 100 s, a screenshot
// taken there and ended with Escape: each frame drawn for when it is seen, every jump landing
// where the keys say, the screenshot the picture a capture draws at 100 s. Then with --loop from 171 s,
// the music and the picture starting again from 0 at the end, and the report counting the
// passes; and from 170.37 s to the end with KESU_CLOCK=frame-start, each frame drawn for the
// position read. On SDL's device (the dummy driver), and silent.
TEST(KesuProgram, UnderAnXServerTheKeysSteerTheShowAndEachFrameIsDrawnForWhenItIsSeen)
{
    const std::string folder = makeRunFolder("kesu-keys", "640 480 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    std::ofstream(folder + "/runs.sh")
        << xScriptStart()
        << "escape() { xdotool keydown Escape; sleep 0.2; xdotool keyup Escape; }\n"
           "focus() { xdotool windowfocus --sync $(xdotool search --sync --name 'Kesu Tamrick' | head -1); }\n"
           "KESU_CLOCK_LOG=predicted.log SDL_AUDIODRIVER=dummy ./kesu --window --from 150.37 >p.out 2>p.err & player=$!\n"
           "focus; playing p.out; sleep 1; key space 0.6; key space 1\n"
           "key Right; key Down; key Next; key Prior 0.4; key space 0.4; key Next 0.6; key Prior 0.6; key Left 0.6; key s 1; escape\n"
           "wait $player; echo $? >p.status\n"
           "KESU_CLOCK_LOG=loop.log SDL_AUDIODRIVER=dummy ./kesu --window --from 171 --loop >l.out 2>l.err & player=$!\n"
           "focus; playing l.out; sleep 3; escape\n"
           "wait $player; echo $? >l.status\n"
           "KESU_CLOCK=frame-start KESU_CLOCK_LOG=start.log SDL_AUDIODRIVER=no-such-driver ./kesu --window --from 170.37 "
           ">s.out 2>s.err; echo $? >s.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {};
    options.unsetEnvironment = {"SDL_VIDEODRIVER", "SDL_AUDIODRIVER", "KESU_CLOCK"};
    options.timeoutSeconds = 120.0;
    const ProcessResult result =
        runProcess("/usr/bin/xvfb-run", xServerArgs("1280x1024", {"bash", "runs.sh"}), options);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run and xdotool (installed by scripts/setup.sh tests): " << result.err;
    for (const char* run : {"p", "l", "s"})
        EXPECT_EQ(readFile(folder + "/" + run + ".status"), "0\n") << readFile(folder + "/" + run + ".err");

    std::vector<double> jumps;
    checkDrawnTimes(folder + "/predicted.log", true, 150.37, jumps);
    // Right and Down go 5 s on and 30 s back from where the music was; Page Down to the
    // sphere's start, Page Up then to the robot's; paused, Page Down from there, Page Up
    // within a second of that start to the robot's again, and Left into the credits.
    ASSERT_EQ(jumps.size(), 7u) << "the keys did not all move the show";
    EXPECT_NEAR(jumps[1] - jumps[0], -30.0, 1.0);
    EXPECT_EQ(std::vector<double>(jumps.begin() + 2, jumps.end()), (std::vector<double>{135.0, 105.0, 135.0, 105.0, 100.0}));
    const std::vector<std::string> shots = filesIn(folder + "/screenshots");
    ASSERT_EQ(shots.size(), 1u) << readFile(folder + "/p.err");
    EXPECT_NE(shots[0].find("kesu-tamrick-1m40.00s-"), std::string::npos) << shots[0];
    EXPECT_NE(readFile(folder + "/p.err").find("screenshot saved: screenshots/kesu-tamrick-1m40.00s-"), std::string::npos);
    const ProcessResult capture =
        runProcess(captureBinary, {"--size", "640x480", "--at", "100", "--out", folder + "/capture"}, headless(folder, runBound));
    ASSERT_EQ(capture.exitStatus, 0) << capture.err;
    std::string shot, captured, error;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng(shots[0], shot, width, height, error)) << error;
    ASSERT_TRUE(readPng(folder + "/capture/at-00100.000.png", captured, width, height, error)) << error;
    ASSERT_EQ(shot.size(), captured.size());
    double total = 0.0;
    for (std::size_t k = 0; k < shot.size(); ++k) total += std::abs(static_cast<unsigned char>(shot[k]) - static_cast<unsigned char>(captured[k]));
    // Alpha included: the credits leave it below 255 in places, and the file is as opaque as
    // the screen.
    EXPECT_LT(total / static_cast<double>(shot.size()), 2.0) << "the screenshot is not the picture of 100 s";

    std::vector<double> loopJumps;
    const std::vector<ClockLogLine> looped = checkDrawnTimes(folder + "/loop.log", true, 171.0, loopJumps);
    ASSERT_EQ(loopJumps, std::vector<double>{0.0}) << "the loop did not start the show again from 0";
    EXPECT_NE(readFile(folder + "/l.out").find("the show started 2 times (looping)"), std::string::npos) << readFile(folder + "/l.out");

    std::vector<double> none;
    checkDrawnTimes(folder + "/start.log", false, 170.37, none);
    EXPECT_TRUE(none.empty());
}

// F while paused, under a virtual X server, in the credits: the window goes full screen
// and back, the window system resizing it each time some while after the switch (here the
// script does what a window manager does; Xvfb runs none). The paused picture comes back
// at each new size: full screen, the show's 640 x 480 scaled to 1280 x 960 between black
// bars; in the window again, the picture a capture draws at that time. Full screen once more,
// and then F twice before the window system has shrunk the window: the same full screen.
TEST(KesuProgram, UnderAnXServerTheFullScreenShowsThePausedPictureScaledAndGivesItBack)
{
    const std::string folder = makeRunFolder("kesu-full", "640 480 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    std::ofstream(folder + "/runs.sh")
        << xScriptStart()
        << "grab() { ffmpeg -v error -y -f x11grab -video_size $1 -i \"$DISPLAY+$2\" -frames:v 1 $3; }\n"
           "SDL_AUDIODRIVER=dummy ./kesu --window --from 95 >p.out 2>p.err & player=$!\n"
           "w=$(xdotool search --sync --name 'Kesu Tamrick' | head -1); xdotool windowfocus --sync $w\n"
           // Paused, Page Up to the credits' start, 5 s on: 90 s; the bar has gone after 1.5 s.
           "playing p.out; sleep 0.5; key space 0.5; key Prior 0.5; key Right 2\n"
           "key f 0.5; xdotool windowmove $w 0 0 windowsize $w 1280 1024; sleep 1; grab 1280x1024 0,0 full.png\n"
           "key f 0.5; xdotool windowsize $w 640 480 windowmove $w 320 272; sleep 1\n"
           "eval \"$(xwininfo -id $w | awk '/Absolute upper-left X/ {print \"x=\" $4} /Absolute upper-left Y/ {print \"y=\" $4}')\"\n"
           "grab 640x480 $x,$y back.png\n"
           "key f 0.5; xdotool windowmove $w 0 0 windowsize $w 1280 1024; sleep 1\n"
           "key f 0.3; key f 0.5; grab 1280x1024 0,0 again.png\n"
           "xdotool keydown Escape; sleep 0.2; xdotool keyup Escape; wait $player; echo $? >p.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {};
    options.unsetEnvironment = {"SDL_VIDEODRIVER", "SDL_AUDIODRIVER"};
    options.timeoutSeconds = 90.0;
    const ProcessResult result =
        runProcess("/usr/bin/xvfb-run", xServerArgs("1280x1024", {"bash", "runs.sh"}), options);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run, xdotool and ffmpeg (installed by scripts/setup.sh tests): " << result.err;
    EXPECT_EQ(readFile(folder + "/p.status"), "0\n") << readFile(folder + "/p.err");
    const ProcessResult capture =
        runProcess(captureBinary, {"--size", "640x480", "--at", "90", "--out", folder + "/capture"}, headless(folder, runBound));
    ASSERT_EQ(capture.exitStatus, 0) << capture.err;

    std::string full, back, captured, error;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng(folder + "/capture/at-00090.000.png", captured, width, height, error)) << error;
    ASSERT_TRUE(readPng(folder + "/back.png", back, width, height, error)) << error;
    ASSERT_EQ(back.size(), captured.size());
    ASSERT_TRUE(readPng(folder + "/full.png", full, width, height, error)) << error;
    ASSERT_EQ(width * height, 1280 * 1024);
    std::string again;
    ASSERT_TRUE(readPng(folder + "/again.png", again, width, height, error)) << error;
    ASSERT_EQ(again.size(), full.size());
    double fullAgain = 0.0;
    for (std::size_t i = 0; i < full.size(); ++i)
        if (i % 4 != 3) fullAgain += std::abs(static_cast<unsigned char>(again[i]) - static_cast<unsigned char>(full[i]));
    const auto pixel = [](const std::string& rgba, int rowWidth, int x, int y, int c) {
        return static_cast<unsigned char>(rgba[4 * (static_cast<std::size_t>(y) * rowWidth + x) + c]);
    };
    double bars = 0.0, scaled = 0.0, returned = 0.0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 1280; ++x)
            for (int c = 0; c < 3; ++c) bars += pixel(full, 1280, x, y, c) + pixel(full, 1280, x, 1023 - y, c);
    // Each pixel of the show against the mean of the four it became.
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double quad = (pixel(full, 1280, 2 * x, 32 + 2 * y, c) + pixel(full, 1280, 2 * x + 1, 32 + 2 * y, c) +
                                     pixel(full, 1280, 2 * x, 33 + 2 * y, c) + pixel(full, 1280, 2 * x + 1, 33 + 2 * y, c)) /
                                    4.0;
                scaled += std::fabs(quad - pixel(captured, 640, x, y, c));
                returned += std::abs(pixel(back, 640, x, y, c) - pixel(captured, 640, x, y, c));
            }
        }
    }
    const double samples = 640.0 * 480.0 * 3.0;
    EXPECT_LT(bars / (2 * 32 * 1280 * 3), 1.0) << "the bars above and below the picture are not black";
    EXPECT_LT(scaled / samples, 6.0) << "the full screen does not show the paused picture scaled to 1280 x 960";
    EXPECT_LT(returned / samples, 2.0) << "back in the window, the paused picture is not the one of 90 s";
    EXPECT_LT(fullAgain / (1280.0 * 1024.0 * 3.0), 1.0) << "full screen again, the picture is not the same";
}

namespace {

std::string readPicture(const std::string& path, int& width, int& height)
{
    std::string pixels, error;
    EXPECT_TRUE(readPng(path, pixels, width, height, error)) << error;
    return pixels;
}

// Pixels of the row at `fromTop` in the time bar's progress line colours (its grey and its
// orange): the bar shows when most of the line's width has them.
int progressLinePixels(const std::string& rgba, int width, int fromTop)
{
    int count = 0;
    for (int x = 0; x < width; ++x) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(rgba.data()) + 4 * (static_cast<std::size_t>(fromTop) * width + x);
        const bool grey = std::abs(p[0] - 89) <= 2 && std::abs(p[1] - 89) <= 2 && std::abs(p[2] - 89) <= 2;
        const bool orange = std::abs(p[0] - 255) <= 2 && std::abs(p[1] - 140) <= 2 && std::abs(p[2] - 26) <= 2;
        count += grey || orange;
    }
    return count;
}

// The shell functions of a script that steers a 640 x 480 window with the mouse: grab FILE
// DRAW_MOUSE, the window's picture with the pointer drawn or not; bar SECONDS, the pointer
// over the bar's line at that time (the line runs from x 8 to 632 at this size).
const char* const mouseFunctions =
    "grab() { ffmpeg -v error -y -f x11grab -draw_mouse $2 -video_size 640x480 -i \"$DISPLAY+$x,$y\" -frames:v 1 $1; }\n"
    "bar() { xdotool mousemove $((x + 8 + 624 * $1 / 173)) $((y + 476)); }\n"
    "escape() { xdotool keydown Escape; sleep 0.2; xdotool keyup Escape; }\n"
    "window() { w=$(xdotool search --sync --name 'Kesu Tamrick' | head -1); xdotool windowfocus --sync $w\n"
    "  eval \"$(xwininfo -id $w | awk '/Absolute upper-left X/ {print \"x=\" $4} /Absolute upper-left Y/ {print \"y=\" $4}')\"; }\n";

} // namespace

// The mouse as a person uses it, through a virtual X server, from 95 s in a 640 x 480 window
// that opened under a still pointer: nothing shows until the mouse moves; a move brings the
// bar and the pointer, and 2 s later, the show playing, both are gone (the pointer is seen in
// a paused picture grabbed with and without it); a click on the bar at the x of 100 s lands
// there within the time a bar pixel spans; a drag from 60 s to 120 s lands at 120 s only, when
// let go; a click elsewhere pauses, a second resumes; and a double-click switches the full
// screen without pausing: resized as a window manager would, the window shows the picture
// scaled.
TEST(KesuProgram, UnderAnXServerTheMouseShowsTheBarSeeksPausesAndSwitchesTheFullScreen)
{
    KESU_REGULAR_BUILD_ONLY("times clicks against the 250 ms double-click and the bar's 2 s, which an instrumented "
                            "player on a loaded machine misses; the full-screen test takes the pointer's placements "
                            "under the sanitizers");
    const std::string folder = makeRunFolder("kesu-mouse", "640 480 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    std::ofstream(folder + "/runs.sh")
        << xScriptStart() << mouseFunctions
        << "xdotool mousemove 640 512\n"
           "KESU_CLOCK_LOG=mouse.log ./kesu --window --from 95 >p.out 2>p.err & player=$!\n"
           "window; playing p.out; sleep 1; grab still.png 1\n"
           "xdotool mousemove $((x + 300)) $((y + 200)); sleep 0.3; grab moved.png 1\n"
           "sleep 2.2; key space 2; grab hidden.png 1; grab hidden-bare.png 0\n"
           "xdotool mousemove $((x + 320)) $((y + 200)); sleep 0.3; grab shown.png 1; grab shown-bare.png 0\n"
           "key space 2.5; key space 2; grab gone.png 1; grab gone-bare.png 0; key space 0.5\n"
           "bar 100; sleep 0.2; xdotool click 1; sleep 1\n"
           "bar 60; sleep 0.2; xdotool mousedown 1; sleep 0.2; bar 90; sleep 0.2; bar 120; sleep 0.3; grab drag.png 0\n"
           "xdotool mouseup 1; sleep 1\n"
           "xdotool mousemove $((x + 320)) $((y + 240)); sleep 0.1; xdotool click 1; sleep 1; xdotool click 1; sleep 1\n"
           "xdotool click --repeat 2 --delay 100 1; sleep 0.5; xdotool windowmove $w 0 0 windowsize $w 1280 1024; sleep 1.5\n"
           "x=0; y=0; ffmpeg -v error -y -f x11grab -draw_mouse 0 -video_size 1280x1024 -i \"$DISPLAY+0,0\" -frames:v 1 full.png\n"
           "escape; wait $player; echo $? >p.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER"};
    options.timeoutSeconds = 120.0;
    const ProcessResult result = runProcess("/usr/bin/xvfb-run", xServerArgs("1280x1024", {"bash", "runs.sh"}), options);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run, xdotool and ffmpeg (installed by scripts/setup.sh tests): " << result.err;
    ASSERT_EQ(readFile(folder + "/p.status"), "0\n") << readFile(folder + "/p.err");

    int width = 0, height = 0;
    // The line's rows are 468 to 471 from the top at this size.
    EXPECT_LT(progressLinePixels(readPicture(folder + "/still.png", width, height), 640, 470), 100)
        << "the bar shows though the mouse did not move";
    EXPECT_GT(progressLinePixels(readPicture(folder + "/moved.png", width, height), 640, 470), 500) << "a move brought no bar";
    EXPECT_LT(progressLinePixels(readPicture(folder + "/gone.png", width, height), 640, 470), 100) << "the bar stayed";
    for (const auto& [name, shows] : {std::pair<std::string, bool>{"hidden", false}, {"shown", true}, {"gone", false}}) {
        const bool same = readPicture(folder + "/" + name + ".png", width, height) ==
                          readPicture(folder + "/" + name + "-bare.png", width, height);
        EXPECT_EQ(same, !shows) << (shows ? "a move did not bring the pointer" : "the pointer shows: " + name);
    }
    // While dragging, the bar shows the time under the pointer.
    const std::string dragged = readPicture(folder + "/drag.png", width, height);
    EXPECT_GT(progressLinePixels(dragged, 640, 470), 500) << "no bar while dragging";

    std::vector<double> jumps;
    const std::vector<ClockLogLine> lines = checkDrawnTimes(folder + "/mouse.log", true, 95.0, jumps);
    const double pixelSeconds = 173.0 / 624.0;
    ASSERT_EQ(jumps.size(), 2u) << "the click and the drag did not each move the show once";
    EXPECT_NEAR(jumps[0], 100.0, pixelSeconds) << "the click on the bar";
    EXPECT_NEAR(jumps[1], 120.0, pixelSeconds) << "the drag";
    // The pauses, a second or more where the music did not move: two by Space, one by a click;
    // none by the double-click.
    int pauses = 0;
    for (std::size_t i = 1; i < lines.size(); ++i)
        pauses += lines[i].readSeconds - lines[i - 1].swapSeconds > 0.8 && std::fabs(lines[i].position - lines[i - 1].position) < 0.1;
    EXPECT_EQ(pauses, 3) << "a click elsewhere pauses and a second resumes; a double-click does not pause";
    EXPECT_GT(lines.back().position - jumps[1], 3.0) << "the show did not go on after the double-click";

    // Full screen: the paused picture's size scaled to fill the width; the window's corner far
    // from the show's own lower left is drawn.
    const std::string full = readPicture(folder + "/full.png", width, height);
    ASSERT_EQ(width * height, 1280 * 1024);
    double corner = 0.0;
    for (int y = 100; y < 400; ++y)
        for (int x = 700; x < 1200; ++x)
            corner += static_cast<unsigned char>(full[4 * (static_cast<std::size_t>(y) * 1280 + x)]);
    EXPECT_GT(corner / (300.0 * 500.0), 10.0) << "the double-click did not switch to the full screen";
}

// The volume keys through a private PulseAudio server that remembers each program's level, as
// a desktop's does, its null sink recorded: from 20 s at full level, 9 ten times (50%), 0 five
// times (75%), M (silence), M again (75%) and 9 ten times (25%); each level is heard at the
// mixers' curve's gain within 0.5 dB, in that order, and the clock log has no jump. A second
// run with --volume 50 plays at 50% though the server remembers 25%.
TEST(KesuProgram, UnderAnXServerTheVolumeKeysSetTheLevelHeardAndEachRunStartsAtItsOwn)
{
    KESU_REGULAR_BUILD_ONLY("measures levels heard; the level's code runs under the sanitizers in SoundServerRun's level case");
    std::string missing;
    if (!soundServerInstalled(SOUND_SERVER_PULSEAUDIO, missing)) GTEST_SKIP() << missing << " is not installed";
    SoundServer server;
    std::string problem;
    ASSERT_TRUE(startSoundServer(server, problem)) << problem;
    const std::string pactl = "pactl -s " + server.address;
    ProcessOptions quiet;
    quiet.timeoutSeconds = 20.0;
    ASSERT_EQ(runProcess("/bin/sh", {"-c", pactl + " load-module module-stream-restore restore_device=false"}, quiet).exitStatus, 0);
    AudioRecorder* recorder = recorderStart(server.address, server.monitor, 240.0, problem);
    ASSERT_NE(recorder, nullptr) << problem;
    waitForShortBlocks(recorder);

    const std::string folder = makeRunFolder("kesu-volume", "640 480 0\n");
    std::ofstream(folder + "/runs.sh")
        << xScriptStart() << mouseFunctions
        << "nine() { xdotool key --delay 40 9 9 9 9 9 9 9 9 9 9; sleep 1.5; }\n"
           "KESU_CLOCK_LOG=volume.log ./kesu --window --from 20 >v.out 2>v.err & player=$!\n"
           "window; playing v.out; sleep 1.5\n"
           "nine; xdotool key --delay 40 0 0 0 0 0; sleep 1.5; key m 1.5; key m 1.5; nine\n"
           "escape; wait $player; echo $? >v.status; sleep 0.5\n"
           "./kesu --window --from 30 --volume 50 >w.out 2>w.err & player=$!\n"
           "window; playing w.out; sleep 1; " + pactl + " list sink-inputs >second.txt; escape; wait $player; echo $? >w.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "pulseaudio"}, {"PULSE_SERVER", server.address}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER"};
    options.timeoutSeconds = 150.0;
    const ProcessResult result = runProcess("/usr/bin/xvfb-run", xServerArgs("1280x1024", {"bash", "runs.sh"}), options);
    RecordedSound sound;
    recorderStop(recorder, sound);
    stopSoundServer(server);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run, xdotool and pactl (installed by scripts/setup.sh tests): " << result.err;
    EXPECT_EQ(readFile(folder + "/v.status"), "0\n") << readFile(folder + "/v.err");
    EXPECT_EQ(readFile(folder + "/w.status"), "0\n") << readFile(folder + "/w.err");
    // The server's own account of the second run's stream: half the scale (32768 of 65536).
    EXPECT_NE(readFile(folder + "/second.txt").find("32768 /  50%"), std::string::npos) << readFile(folder + "/second.txt");

    std::vector<std::int16_t> music;
    LoadError error;
    ASSERT_TRUE(decodeMp3File(folder + "/data/little.mp3", music, error)) << formatLoadError(error);
    // At full level the recording holds the music sample for sample: that places it.
    const std::int64_t placedFrom = std::llround(20.5 * 44100);
    const std::int64_t heard = findMusicInRecording(music, sound.pcm, placedFrom, 44100 / 5);
    ASSERT_GE(heard, 0) << "the first run's music at full level is not in the recording";
    const std::int64_t offset = heard - placedFrom;
    // The level of each tenth of a second from there, in dB; -200 for silence, NaN where the
    // music itself is too quiet to tell.
    std::vector<double> levels;
    for (std::int64_t from = placedFrom; 2 * static_cast<std::size_t>(from + offset + 4410) < sound.pcm.size(); from += 4410) {
        double musicPower = 0.0, product = 0.0, heardPower = 0.0;
        for (std::int64_t k = from; k < from + 4410; ++k) {
            for (std::size_t channel = 0; channel < 2; ++channel) {
                const double m = music[2 * static_cast<std::size_t>(k) + channel];
                const double r = sound.pcm[2 * static_cast<std::size_t>(k + offset) + channel];
                musicPower += m * m;
                product += m * r;
                heardPower += r * r;
            }
        }
        if (heardPower == 0.0) levels.push_back(-200.0);
        else levels.push_back(musicPower < 4410 * 2 * 100.0 * 100.0 ? std::nan("") : 20.0 * std::log10(std::max(product / musicPower, 1e-9)));
        if (from > placedFrom + 44100 * 20) break;
    }
    // Each level in turn, held for half a second at least.
    const double expected[] = {0.0, 20 * std::log10(0.125), 20 * std::log10(0.421875), -200.0, 20 * std::log10(0.421875),
                               20 * std::log10(0.015625)};
    std::size_t at = 0;
    std::string seen;
    for (const double level : expected) {
        int run = 0;
        while (at < levels.size() && run < 5) {
            const double heardLevel = levels[at++];
            run = std::isnan(heardLevel) ? run : std::fabs(heardLevel - level) <= 0.5 ? run + 1 : 0;
        }
        seen += std::to_string(level) + (run >= 5 ? " heard; " : " never heard; ");
        EXPECT_GE(run, 5) << seen;
    }
    std::vector<double> jumps;
    checkDrawnTimes(folder + "/volume.log", true, 20.0, jumps);
    EXPECT_TRUE(jumps.empty()) << "the level moved the clock";
}

// The desktop's media controls, through a virtual X server and a private session bus, as
// playerctl and a media key use them: listed, described, paused and resumed, moved to 100 s,
// to the next part and back to its start, the level set with a change signalled; a position
// for another track or outside the show ignored; the media keys as their keys; a second player
// beside the first under its instance's name; stopped. With no session bus the player plays
// and says nothing, and when the bus goes away in the middle the show goes on to its end.
TEST(KesuProgram, UnderAnXServerAndASessionBusTheMediaControlsSteerTheShow)
{
    const std::string folder = makeRunFolder("kesu-media", "640 480 1\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    const std::string call = "busctl --user call org.mpris.MediaPlayer2.kesu_tamrick /org/mpris/MediaPlayer2 "
                             "org.mpris.MediaPlayer2.Player SetPosition ox ";
    std::ofstream(folder + "/bus.sh")
        << xScriptStart() << mouseFunctions
        << "pc() { playerctl -p kesu_tamrick \"$@\"; }\n"
           "listed() { for i in $(seq 200); do playerctl -l 2>/dev/null | grep -qx \"$1\" && return 0; sleep 0.1; done; return 1; }\n"
           "dbus-monitor \"type='signal',path='/org/mpris/MediaPlayer2'\" >monitor.txt 2>&1 & monitor=$!\n"
           "KESU_CLOCK_LOG=media.log ./kesu --window --from 20 >m.out 2>m.err & player=$!\n"
           "window; playing m.out; listed kesu_tamrick\n"
           // What the player says once it says what is awaited, or after 10 s.
           "awaited() { want=$1; shift; for i in $(seq 100); do [ \"$(\"$@\")\" = \"$want\" ] && break; sleep 0.1; done; \"$@\"; }\n"
           "playerctl -l >list.txt; pc metadata >metadata.txt; pc status >status.txt\n"
           "pc play-pause; awaited Paused pc status >>status.txt; pc play-pause; awaited Playing pc status >>status.txt\n"
           "pc position 100; sleep 1; pc position >position.txt; pc next; sleep 1.5; pc previous; sleep 1\n"
           "pc volume 0.5; awaited 0.500000 pc volume >volume.txt\n"
        << call << "/org/elsewhere 5000000; " << call << "/org/kesutamrick/KesuTamrick/show 200000000; " << call
        << "-- /org/kesutamrick/KesuTamrick/show -1; sleep 0.5\n"
           "key XF86AudioPlay 0; awaited Paused pc status >>status.txt; key XF86AudioPlay 0; awaited Playing pc status >>status.txt\n"
           "key XF86AudioNext 1\n"
           "./kesu --window --from 160 >i.out 2>i.err & second=$!\n"
           "playing i.out; listed kesu_tamrick.instance$second; playerctl -l >list2.txt\n"
           "playerctl -p kesu_tamrick.instance$second stop; wait $second; echo $? >i.status\n"
           "pc stop; wait $player; echo $? >m.status; sleep 0.5; kill $monitor\n";
    std::ofstream(folder + "/runs.sh")
        << "dbus-run-session -- bash bus.sh 2>bus.err\n"
           "env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR=/nonexistent ./kesu --window --from 171 >q.out 2>q.err; echo $? >q.status\n"
           "dbus-daemon --session --fork --print-address=3 --print-pid=4 3>address.txt 4>daemon.txt\n"
           "KESU_CLOCK_LOG=gone.log DBUS_SESSION_BUS_ADDRESS=$(cat address.txt) ./kesu --window --from 168 >g.out 2>g.err & player=$!\n"
           "for i in $(seq 600); do grep -q 'kesu: playing' g.out && break; sleep 0.1; done; sleep 1; kill $(cat daemon.txt)\n"
           "wait $player; echo $? >g.status\n";
    ProcessOptions options = headless(folder, runBound);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER", "DBUS_SESSION_BUS_ADDRESS"};
    options.timeoutSeconds = 150.0;
    const ProcessResult result = runProcess("/usr/bin/xvfb-run", xServerArgs("1280x1024", {"bash", "runs.sh"}), options);
    ASSERT_EQ(result.exitStatus, 0) << "xvfb-run, dbus-run-session and playerctl (installed by scripts/setup.sh tests): "
                                    << result.err << readFile(folder + "/bus.err");
    for (const char* run : {"m", "i", "q", "g"})
        EXPECT_EQ(readFile(folder + "/" + run + ".status"), "0\n") << run << ": " << readFile(folder + "/" + run + ".err");

    EXPECT_EQ(readFile(folder + "/list.txt"), "kesu_tamrick\n");
    const std::string metadata = readFile(folder + "/metadata.txt");
    EXPECT_NE(metadata.find("mpris:length              173000000"), std::string::npos) << metadata;
    EXPECT_NE(metadata.find("xesam:title               Kesu Tamrick"), std::string::npos) << metadata;
    EXPECT_EQ(readFile(folder + "/status.txt"), "Playing\nPaused\nPlaying\nPaused\nPlaying\n");
    const double position = std::atof(readFile(folder + "/position.txt").c_str());
    EXPECT_TRUE(position >= 100.0 && position < 101.5) << position;
    EXPECT_EQ(readFile(folder + "/volume.txt"), "0.500000\n");
    const std::string signals = readFile(folder + "/monitor.txt");
    for (const char* said : {"\"PlaybackStatus\"", "\"Metadata\"", "\"Volume\"", "member=Seeked"})
        EXPECT_NE(signals.find(said), std::string::npos) << said << " never signalled";
    const std::string second = readFile(folder + "/list2.txt");
    EXPECT_NE(second.find("kesu_tamrick\n"), std::string::npos) << second;
    EXPECT_NE(second.find("kesu_tamrick.instance"), std::string::npos) << second;

    // 100 s, the next part's start, its start again, and the part after that; no other move.
    // (The frames' times are the keys test's; an instrumented player's first frames may lie
    // further apart than a frame's prediction allows, so here a move is a step back or one
    // of more than 1.5 s on.)
    const double next = showParts[showPartAt(100.0) + 1].start;
    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(folder + "/media.log", lines, problem)) << problem;
    std::vector<double> jumps;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const double step = lines[i].position - lines[i - 1].position;
        if (step < -0.001 || step > 1.5) jumps.push_back(lines[i].position);
    }
    ASSERT_EQ(jumps.size(), 4u) << "the media controls did not each move the show once";
    EXPECT_NEAR(jumps[0], 100.0, 0.05);
    EXPECT_EQ(std::vector<double>(jumps.begin() + 1, jumps.end()),
              (std::vector<double>{next, next, showParts[showPartAt(next) + 1].start}));

    // Nothing but what any run on this server says (its GL has no swap control).
    const auto said = [&](const char* file) {
        std::istringstream lines(readFile(folder + "/" + file));
        std::string line, rest;
        while (std::getline(lines, line))
            if (line.find("the driver offers no swap interval") == std::string::npos) rest += line + "\n";
        return rest;
    };
    EXPECT_EQ(said("q.err"), "") << "a run with no session bus said something";
    EXPECT_EQ(said("g.err"), "") << "a run whose bus went away said something";
    std::vector<ClockLogLine> gone;
    ASSERT_TRUE(readClockLog(folder + "/gone.log", gone, problem)) << problem;
    ASSERT_FALSE(gone.empty());
    EXPECT_GT(gone.back().position, 172.0) << "the show stopped when the bus went away";
}

namespace {

// The options ("--name") a text names.
std::set<std::string> optionsIn(const std::string& text)
{
    std::set<std::string> options;
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        std::size_t end = at + 2;
        while (end < text.size() && (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
        if (end > at + 2) options.insert(text.substr(at, end - at));
        at = end - 2;
    }
    return options;
}

} // namespace

// Each program's --help and its manual page name the same options, so the two cannot drift
// apart: an option added to one and not the other fails here.
TEST(KesuProgram, HelpAndManualPageNameTheSameOptions)
{
    const std::string folder = makeTempFolder("help-manual");
    for (const auto& [binary, page] : {std::pair<std::string, std::string>{kesuBinary, "kesu.6"},
                                       {captureBinary, "kesu-capture.1"}, {sceneToolBinary, "kesu-3ds.1"}}) {
        const ProcessResult help = runProcess(binary, {"--help"}, headless(folder, runBound));
        ASSERT_EQ(help.exitStatus, 0) << binary;
        std::string manual = readFile(std::string(KESU_SOURCE_DIR) + "/packaging/man/" + page + ".in");
        ASSERT_FALSE(manual.empty()) << page;
        for (std::size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) manual.erase(at, 1);
        // The page documents an option in a tagged paragraph: its tag line follows ".TP".
        std::string tags;
        for (std::size_t at = manual.find(".TP\n"); at != std::string::npos; at = manual.find(".TP\n", at + 1)) {
            const std::size_t line = at + 4;
            const std::string tag = manual.substr(line, manual.find('\n', line) - line);
            tags += tag + "\n";
        }
        EXPECT_EQ(optionsIn(help.out), optionsIn(tags)) << page << " documents other options than " << binary << " --help names";
    }
}

TEST(KesuProgram, EveryToolRefusesAUsageErrorWithStatusTwoBeforeOpeningAnything)
{
    const std::string folder = makeRunFolder("kesu-usage", defaultIni);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    struct Case {
        std::string binary;
        std::vector<std::string> args;
        std::string said;
    };
    const std::vector<Case> cases = {
        {kesuBinary, {"--frobnicate"}, "unknown option \"--frobnicate\""},
        {kesuBinary, {"--from", "12x"}, "--from wants seconds"},
        {kesuBinary, {"--from", "173"}, "--from wants seconds"},
        {kesuBinary, {"--from"}, "--from wants seconds"},
        {kesuBinary, {"--window", "--desktop"}, "choose one of --window and --desktop"},
        {kesuBinary, {"--display", "second"}, "--display wants a monitor number"},
        {kesuBinary, {"--volume", "101"}, "--volume wants a level from 0 to 100 percent, not \"101\""},
        {kesuBinary, {"--volume"}, "--volume wants a level"},
        {captureBinary, {"--frobnicate"}, "unknown argument"},
        {captureBinary, {"--to", "174", "--out", "x"}, "--to wants seconds"},
        {captureBinary, {"--quality", "draft", "--out", "x"}, "--quality goes with --out FILE.mp4"},
        {sceneToolBinary, {"--frobnicate"}, "unknown command \"--frobnicate\""},
        {sceneToolBinary, {"describe", "data/title.3ds"}, "unknown command \"describe\""},
        {sceneToolBinary, {"render", "data/title.3ds", "--frame", "0"}, "render needs --frame N and --out FILE.png"},
        {sceneToolBinary, {"render", "data/title.3ds", "--frame", "x", "--out", "a.png"}, "--frame wants a whole number"},
        {sceneToolBinary, {"render", "data/title.3ds", "--frame", "0", "--size", "80", "--out", "a.png"},
         "--size wants WIDTHxHEIGHT"},
        {sceneToolBinary, {"check", "data/title.3ds", "--node"}, "--node wants a node name"},
        {sceneToolBinary, {"bounds", "data/title.3ds", "--frame", "x"}, "--frame wants a whole number"},
    };
    for (const Case& c : cases) {
        const std::string program = std::filesystem::path(c.binary).filename().string();
        const ProcessResult result = runProcess(c.binary, c.args, headless(folder, runBound));
        EXPECT_EQ(result.exitStatus, 2) << c.said;
        // The program's own name, what was wrong, then its own usage.
        EXPECT_EQ(result.err.rfind(program + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("usage: " + program + " "), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_FALSE(std::filesystem::exists(folder + "/kesu.log")) << program << " opened the player's window";
    }
    for (const std::string& binary : {kesuBinary, captureBinary, sceneToolBinary}) {
        const ProcessResult help = runProcess(binary, {"--help"}, headless(folder, runBound));
        EXPECT_EQ(help.exitStatus, 0) << binary;
        EXPECT_NE(help.out.find("usage:"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find(KESU_VERSION), std::string::npos) << help.out;
        const ProcessResult version = runProcess(binary, {"--version"}, headless(folder, runBound));
        EXPECT_EQ(version.exitStatus, 0) << binary;
        EXPECT_EQ(version.out, std::filesystem::path(binary).filename().string() + " " KESU_VERSION "\n");
    }
}
