// How geometry reaches the driver. The immediate path sends every vertex with its own calls
// each time, as the drawing routines are written; the fast path (the default) replays
// recordings of unchanged meshes and sends each emitter's particles and each grid in one
// block. Both paths set the same state in the same order and give the same pictures; the
// immediate path stays as the reference the fast one is tested against.
#pragma once

enum DrawPath {
    DRAW_PATH_FAST,
    DRAW_PATH_IMMEDIATE,
};

void setDrawPath(DrawPath path);
DrawPath drawPath();
