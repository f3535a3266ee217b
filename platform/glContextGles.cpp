#include "platform/glContext.h"

#include "fixedgl/fixedGl.h"

#include <SDL.h>

namespace {

void* driverProc(const char* name) { return SDL_GL_GetProcAddress(name); }

} // namespace

bool platformRequestGlContext()
{
    bool ok = SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0) == 0;
    return ok;
}

bool platformStartGl(int width, int height, std::string& problem)
{
    const char* missing = nullptr;
    if (fixedGlBind(driverProc, width, height, missing)) return true;
    problem = std::string("the OpenGL ES driver lacks ") + (missing ? missing : "an entry point");
    return false;
}

void* platformGlProc(const char* name) { return fixedGlProc(name); }
