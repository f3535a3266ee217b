// Who calls a program's step: its own loop on the desktop, the browser's animation frames in a
// web page. A run is handed over as a step to call until it says the run is over, what it
// wants between steps, and what ends it.
#pragma once

struct FrameLoop {
    // One step of the run; false once it is over.
    bool (*step)(void* run) = nullptr;
    // True when the run has nothing to draw until an event comes (paused): a loop of the
    // program's own waits a while for one.
    bool (*waiting)(void* run) = nullptr;
    // Work that can wait until the step's frame went out (null: none): after each step, in a
    // browser in a task of its own once the animation frame is done.
    void (*between)(void* run) = nullptr;
    // Ends the run and gives the process's exit status.
    int (*finish)(void* run) = nullptr;
    void* run = nullptr;
};

// Runs the loop. On the desktop it returns finish's status once the run is over; in a browser
// it returns 0 at once, the browser calling the step once per animation frame, and finish
// follows when the run is over.
int platformRunFrames(const FrameLoop& loop);
