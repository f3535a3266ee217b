// The GL test fixture: a real Mesa context on the offscreen video driver, current for the
// whole test program, with a RenderWindow that holds its entry points and a fixed viewport.
// A missing context fails the test with the reason; it never passes silently.
#pragma once

#include "platform/display/renderWindow.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>

class GlTest : public ::testing::Test {
public:
    static constexpr int viewportWidth = 64;
    static constexpr int viewportHeight = 64;

protected:
    void SetUp() override;
    void TearDown() override;

    // The one RenderWindow of the test program, holding the context's entry points.
    static RenderWindow& renderWindow();

    // RGBA of the pixel at (x, y), y counted from the bottom row as GL does.
    static std::array<int, 4> readPixel(int x, int y);

    // A window coordinate of the viewport back to normalised device coordinates.
    static float ndc(float window) { return window / (viewportWidth / 2.0f) - 1.0f; }
};

// Creates the context on first use; later calls return it. Fails with the reason.
bool ensureGlContext(std::string& error);

// Leaves no context current, for code that must run without GL; then makes it current again.
void releaseGlContext();
void restoreGlContext();

// Expects each channel within tolerance of the expected RGBA.
::testing::AssertionResult pixelNear(const std::array<int, 4>& actual, const std::array<int, 4>& expected,
                                     int tolerance = 2);
