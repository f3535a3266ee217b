#include "platform/display/frameLoop.h"

#include "platform/display/webPage.h"

#include <emscripten.h>
#include <emscripten/html5.h>

namespace {

FrameLoop running;

// A call queued before the run ended finds it gone.
void between(void*)
{
    if (running.run) running.between(running.run);
}

EM_BOOL animationFrame(double, void*)
{
    if (running.step(running.run)) {
        // After the browser has sent the frame on, so that the work does not hold it back.
        if (running.between) emscripten_async_call(between, nullptr, 0);
        return EM_TRUE;
    }
    const int status = running.finish(running.run);
    running.run = nullptr;
    webPageRunEnded(status);
    return EM_FALSE;
}

} // namespace

int platformRunFrames(const FrameLoop& loop)
{
    running = loop;
    emscripten_request_animation_frame_loop(animationFrame, nullptr);
    return 0;
}
