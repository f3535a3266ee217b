// The fixed-function GL layer: GL 1.1 as the drawing code calls it (immediate mode, display
// lists, matrix stacks, per-vertex lighting and fog, sphere-map texture generation, two
// texture units), drawn through OpenGL ES 3.0 or WebGL 2. It defines the GL 1.1, GLU and
// multitexture entry points the show calls, so a program links it instead of the system's GL;
// it includes nothing of the program's and reaches the driver only through the entry points
// the platform hands it.
#pragma once

// The driver's entry point of that name; null when it has none.
using FixedGlLookup = void* (*)(const char* name);

// With an OpenGL ES 3 context current whose drawable is width x height: fetches the driver's
// entry points through lookup and starts the layer in GL's initial state. False, with the
// name of an entry point the driver lacks, when it cannot.
bool fixedGlBind(FixedGlLookup lookup, int width, int height, const char*& missing);

// The layer's own entry point of that name, for the calls a program fetches by name (the
// program's calls of glCalls.h: framebuffer and buffer objects, multitexture); null for any
// other.
void* fixedGlProc(const char* name);
