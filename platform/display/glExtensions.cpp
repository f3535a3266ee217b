#include "platform/display/glExtensions.h"

#include "platform/display/glContext.h"

const GlCalls& glCalls()
{
    static const GlCalls calls = [] {
        GlCalls c;
        bool found[GL_CALLS_MULTITEXTURE + 1] = {true, true, true, true};
#define KESU_GL_FETCH(field, Name, Return, Parameters, group)                         \
        c.field = reinterpret_cast<decltype(c.field)>(platformGlProc("gl" #Name)); \
        found[group] = found[group] && c.field != nullptr;
        KESU_GL_PROGRAM_CALLS(KESU_GL_FETCH)
#undef KESU_GL_FETCH
        c.framebuffers = found[GL_CALLS_FRAMEBUFFER];
        c.buffers = found[GL_CALLS_BUFFER];
        return c;
    }();
    return calls;
}
