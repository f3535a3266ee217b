#include "platform/display/frameLoop.h"

#include "platform/display/window.h"

int platformRunFrames(const FrameLoop& loop)
{
    while (loop.step(loop.run)) {
        if (loop.between) loop.between(loop.run);
        // Paused: the event queue is looked at again after a twentieth of a second at most.
        if (loop.waiting(loop.run)) platformWaitForEvent(50);
    }
    return loop.finish(loop.run);
}
