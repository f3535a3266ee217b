#include "tools/capture/frameReadback.h"

#include "platform/display/glExtensions.h"

#include <GL/gl.h>

#include <cstring>

namespace {

std::size_t frameBytes(const FrameReadback& readback)
{
    return static_cast<std::size_t>(readback.width) * static_cast<std::size_t>(readback.height) * 4;
}

// Copies the frame held by buffer index into pixels.
bool takeBuffer(FrameReadback& readback, int index, std::vector<std::uint8_t>& pixels)
{
    const GlCalls& procs = glCalls();
    procs.bindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[index]);
    const void* mapped = procs.mapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (mapped) std::memcpy(pixels.data(), mapped, frameBytes(readback));
    procs.unmapBuffer(GL_PIXEL_PACK_BUFFER);
    procs.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return mapped != nullptr;
}

} // namespace

void startReadback(FrameReadback& readback, int width, int height)
{
    readback = FrameReadback{};
    readback.width = width;
    readback.height = height;
    // Buffer objects are OpenGL 1.5; without them each frame is read directly.
    const GlCalls& procs = glCalls();
    if (!procs.buffers) return;
    procs.genBuffers(2, readback.buffers);
    for (unsigned int buffer : readback.buffers) {
        procs.bindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        procs.bufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(frameBytes(readback)), nullptr, GL_STREAM_READ);
    }
    procs.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

bool readbackFrame(FrameReadback& readback, std::vector<std::uint8_t>& pixels)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (readback.buffers[0] == 0) {
        glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return true;
    }
    // The read is queued behind the frame's drawing; the copy of the frame before waits only
    // for that frame, which the rasteriser has had the whole of this frame's building to fill.
    const GlCalls& procs = glCalls();
    procs.bindBuffer(GL_PIXEL_PACK_BUFFER, readback.buffers[readback.next]);
    glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    procs.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glFlush();
    const int other = 1 - readback.next;
    const bool handed = readback.waiting && takeBuffer(readback, other, pixels);
    readback.waiting = true;
    readback.next = other;
    return handed;
}

bool finishReadback(FrameReadback& readback, std::vector<std::uint8_t>& pixels)
{
    if (readback.buffers[0] == 0 || !readback.waiting) return false;
    readback.waiting = false;
    return takeBuffer(readback, 1 - readback.next, pixels);
}

void stopReadback(FrameReadback& readback)
{
    if (readback.buffers[0] != 0) glCalls().deleteBuffers(2, readback.buffers);
    readback = FrameReadback{};
}
