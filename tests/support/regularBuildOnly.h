// Tests the sanitized build leaves to the regular one, each with its reason beside it: one that
// compares pictures or bytes with a second run whose code other sanitized tests already run, or
// that times what an instrumented program cannot keep to. In the sanitized build the test is
// skipped, saying why; ctest shows it as skipped (but for a run of several cases, as the sound
// server's, whose result is theirs).
#pragma once

#include <gtest/gtest.h>

#ifdef KESU_SANITIZED
#define KESU_REGULAR_BUILD_ONLY(reason) GTEST_SKIP() << "left to the regular build: " << reason
#else
#define KESU_REGULAR_BUILD_ONLY(reason) static_cast<void>(0)
#endif
