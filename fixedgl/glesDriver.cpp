#include "fixedgl/glesDriver.h"

GlesDriver gles;

bool fetchGlesDriver(void* (*lookup)(const char* name), const char*& missing)
{
    // Each entry's address taken as a plain pointer to fill, by the name the driver gives it.
    struct Entry {
        const char* name;
        void** slot;
        bool optional = false;   // only for glMapBuffer, which WebGL does not have
    };
    const Entry entries[] = {
        {"glEnable", reinterpret_cast<void**>(&gles.enable)},
        {"glDisable", reinterpret_cast<void**>(&gles.disable)},
        {"glBlendFunc", reinterpret_cast<void**>(&gles.blendFunc)},
        {"glDepthFunc", reinterpret_cast<void**>(&gles.depthFunc)},
        {"glDepthMask", reinterpret_cast<void**>(&gles.depthMask)},
        {"glColorMask", reinterpret_cast<void**>(&gles.colorMask)},
        {"glCullFace", reinterpret_cast<void**>(&gles.cullFace)},
        {"glStencilFunc", reinterpret_cast<void**>(&gles.stencilFunc)},
        {"glStencilOp", reinterpret_cast<void**>(&gles.stencilOp)},
        {"glClear", reinterpret_cast<void**>(&gles.clear)},
        {"glClearColor", reinterpret_cast<void**>(&gles.clearColor)},
        {"glClearDepthf", reinterpret_cast<void**>(&gles.clearDepthf)},
        {"glClearStencil", reinterpret_cast<void**>(&gles.clearStencil)},
        {"glViewport", reinterpret_cast<void**>(&gles.viewport)},
        {"glFinish", reinterpret_cast<void**>(&gles.finish)},
        {"glFlush", reinterpret_cast<void**>(&gles.flush)},
        {"glGetError", reinterpret_cast<void**>(&gles.getError)},
        {"glGetIntegerv", reinterpret_cast<void**>(&gles.getIntegerv)},
        {"glPixelStorei", reinterpret_cast<void**>(&gles.pixelStorei)},
        {"glReadPixels", reinterpret_cast<void**>(&gles.readPixels)},
        {"glGenTextures", reinterpret_cast<void**>(&gles.genTextures)},
        {"glBindTexture", reinterpret_cast<void**>(&gles.bindTexture)},
        {"glTexParameteri", reinterpret_cast<void**>(&gles.texParameteri)},
        {"glTexImage2D", reinterpret_cast<void**>(&gles.texImage2D)},
        {"glActiveTexture", reinterpret_cast<void**>(&gles.activeTexture)},
        {"glCreateShader", reinterpret_cast<void**>(&gles.createShader)},
        {"glShaderSource", reinterpret_cast<void**>(&gles.shaderSource)},
        {"glCompileShader", reinterpret_cast<void**>(&gles.compileShader)},
        {"glGetShaderiv", reinterpret_cast<void**>(&gles.getShaderiv)},
        {"glGetShaderInfoLog", reinterpret_cast<void**>(&gles.getShaderInfoLog)},
        {"glDeleteShader", reinterpret_cast<void**>(&gles.deleteShader)},
        {"glCreateProgram", reinterpret_cast<void**>(&gles.createProgram)},
        {"glAttachShader", reinterpret_cast<void**>(&gles.attachShader)},
        {"glBindAttribLocation", reinterpret_cast<void**>(&gles.bindAttribLocation)},
        {"glLinkProgram", reinterpret_cast<void**>(&gles.linkProgram)},
        {"glGetProgramiv", reinterpret_cast<void**>(&gles.getProgramiv)},
        {"glGetProgramInfoLog", reinterpret_cast<void**>(&gles.getProgramInfoLog)},
        {"glUseProgram", reinterpret_cast<void**>(&gles.useProgram)},
        {"glGetUniformLocation", reinterpret_cast<void**>(&gles.getUniformLocation)},
        {"glUniform1i", reinterpret_cast<void**>(&gles.uniform1i)},
        {"glUniform1f", reinterpret_cast<void**>(&gles.uniform1f)},
        {"glUniform2f", reinterpret_cast<void**>(&gles.uniform2f)},
        {"glUniform3fv", reinterpret_cast<void**>(&gles.uniform3fv)},
        {"glUniform4fv", reinterpret_cast<void**>(&gles.uniform4fv)},
        {"glUniformMatrix3fv", reinterpret_cast<void**>(&gles.uniformMatrix3fv)},
        {"glUniformMatrix4fv", reinterpret_cast<void**>(&gles.uniformMatrix4fv)},
        {"glGenBuffers", reinterpret_cast<void**>(&gles.genBuffers)},
        {"glDeleteBuffers", reinterpret_cast<void**>(&gles.deleteBuffers)},
        {"glBindBuffer", reinterpret_cast<void**>(&gles.bindBuffer)},
        {"glBufferData", reinterpret_cast<void**>(&gles.bufferData)},
        {"glBufferSubData", reinterpret_cast<void**>(&gles.bufferSubData)},
        {"glGetBufferParameteriv", reinterpret_cast<void**>(&gles.getBufferParameteriv)},
        {"glMapBufferRange", reinterpret_cast<void**>(&gles.mapBufferRange), true},
        {"glUnmapBuffer", reinterpret_cast<void**>(&gles.unmapBuffer), true},
        {"glGenVertexArrays", reinterpret_cast<void**>(&gles.genVertexArrays)},
        {"glDeleteVertexArrays", reinterpret_cast<void**>(&gles.deleteVertexArrays)},
        {"glBindVertexArray", reinterpret_cast<void**>(&gles.bindVertexArray)},
        {"glVertexAttribPointer", reinterpret_cast<void**>(&gles.vertexAttribPointer)},
        {"glEnableVertexAttribArray", reinterpret_cast<void**>(&gles.enableVertexAttribArray)},
        {"glDisableVertexAttribArray", reinterpret_cast<void**>(&gles.disableVertexAttribArray)},
        {"glVertexAttrib4fv", reinterpret_cast<void**>(&gles.vertexAttrib4fv)},
        {"glDrawArrays", reinterpret_cast<void**>(&gles.drawArrays)},
        {"glDrawElements", reinterpret_cast<void**>(&gles.drawElements)},
    };
    for (const Entry& entry : entries) {
        *entry.slot = lookup(entry.name);
        if (!*entry.slot && !entry.optional) {
            missing = entry.name;
            return false;
        }
    }
    return true;
}
