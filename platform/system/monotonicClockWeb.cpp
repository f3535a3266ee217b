#include "platform/system/monotonicClock.h"

#include <emscripten.h>

// The page's performance clock, the one Web Audio's output timestamps are in.
double platformMonotonicSeconds() { return emscripten_get_now() / 1000.0; }
