#include "host/showSurface.h"

#include "platform/display/glExtensions.h"
#include "platform/display/window.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

bool makePicture(ShowSurface& surface, int width, int height)
{
    const GlCalls& gl = glCalls();
    if (!gl.framebuffers) return false;
    surface.width = width;
    surface.height = height;
    if (!surface.framebuffer) {
        GLuint names[2] = {};
        gl.genFramebuffers(1, names);
        surface.framebuffer = names[0];
        gl.genRenderbuffers(2, names);
        surface.colour = names[0];
        surface.depthStencil = names[1];
    }
    gl.bindRenderbuffer(GL_RENDERBUFFER, surface.colour);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl.bindRenderbuffer(GL_RENDERBUFFER, surface.depthStencil);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    gl.bindFramebuffer(GL_FRAMEBUFFER, surface.framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, surface.colour);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, surface.depthStencil);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, surface.depthStencil);
    const bool complete = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

// Copies the show's picture (colour, depth and stencil) from one framebuffer to the other,
// both the show's size.
void copyPicture(const ShowSurface& surface, GLuint from, GLuint to)
{
    const GlCalls& gl = glCalls();
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, from);
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    gl.blitFramebuffer(0, 0, surface.width, surface.height, 0, 0, surface.width, surface.height,
                       GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, GL_NEAREST);
}

} // namespace

bool drawShowOffscreen(ShowSurface& surface, int showWidth, int showHeight)
{
    if (surface.offscreen || !makePicture(surface, showWidth, showHeight)) return surface.offscreen;
    copyPicture(surface, 0, surface.framebuffer);
    glCalls().bindFramebuffer(GL_FRAMEBUFFER, surface.framebuffer);
    // The viewport a window of the show's size starts with, which the show never sets: a
    // canvas may have had another size when its context was made.
    glViewport(0, 0, showWidth, showHeight);
    surface.offscreen = true;
    return true;
}

bool toggleFullScreen(ShowSurface& surface, PlatformWindow* window, int showWidth, int showHeight)
{
    const bool toFullScreen = !platformIsFullscreen(window);
    // The first time, the window is the show's size: its picture goes off screen before the
    // window grows, and the show draws there from then on. Back in a window it goes on drawing
    // off screen: the window system shrinks the window some time after the switch, and its
    // back buffer, made again at the new size, would lose the picture the show keeps.
    if (toFullScreen) drawShowOffscreen(surface, showWidth, showHeight);
    return platformSetFullscreen(window, toFullScreen);
}

ShowArea showArea(const ShowSurface& surface, int drawableWidth, int drawableHeight, int showWidth, int showHeight)
{
    ShowArea area;
    if (!surface.offscreen) {
        area.width = showWidth;
        area.height = showHeight;
        return area;
    }
    // The largest picture of the show's aspect that fits, in the middle.
    const double scale = std::min(static_cast<double>(drawableWidth) / surface.width,
                                  static_cast<double>(drawableHeight) / surface.height);
    area.width = static_cast<int>(surface.width * scale);
    area.height = static_cast<int>(surface.height * scale);
    area.x = (drawableWidth - area.width) / 2;
    area.y = (drawableHeight - area.height) / 2;
    return area;
}

void presentShow(ShowSurface& surface, PlatformWindow* window)
{
    if (!surface.offscreen) {
        platformSwapBuffers(window);
        return;
    }
    const GlCalls& gl = glCalls();
    int screenWidth = 0, screenHeight = 0;
    platformDrawableSize(window, screenWidth, screenHeight);
    const ShowArea area = showArea(surface, screenWidth, screenHeight, surface.width, surface.height);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, surface.framebuffer);
    gl.blitFramebuffer(0, 0, surface.width, surface.height, area.x, area.y, area.x + area.width, area.y + area.height,
                       GL_COLOR_BUFFER_BIT, GL_LINEAR);
    platformSwapBuffers(window);
    gl.bindFramebuffer(GL_FRAMEBUFFER, surface.framebuffer);
}

void readShowPicture(const ShowSurface& surface, int width, int height, std::uint8_t* pixels)
{
    const GlCalls& gl = glCalls();
    if (gl.framebuffers) gl.bindFramebuffer(GL_READ_FRAMEBUFFER, surface.offscreen ? surface.framebuffer : 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}
