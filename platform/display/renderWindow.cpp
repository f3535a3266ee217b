#include "platform/display/renderWindow.h"

#include "platform/display/glContext.h"
#include "platform/display/glExtensions.h"

#include <GL/gl.h>

void startRenderWindow(RenderWindow& renderWindow, int width, int height, std::uint8_t colourBits,
                       int drawableWidth, int drawableHeight)
{
    const GlCalls& gl = glCalls();
    renderWindow.glActiveTextureARB = reinterpret_cast<ActiveTextureProc>(gl.activeTextureARB);
    renderWindow.glMultiTexCoord2fvARB = reinterpret_cast<MultiTexCoord2fvProc>(gl.multiTexCoord2fvARB);
    renderWindow.wglSwapIntervalEXT = platformSetSwapInterval;
    renderWindow.pendingImage = TextureImage{};
    renderWindow.currentImage = &renderWindow.pendingImage;
    renderWindow.width = width;
    renderWindow.height = height;
    renderWindow.colourBits = colourBits;
    glViewport(0, 0, drawableWidth, drawableHeight);
}
