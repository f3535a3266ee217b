// The build's data pack loaded once per test program through the demo session's start-up,
// in the pack's folder as the player runs, on the shared offscreen context.
#pragma once

#include "tests/support/glFixture.h"
#include "timeline/demoSession.h"

#include <array>
#include <vector>

class DemoPackTest : public GlTest {
protected:
    void SetUp() override;

    // The session the pack was loaded into.
    static DemoSession& session();

    // A few probe pixels spread over the 64 x 64 viewport.
    static std::vector<std::array<int, 4>> probes();
};
