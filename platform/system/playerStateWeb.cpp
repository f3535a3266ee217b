// The player's state for the page's own controls (platform/web/page.js, KesuPage.playerState):
// passed on when what they show changes, the show's parts once.
#include "platform/system/playerState.h"

#include <emscripten.h>

namespace {

EM_JS(void, webPlayerParts, (const char* names, const double* starts, int count), {
    if (typeof KesuPage === "undefined") return;
    const parts = [];
    const list = UTF8ToString(names).split("\n");
    for (let k = 0; k < count; ++k) parts.push({ name: list[k], start: HEAPF64[(starts >> 3) + k] });
    KesuPage.playerParts(parts);
});

EM_JS(void, webPlayerState, (double seconds, double length, int paused, int looping, int volume, int muted,
                             const char* timeText, int part, int moves, int waiting), {
    if (typeof KesuPage === "undefined") return;
    KesuPage.playerState({ seconds, length, paused: paused !== 0, looping: looping !== 0, volume, muted: muted !== 0,
                           timeText: UTF8ToString(timeText), part, moves, waiting: waiting !== 0 });
});

std::string (*formatTime)(double seconds) = nullptr;

} // namespace

// Any time as the player writes it, for the page's time bar while a finger drags along it;
// the string lives until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kesuTimeText(double seconds)
{
    static std::string text;
    text = formatTime ? formatTime(seconds) : std::string();
    return text.c_str();
}

void platformPublishPlayerState(const PlatformPlayerState& state)
{
    formatTime = state.formatTime;
    static const PlatformPart* partsGiven = nullptr;
    static PlatformPlayerState last;
    static bool published = false;
    if (state.parts != partsGiven) {
        partsGiven = state.parts;
        std::string names;
        double starts[64] = {};
        const int count = state.partCount < 64 ? state.partCount : 64;
        for (int k = 0; k < count; ++k) {
            names += std::string(state.parts[k].name) + "\n";
            starts[k] = state.parts[k].start;
        }
        webPlayerParts(names.c_str(), starts, count);
    }
    if (published && state.timeText == last.timeText && state.paused == last.paused && state.looping == last.looping &&
        state.volume == last.volume && state.muted == last.muted && state.part == last.part && state.moves == last.moves &&
        state.waiting == last.waiting)
        return;
    published = true;
    last = state;
    webPlayerState(state.seconds, state.length, state.paused ? 1 : 0, state.looping ? 1 : 0, state.volume,
                   state.muted ? 1 : 0, state.timeText.c_str(), state.part, state.moves, state.waiting ? 1 : 0);
}
