#include "platform/display/glContext.h"

#include <SDL.h>

bool platformRequestGlContext()
{
    bool ok = SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1) == 0;
    return ok;
}

bool platformStartGl(int, int, std::string&) { return true; }

void* platformGlProc(const char* name) { return SDL_GL_GetProcAddress(name); }
