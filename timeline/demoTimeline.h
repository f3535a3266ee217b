// The demo's timeline: at start-up, loads the twelve scenes and every texture, adjusts the
// scenes for the way they are shown and hands each effect its scenes, textures and time
// window; then, once per frame, the beat pulse, the closing sequence and the nine effect
// draws in their fixed order. Owns the twelve scenes for the rest of the run. Needs a
// current GL context.
#pragma once

#include "timeline/beatPulse.h"

#include <string>

#include <cstdint>
#include <functional>

struct LoadError;
struct RenderWindow;
struct Scene;

// Loads everything from the data folder ("data/" under the working directory, or the
// installed pack's folder; it ends with the separator). Stops at the first file that fails
// to load, or a scene that lacks a node or light an effect attaches to, and returns false
// with the reason, so that no demo is ever drawn with missing pieces. Asks quitRequested (when
// given) between scenes, and gives up with an empty error when it says so.
bool loadDemoAssets(RenderWindow& renderWindow, LoadError& error, const std::string& folder = "data/",
                    const std::function<bool()>& quitRequested = nullptr);

// The GL state every effect relies on unless it changes it: smooth shading, black clear
// colour, depth test with GL_LEQUAL, a local viewer for lighting, perspective-correct
// interpolation and sphere-map coordinate generation configured (not enabled) for S and T.
// Set once after loading, before the first frame.
void setDemoRunState();

// Scene 0 .. 11 in the order of the scene table; valid once loadDemoAssets has succeeded.
Scene& demoScene(int index);

// What composing a frame does. FRAME_STEP advances only what a frame carries into the next
// (the beat index, the particles and their random sequence, the logo column's phase) and
// makes no GL call, for frames that are not shown, such as those before a late start;
// FRAME_DRAW draws the frame and takes the same step on the way.
enum FrameWork {
    FRAME_DRAW,
    FRAME_STEP,
};

// One frame: demoTime is this frame's clock, previousTime the frame before's (0.0 for the
// first frame). Apart from the closing sequence it neither clears nor sets GL state; each
// effect tests its own window, clears what it needs and sets its own state.
void composeFrame(float demoTime, float previousTime, FrameWork work = FRAME_DRAW);

// The pulse of the last composed frame, 0 to 1, and the beat index it worked towards.
float framePulse();
// The beat pulse's whole state, for a session's history to be kept and put back.
BeatPulse frameBeat();
void setFrameBeat(const BeatPulse& state);
std::int16_t frameBeatIndex();

// Called after the closing sequence and after each of the nine effect draws with the name of
// what was drawn and the frame's clock, when set; empty (the default) calls nothing. The demo
// session checks GL errors here.
using EffectCheck = std::function<void(const char* drawName, float demoTime)>;
void setEffectCheck(EffectCheck check);

// The closing sequence, drawn by composeFrame only when 169 < demoTime < 173: clears, plays
// the logo scene and, after 171.5 s, fades the screen to black.
void drawClosingSequence(float demoTime, Scene& logoScene);
