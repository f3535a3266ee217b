// The GL a program draws with, chosen when it is linked: the system's GL 1.1 (a compatibility
// context, libGL and libGLU), or OpenGL ES 3 with the project's fixed-function layer defining
// GL 1.1 over it (fixedgl/). One file per kind defines these, and a program links one of them.
#pragma once

#include <string>

// Asks the window library for this kind's context; before the window is created.
bool platformRequestGlContext();

// With the context just created and current on a drawable of width x height: what this kind
// needs before the first GL call. False with the reason.
bool platformStartGl(int width, int height, std::string& problem);

// The entry point of that name: the system's, or for the layer its own where it defines one.
void* platformGlProc(const char* name);
