// The demo's timeline: at start-up, loads the twelve scenes and every texture, adjusts the
// scenes for the way they are shown and hands each effect its scenes, textures and time
// window; then, once per frame, the beat pulse, the closing sequence and the nine effect
// draws in their fixed order. Owns the twelve scenes for the rest of the run. Needs a
// current GL context.
#pragma once

#include "timeline/beatPulse.h"

#include <functional>
#include <string>
#include <vector>

struct LoadError;
struct RenderWindow;
struct Scene;

// The loading in steps, so that a caller can hand back between them, in the order the show
// needs its pieces: part by part, each scene read, its maps decoded, each picture decoded, the
// part's effects set up, and its scenes' meshes recorded, a material's maps or a part of a
// mesh a step. Once a part's stage is done the show can be drawn and stepped up to the next
// stage's start.
struct DemoLoad {
    int stage = 0;   // the stage being loaded; past the last once everything is
    int task = 0;    // the next task within the stage
    int node = 0;    // within a scene's maps, the next material; within its recording, the next node
    int steps = 0;   // steps taken
};

// Takes the next step from the data folder ("data/" under the working directory, or the
// installed pack's folder; it ends with the separator). False with the reason when a file
// fails to load, or a scene lacks a node or light an effect attaches to, so that no demo is
// ever drawn with missing pieces; the loading then goes no further.
bool loadDemoStep(DemoLoad& load, RenderWindow& renderWindow, const std::string& folder, LoadError& error);
bool demoLoadDone(const DemoLoad& load);
// The clock below which every frame can be drawn and stepped with what is loaded: the start of
// the first part not loaded yet; past demoLength once everything is.
float demoLoadedUntil(const DemoLoad& load);
// The start of the part whose stage was done last; negative before the first.
float demoLoadStagedFrom(const DemoLoad& load);

// The pack's files a stage of the loading reads, and the clock from which the show needs them.
struct DemoLoadFiles {
    float neededFrom = 0.0f;
    std::vector<std::string> names;   // in the order they are read; a scene's maps as it names them
};
// The files of every stage in order; the scenes are read from folder for the maps they name.
// False with the error when a scene cannot be read.
bool demoLoadOrder(const std::string& folder, std::vector<DemoLoadFiles>& order, LoadError& error);

// The GL state every effect relies on unless it changes it: smooth shading, black clear
// colour, depth test with GL_LEQUAL, a local viewer for lighting, perspective-correct
// interpolation and sphere-map coordinate generation configured (not enabled) for S and T.
// Set once after loading, before the first frame.
void setDemoRunState();

// Scene 0 .. 11 in the order of the scene table; valid once its stage of the loading is done.
Scene& demoScene(int index);

// One frame: demoTime is this frame's clock, previousTime the frame before's (0.0 for the
// first frame). Apart from the closing sequence it neither clears nor sets GL state; each
// effect tests its own window, clears what it needs and sets its own state. On the way it
// takes every step of what the frame carries into the next (showHistory.h).
void composeFrame(float demoTime, float previousTime);

// The beat pulse of the frames composed: the pulse of the last one, 0 to 1, and the beat
// index it worked towards.
BeatPulse& frameBeat();

// Called after the closing sequence and after each of the nine effect draws with the name of
// what was drawn and the frame's clock, when set; empty (the default) calls nothing. The demo
// session checks GL errors here.
using EffectCheck = std::function<void(const char* drawName, float demoTime)>;
void setEffectCheck(EffectCheck check);

// The closing sequence, drawn by composeFrame only when 169 < demoTime < 173: clears, plays
// the logo scene and, after 171.5 s, fades the screen to black.
void drawClosingSequence(float demoTime, Scene& logoScene);
