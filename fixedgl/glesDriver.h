// The OpenGL ES 3.0 entry points the layer draws with, fetched by name from what the platform
// hands over: the layer defines glEnable and its kin itself, so the driver's own are reached
// only through this table, made from the list in glCalls.h.
#pragma once

#include "fixedgl/glCalls.h"

struct GlesDriver {
    KESU_GL_DRIVER_CALLS(KESU_GL_FIELD)
};

// The table the layer draws with; filled by fetchGlesDriver.
extern GlesDriver gles;

// Fills the table through lookup; false with the name of the first entry point it lacks.
// Buffer mapping, which WebGL 2 does not have, may be missing: its entries stay null.
bool fetchGlesDriver(void* (*lookup)(const char* name), const char*& missing);
