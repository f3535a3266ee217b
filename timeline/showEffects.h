// The show's effects in one table (showEffects.cpp), in the order a frame takes them: the beat
// first, the particles' random sequence, then the closing sequence and the nine effect draws
// in their fixed order. Each row has its window from the schedule, how a frame draws it, how
// the show steps it without drawing, and what of it a frame carries into the next (taken into
// a snapshot and put back). Composing a frame and stepping the show both walk it, so the order
// their work depends on (the emitters draw from one random sequence, in the order of the
// draws) is written here alone. Not the parts a viewer jumps between: those are showParts.
#pragma once

#include <any>
#include <cstddef>

struct EffectWindow;

struct ShowEffect {
    const char* drawName;          // the draw as the GL check names it; null for a row that draws nothing
    const EffectWindow* window;    // null: every frame
    // What a composed frame does for the row; null: nothing.
    void (*draw)(const ShowEffect& effect, float demoTime, float previousTime);
    // What a frame stepped without drawing does for it; null: nothing.
    void (*step)(const ShowEffect& effect, float demoTime, float previousTime);
    // The row's carried value into a snapshot's slot (reusing the buffers it holds) and back,
    // and the bytes it holds; null: it carries nothing.
    void (*take)(std::any& value);
    void (*putBack)(const std::any& value);
    std::size_t (*bytes)(const std::any& value);
};

constexpr int showEffectCount = 12;
extern const ShowEffect showEffects[showEffectCount];
