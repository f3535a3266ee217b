// The GL entry points beyond 1.1 that the player and the tools call, fetched from the driver
// in one place: framebuffer objects (the show's own picture, its blit to the screen) and
// buffer objects (the capture's readback). Each table is fetched the first time it is asked
// for, which needs a current GL context; an entry the driver lacks is null and the table's
// `found` false.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct GlFramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
    bool found = false;   // every entry above is there
};

struct GlBufferCalls {
    PFNGLGENBUFFERSPROC genBuffers = nullptr;
    PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
    PFNGLBINDBUFFERPROC bindBuffer = nullptr;
    PFNGLBUFFERDATAPROC bufferData = nullptr;
    PFNGLMAPBUFFERPROC mapBuffer = nullptr;
    PFNGLUNMAPBUFFERPROC unmapBuffer = nullptr;
    bool found = false;
};

const GlFramebufferCalls& glFramebufferCalls();
const GlBufferCalls& glBufferCalls();
