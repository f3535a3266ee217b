#include "platform/glExtensions.h"

#include "platform/glContext.h"
#include "platform/window.h"

const GlFramebufferCalls& glFramebufferCalls()
{
    static const GlFramebufferCalls calls = [] {
        GlFramebufferCalls c;
        c.genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(platformGlProc("glGenFramebuffers"));
        c.bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(platformGlProc("glBindFramebuffer"));
        c.genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(platformGlProc("glGenRenderbuffers"));
        c.bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(platformGlProc("glBindRenderbuffer"));
        c.renderbufferStorage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(platformGlProc("glRenderbufferStorage"));
        c.framebufferRenderbuffer = reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(platformGlProc("glFramebufferRenderbuffer"));
        c.checkFramebufferStatus = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(platformGlProc("glCheckFramebufferStatus"));
        c.blitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(platformGlProc("glBlitFramebuffer"));
        c.found = c.genFramebuffers && c.bindFramebuffer && c.genRenderbuffers && c.bindRenderbuffer &&
                  c.renderbufferStorage && c.framebufferRenderbuffer && c.checkFramebufferStatus && c.blitFramebuffer;
        return c;
    }();
    return calls;
}

const GlBufferCalls& glBufferCalls()
{
    static const GlBufferCalls calls = [] {
        GlBufferCalls c;
        c.genBuffers = reinterpret_cast<PFNGLGENBUFFERSPROC>(platformGlProc("glGenBuffers"));
        c.deleteBuffers = reinterpret_cast<PFNGLDELETEBUFFERSPROC>(platformGlProc("glDeleteBuffers"));
        c.bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(platformGlProc("glBindBuffer"));
        c.bufferData = reinterpret_cast<PFNGLBUFFERDATAPROC>(platformGlProc("glBufferData"));
        c.mapBuffer = reinterpret_cast<PFNGLMAPBUFFERPROC>(platformGlProc("glMapBuffer"));
        c.unmapBuffer = reinterpret_cast<PFNGLUNMAPBUFFERPROC>(platformGlProc("glUnmapBuffer"));
        c.found = c.genBuffers && c.deleteBuffers && c.bindBuffer && c.bufferData && c.mapBuffer && c.unmapBuffer;
        return c;
    }();
    return calls;
}
