#include "platform/glContext.h"

#include "fixedgl/fixedGl.h"

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
const WebGlEntry webGlEntries[] = {
    {"glActiveTexture", reinterpret_cast<void*>(emscripten_glActiveTexture)},
    {"glAttachShader", reinterpret_cast<void*>(emscripten_glAttachShader)},
    {"glBindAttribLocation", reinterpret_cast<void*>(emscripten_glBindAttribLocation)},
    {"glBindBuffer", reinterpret_cast<void*>(emscripten_glBindBuffer)},
    {"glBindFramebuffer", reinterpret_cast<void*>(emscripten_glBindFramebuffer)},
    {"glBindRenderbuffer", reinterpret_cast<void*>(emscripten_glBindRenderbuffer)},
    {"glBindTexture", reinterpret_cast<void*>(emscripten_glBindTexture)},
    {"glBindVertexArray", reinterpret_cast<void*>(emscripten_glBindVertexArray)},
    {"glBlendFunc", reinterpret_cast<void*>(emscripten_glBlendFunc)},
    {"glBlitFramebuffer", reinterpret_cast<void*>(emscripten_glBlitFramebuffer)},
    {"glBufferData", reinterpret_cast<void*>(emscripten_glBufferData)},
    {"glBufferSubData", reinterpret_cast<void*>(emscripten_glBufferSubData)},
    {"glCheckFramebufferStatus", reinterpret_cast<void*>(emscripten_glCheckFramebufferStatus)},
    {"glClear", reinterpret_cast<void*>(emscripten_glClear)},
    {"glClearColor", reinterpret_cast<void*>(emscripten_glClearColor)},
    {"glClearDepthf", reinterpret_cast<void*>(emscripten_glClearDepthf)},
    {"glClearStencil", reinterpret_cast<void*>(emscripten_glClearStencil)},
    {"glColorMask", reinterpret_cast<void*>(emscripten_glColorMask)},
    {"glCompileShader", reinterpret_cast<void*>(emscripten_glCompileShader)},
    {"glCreateProgram", reinterpret_cast<void*>(emscripten_glCreateProgram)},
    {"glCreateShader", reinterpret_cast<void*>(emscripten_glCreateShader)},
    {"glCullFace", reinterpret_cast<void*>(emscripten_glCullFace)},
    {"glDeleteBuffers", reinterpret_cast<void*>(emscripten_glDeleteBuffers)},
    {"glDeleteShader", reinterpret_cast<void*>(emscripten_glDeleteShader)},
    {"glDeleteVertexArrays", reinterpret_cast<void*>(emscripten_glDeleteVertexArrays)},
    {"glDepthFunc", reinterpret_cast<void*>(emscripten_glDepthFunc)},
    {"glDepthMask", reinterpret_cast<void*>(emscripten_glDepthMask)},
    {"glDisable", reinterpret_cast<void*>(emscripten_glDisable)},
    {"glDisableVertexAttribArray", reinterpret_cast<void*>(emscripten_glDisableVertexAttribArray)},
    {"glDrawArrays", reinterpret_cast<void*>(emscripten_glDrawArrays)},
    {"glDrawElements", reinterpret_cast<void*>(emscripten_glDrawElements)},
    {"glEnable", reinterpret_cast<void*>(emscripten_glEnable)},
    {"glEnableVertexAttribArray", reinterpret_cast<void*>(emscripten_glEnableVertexAttribArray)},
    {"glFinish", reinterpret_cast<void*>(emscripten_glFinish)},
    {"glFlush", reinterpret_cast<void*>(emscripten_glFlush)},
    {"glFramebufferRenderbuffer", reinterpret_cast<void*>(emscripten_glFramebufferRenderbuffer)},
    {"glGenBuffers", reinterpret_cast<void*>(emscripten_glGenBuffers)},
    {"glGenFramebuffers", reinterpret_cast<void*>(emscripten_glGenFramebuffers)},
    {"glGenRenderbuffers", reinterpret_cast<void*>(emscripten_glGenRenderbuffers)},
    {"glGenTextures", reinterpret_cast<void*>(emscripten_glGenTextures)},
    {"glGenVertexArrays", reinterpret_cast<void*>(emscripten_glGenVertexArrays)},
    {"glGetBufferParameteriv", reinterpret_cast<void*>(emscripten_glGetBufferParameteriv)},
    {"glGetError", reinterpret_cast<void*>(emscripten_glGetError)},
    {"glGetIntegerv", reinterpret_cast<void*>(emscripten_glGetIntegerv)},
    {"glGetProgramInfoLog", reinterpret_cast<void*>(emscripten_glGetProgramInfoLog)},
    {"glGetProgramiv", reinterpret_cast<void*>(emscripten_glGetProgramiv)},
    {"glGetShaderInfoLog", reinterpret_cast<void*>(emscripten_glGetShaderInfoLog)},
    {"glGetShaderiv", reinterpret_cast<void*>(emscripten_glGetShaderiv)},
    {"glGetUniformLocation", reinterpret_cast<void*>(emscripten_glGetUniformLocation)},
    {"glLinkProgram", reinterpret_cast<void*>(emscripten_glLinkProgram)},
    {"glPixelStorei", reinterpret_cast<void*>(emscripten_glPixelStorei)},
    {"glReadPixels", reinterpret_cast<void*>(emscripten_glReadPixels)},
    {"glRenderbufferStorage", reinterpret_cast<void*>(emscripten_glRenderbufferStorage)},
    {"glShaderSource", reinterpret_cast<void*>(emscripten_glShaderSource)},
    {"glStencilFunc", reinterpret_cast<void*>(emscripten_glStencilFunc)},
    {"glStencilOp", reinterpret_cast<void*>(emscripten_glStencilOp)},
    {"glTexImage2D", reinterpret_cast<void*>(emscripten_glTexImage2D)},
    {"glTexParameteri", reinterpret_cast<void*>(emscripten_glTexParameteri)},
    {"glUniform1f", reinterpret_cast<void*>(emscripten_glUniform1f)},
    {"glUniform1i", reinterpret_cast<void*>(emscripten_glUniform1i)},
    {"glUniform2f", reinterpret_cast<void*>(emscripten_glUniform2f)},
    {"glUniform3fv", reinterpret_cast<void*>(emscripten_glUniform3fv)},
    {"glUniform4fv", reinterpret_cast<void*>(emscripten_glUniform4fv)},
    {"glUniformMatrix3fv", reinterpret_cast<void*>(emscripten_glUniformMatrix3fv)},
    {"glUniformMatrix4fv", reinterpret_cast<void*>(emscripten_glUniformMatrix4fv)},
    {"glUseProgram", reinterpret_cast<void*>(emscripten_glUseProgram)},
    {"glVertexAttrib4fv", reinterpret_cast<void*>(emscripten_glVertexAttrib4fv)},
    {"glVertexAttribPointer", reinterpret_cast<void*>(emscripten_glVertexAttribPointer)},
    {"glViewport", reinterpret_cast<void*>(emscripten_glViewport)},
};

void* webGlProc(const char* name)
{
    for (const WebGlEntry& entry : webGlEntries) {
        if (std::strcmp(entry.name, name) == 0) return entry.proc;
    }
    return nullptr;
}

} // namespace

// The canvas's context is asked for with its attributes when it is made (windowWeb.cpp).
bool platformRequestGlContext() { return true; }

bool platformStartGl(int width, int height, std::string& problem)
{
    const char* missing = nullptr;
    if (fixedGlBind(webGlProc, width, height, missing)) return true;
    problem = std::string("the browser's WebGL 2 lacks ") + (missing ? missing : "an entry point");
    return false;
}

void* platformGlProc(const char* name) { return fixedGlProc(name); }
