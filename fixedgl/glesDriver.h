// The OpenGL ES 3.0 entry points the layer draws with, fetched by name from what the platform
// hands over: the layer defines glEnable and its kin itself, so the driver's own are reached
// only through this table.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct GlesDriver {
    void (*enable)(GLenum) = nullptr;
    void (*disable)(GLenum) = nullptr;
    void (*blendFunc)(GLenum, GLenum) = nullptr;
    void (*depthFunc)(GLenum) = nullptr;
    void (*depthMask)(GLboolean) = nullptr;
    void (*colorMask)(GLboolean, GLboolean, GLboolean, GLboolean) = nullptr;
    void (*cullFace)(GLenum) = nullptr;
    void (*stencilFunc)(GLenum, GLint, GLuint) = nullptr;
    void (*stencilOp)(GLenum, GLenum, GLenum) = nullptr;
    void (*clear)(GLbitfield) = nullptr;
    void (*clearColor)(GLfloat, GLfloat, GLfloat, GLfloat) = nullptr;
    void (*clearDepthf)(GLfloat) = nullptr;
    void (*clearStencil)(GLint) = nullptr;
    void (*viewport)(GLint, GLint, GLsizei, GLsizei) = nullptr;
    void (*finish)() = nullptr;
    void (*flush)() = nullptr;
    GLenum (*getError)() = nullptr;
    void (*getIntegerv)(GLenum, GLint*) = nullptr;
    void (*pixelStorei)(GLenum, GLint) = nullptr;
    void (*readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = nullptr;
    void (*genTextures)(GLsizei, GLuint*) = nullptr;
    void (*bindTexture)(GLenum, GLuint) = nullptr;
    void (*texParameteri)(GLenum, GLenum, GLint) = nullptr;
    void (*texImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) = nullptr;
    void (*activeTexture)(GLenum) = nullptr;
    GLuint (*createShader)(GLenum) = nullptr;
    void (*shaderSource)(GLuint, GLsizei, const GLchar* const*, const GLint*) = nullptr;
    void (*compileShader)(GLuint) = nullptr;
    void (*getShaderiv)(GLuint, GLenum, GLint*) = nullptr;
    void (*getShaderInfoLog)(GLuint, GLsizei, GLsizei*, GLchar*) = nullptr;
    void (*deleteShader)(GLuint) = nullptr;
    GLuint (*createProgram)() = nullptr;
    void (*attachShader)(GLuint, GLuint) = nullptr;
    void (*bindAttribLocation)(GLuint, GLuint, const GLchar*) = nullptr;
    void (*linkProgram)(GLuint) = nullptr;
    void (*getProgramiv)(GLuint, GLenum, GLint*) = nullptr;
    void (*getProgramInfoLog)(GLuint, GLsizei, GLsizei*, GLchar*) = nullptr;
    void (*useProgram)(GLuint) = nullptr;
    GLint (*getUniformLocation)(GLuint, const GLchar*) = nullptr;
    void (*uniform1i)(GLint, GLint) = nullptr;
    void (*uniform1f)(GLint, GLfloat) = nullptr;
    void (*uniform2f)(GLint, GLfloat, GLfloat) = nullptr;
    void (*uniform3fv)(GLint, GLsizei, const GLfloat*) = nullptr;
    void (*uniform4fv)(GLint, GLsizei, const GLfloat*) = nullptr;
    void (*uniformMatrix3fv)(GLint, GLsizei, GLboolean, const GLfloat*) = nullptr;
    void (*uniformMatrix4fv)(GLint, GLsizei, GLboolean, const GLfloat*) = nullptr;
    void (*genBuffers)(GLsizei, GLuint*) = nullptr;
    void (*deleteBuffers)(GLsizei, const GLuint*) = nullptr;
    void (*bindBuffer)(GLenum, GLuint) = nullptr;
    void (*bufferData)(GLenum, GLsizeiptr, const void*, GLenum) = nullptr;
    void (*bufferSubData)(GLenum, GLintptr, GLsizeiptr, const void*) = nullptr;
    void (*getBufferParameteriv)(GLenum, GLenum, GLint*) = nullptr;
    void* (*mapBufferRange)(GLenum, GLintptr, GLsizeiptr, GLbitfield) = nullptr;
    GLboolean (*unmapBuffer)(GLenum) = nullptr;
    void (*genVertexArrays)(GLsizei, GLuint*) = nullptr;
    void (*deleteVertexArrays)(GLsizei, const GLuint*) = nullptr;
    void (*bindVertexArray)(GLuint) = nullptr;
    void (*vertexAttribPointer)(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*) = nullptr;
    void (*enableVertexAttribArray)(GLuint) = nullptr;
    void (*disableVertexAttribArray)(GLuint) = nullptr;
    void (*vertexAttrib4fv)(GLuint, const GLfloat*) = nullptr;
    void (*drawArrays)(GLenum, GLint, GLsizei) = nullptr;
    void (*drawElements)(GLenum, GLsizei, GLenum, const void*) = nullptr;
};

// The table the layer draws with; filled by fetchGlesDriver.
extern GlesDriver gles;

// Fills the table through lookup; false with the name of the first entry point it lacks.
bool fetchGlesDriver(void* (*lookup)(const char* name), const char*& missing);
