// The demo's course as data: the length of the run, every effect's time window, the closing
// window, the twelve scenes by index and the 108 beat times. The timeline configures the
// effects from these values, the capture tool's bench groups its frames by them, the data
// generator writes its music on these beats, and the tests read them; nothing else keeps a
// copy. Plain constants, no GL.
#pragma once

#include <string>
#include <vector>

// The run ends at the first frame whose clock reaches this many seconds of music.
constexpr float demoLength = 173.0f;

// An effect draws in a frame exactly when start < demoTime < end, strictly on both sides.
struct EffectWindow {
    float start = 0.0f;
    float end = 0.0f;
};

constexpr bool insideWindow(const EffectWindow& window, float demoTime)
{
    return window.start < demoTime && demoTime < window.end;
}

constexpr EffectWindow titleStreamsWindow{0.0f, 17.5f};
constexpr EffectWindow blindsMaskWindow{10.0f, 17.5f};
constexpr EffectWindow grassSceneWindow{10.0f, 50.0f};
constexpr float grassSwitchTime = 17.5f;   // the grass scene's change of state within its window
constexpr EffectWindow warpOverlayWindow{17.5f, 50.0f};
constexpr EffectWindow blobOrbitWindow{50.0f, 65.0f};
constexpr EffectWindow factoryRewindWindow{65.0f, 85.0f};
constexpr EffectWindow cubeCreditsWindow{85.0f, 105.0f};
constexpr EffectWindow robotCoreWindow{105.0f, 135.0f};
constexpr EffectWindow finaleSphereWindow{135.0f, 169.0f};
// The frame composer's own closing sequence; after closingFadeStart it fades to black.
constexpr EffectWindow closingWindow{169.0f, demoLength};
constexpr float closingFadeStart = 171.5f;

// Every window above in order of start time, with the name the bench and the tests print.
struct ScheduledWindow {
    const char* name;
    EffectWindow window;
    // Frames inside the window build on the picture the frame before left: the title is never
    // cleared, the blinds let the grass scene cover only what they mask, and the credits clear
    // only depth while their tunnel leaves its far end open. Every other window clears the
    // colour buffer or covers all of it in each frame.
    bool keepsPicture;
};
constexpr int scheduledWindowCount = 10;
constexpr ScheduledWindow demoSchedule[scheduledWindowCount] = {
    {"TitleStreams", titleStreamsWindow, true},    {"BlindsMask", blindsMaskWindow, true},
    {"GrassScene", grassSceneWindow, false},       {"WarpOverlay", warpOverlayWindow, false},
    {"BlobOrbit", blobOrbitWindow, false},         {"FactoryRewind", factoryRewindWindow, false},
    {"CubeCredits", cubeCreditsWindow, true},     {"RobotCore", robotCoreWindow, false},
    {"FinaleSphere", finaleSphereWindow, false},   {"closing sequence", closingWindow, false},
};

// The scenes, by their index in the scene table; each is loaded from "data/" + its file.
enum SceneIndex {
    SCENE_TITLE,       // "title.3ds"
    SCENE_GRASS,       // "trawa.3ds"
    SCENE_BLINDS,      // "blind1.3ds"
    SCENE_CUBE,        // "kostka2.3ds"
    SCENE_PIPES,       // "rurki.3ds"
    SCENE_ELEMENTS,    // "elemenci.3ds"
    SCENE_TUNNEL,      // "tlo1.3ds"
    SCENE_FACTORY,     // "fabryka.3ds"
    SCENE_CREDITS,     // "credy.3ds"
    SCENE_ROBOT,       // "girorobo.3ds"
    SCENE_FINALE,      // "last.3ds"
    SCENE_LOGO,        // "gridlogo.3ds"
};
constexpr int sceneCount = 12;
extern const char* const sceneFiles[sceneCount];
// The parts of the show as a viewer sees them, in order: where each starts and the name the
// player's time bar gives it. The first starts at 0.
struct ShowPart {
    float start;
    const char* name;
};
constexpr int showPartCount = 9;
extern const ShowPart showParts[showPartCount];
// The part playing at time t.
int showPartAt(double t);

// The music and the wait screen, by the names the pack stores them under.
extern const char* const musicFile;        // "little.mp3"
extern const char* const waitScreenFile;   // "w8scr.jpg"
// Files a folder's data/ must hold at least one of to be taken for a pack: the music, the
// wait screen and the scenes.
std::vector<std::string> packFileNames();

// Beat times in seconds of music, strictly increasing; each is the shortest decimal that
// gives the stored single-precision number.
constexpr int beatCount = 108;
extern const float beatTimes[beatCount];
