// The GL entry points beyond 1.1 that the player and the tools call, fetched in one place from
// the list of them (fixedgl/glCalls.h): framebuffer objects (the show's own picture, its blit
// to the screen), buffer objects (the capture's readback) and multitexture. The table is fetched
// the first time it is asked for, which needs a current GL context; an entry the GL lacks is
// null, and the flag of what it serves false.
#pragma once

#include "fixedgl/glCalls.h"

struct GlCalls {
    KESU_GL_PROGRAM_CALLS(KESU_GL_FIELD)
    bool framebuffers = false;   // every framebuffer-object entry is there
    bool buffers = false;        // every buffer-object entry is there, mapping included
};

const GlCalls& glCalls();
