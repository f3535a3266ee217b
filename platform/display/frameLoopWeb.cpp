#include "platform/display/frameLoop.h"

#include "platform/display/webPage.h"

#include <emscripten/html5.h>

namespace {

FrameLoop running;

EM_BOOL animationFrame(double, void*)
{
    if (running.step(running.run)) return EM_TRUE;
    webPageRunEnded(running.finish(running.run));
    return EM_FALSE;
}

} // namespace

int platformRunFrames(const FrameLoop& loop)
{
    running = loop;
    emscripten_request_animation_frame_loop(animationFrame, nullptr);
    return 0;
}
