#include "tests/support/glFixture.h"

#include <GL/gl.h>

class OffscreenContext : public GlTest {};

TEST_F(OffscreenContext, ClearsAndReadsBackWithDepthAndStencil)
{
    GLint depthBits = 0, stencilBits = 0, alphaBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_GE(depthBits, 16);
    EXPECT_GE(stencilBits, 1);
    EXPECT_GE(alphaBits, 1);
    glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(pixelNear(readPixel(10, 10), {255, 128, 0, 255}));
    EXPECT_NE(renderWindow().glActiveTextureARB, nullptr);
    EXPECT_NE(renderWindow().glMultiTexCoord2fvARB, nullptr);
}
