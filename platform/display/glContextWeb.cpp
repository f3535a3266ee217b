#include "platform/display/glContextLayer.h"

#include "fixedgl/glCalls.h"

#include <emscripten/html5.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstring>

namespace {

// WebGL 2's calls by their OpenGL ES names. The layer defines glEnable and the rest of GL 1.1
// itself, so the browser's own are reached under the names emscripten gives every one of them.
struct WebGlEntry {
    const char* name;
    void* proc;
};
#define KESU_WEBGL_ENTRY(field, Name, Return, Parameters, group) {"gl" #Name, reinterpret_cast<void*>(emscripten_gl##Name)},
const WebGlEntry webGlEntries[] = {KESU_GL_WEBGL_CALLS(KESU_WEBGL_ENTRY)};
#undef KESU_WEBGL_ENTRY

} // namespace

// The canvas's context is asked for with its attributes when it is made (windowWeb.cpp).
bool platformRequestGlContext() { return true; }

void* layerDriverProc(const char* name)
{
    for (const WebGlEntry& entry : webGlEntries) {
        if (std::strcmp(entry.name, name) == 0) return entry.proc;
    }
    return nullptr;
}

const char* const layerDriverName = "the browser's WebGL 2";
