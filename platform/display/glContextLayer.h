// The GL of the programs that draw through the fixed-function layer (fixedgl/): the layer
// defines GL 1.1 and answers for the calls fetched by name, and reaches the driver, OpenGL ES 3
// or WebGL 2, through the one lookup each of those platforms gives here.
#pragma once

#include "platform/display/glContext.h"

// The driver's entry point of that name; null when it has none.
void* layerDriverProc(const char* name);
// The driver as a message names it.
extern const char* const layerDriverName;
