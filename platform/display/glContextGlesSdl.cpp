#include "platform/display/glContextLayer.h"

#include <SDL.h>

bool platformRequestGlContext()
{
    bool ok = SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0) == 0;
    return ok;
}

void* layerDriverProc(const char* name) { return SDL_GL_GetProcAddress(name); }

const char* const layerDriverName = "the OpenGL ES driver";
