// The GL entry points beyond GL 1.1, each named once: the OpenGL ES 3 calls the fixed-function
// layer reaches the driver by, and the calls the program fetches by name (framebuffer and
// buffer objects, multitexture). The layer's table of the driver, the browser's binding of
// WebGL 2, the desktop's lookup in the system's GL and the layer's own answer to that lookup
// are all made from this one list, so a name added here reaches each of them. Header only:
// the desktop build includes it without building the layer.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// KESU_GL_CALLS(F, X) writes each row as F_KIND(X, field, Name, Return, Parameters, group):
// the entry point "gl" Name, `field` its name in the tables. A list of rows of some kinds is
// made by defining F_KIND as X(...) for those kinds and as nothing for the others (see the
// lists at the end). The kinds:
//   LAYER        an ES 3 call the layer draws with; the program never asks for it
//   LAYER_ES     the same, but WebGL 2 lacks it (buffer mapping)
//   SHARED       an ES 3 call the program fetches by name too: the layer takes it, draws what
//                it gathered first where the call could change that, and passes it on
//   SHARED_ES    the same, but WebGL 2 lacks it
//   OWN          a call the program fetches by name that the layer makes itself; no ES 3
//                driver has it by that name
// `group` is what the program uses the call for, so that it knows which of its uses the GL
// offers: GL_CALLS_FRAMEBUFFER, GL_CALLS_BUFFER, GL_CALLS_MULTITEXTURE, or GL_CALLS_DRAWING for
// the layer's own.
enum GlCallGroup { GL_CALLS_DRAWING, GL_CALLS_FRAMEBUFFER, GL_CALLS_BUFFER, GL_CALLS_MULTITEXTURE };

#define KESU_GL_CALLS(F, X) \
    F##_LAYER(X, enable, Enable, void, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, disable, Disable, void, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, blendFunc, BlendFunc, void, (GLenum, GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, depthFunc, DepthFunc, void, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, depthMask, DepthMask, void, (GLboolean), GL_CALLS_DRAWING) \
    F##_LAYER(X, colorMask, ColorMask, void, (GLboolean, GLboolean, GLboolean, GLboolean), GL_CALLS_DRAWING) \
    F##_LAYER(X, cullFace, CullFace, void, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, stencilFunc, StencilFunc, void, (GLenum, GLint, GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, stencilOp, StencilOp, void, (GLenum, GLenum, GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, clear, Clear, void, (GLbitfield), GL_CALLS_DRAWING) \
    F##_LAYER(X, clearColor, ClearColor, void, (GLfloat, GLfloat, GLfloat, GLfloat), GL_CALLS_DRAWING) \
    F##_LAYER(X, clearDepthf, ClearDepthf, void, (GLfloat), GL_CALLS_DRAWING) \
    F##_LAYER(X, clearStencil, ClearStencil, void, (GLint), GL_CALLS_DRAWING) \
    F##_LAYER(X, viewport, Viewport, void, (GLint, GLint, GLsizei, GLsizei), GL_CALLS_DRAWING) \
    F##_LAYER(X, finish, Finish, void, (), GL_CALLS_DRAWING) \
    F##_LAYER(X, flush, Flush, void, (), GL_CALLS_DRAWING) \
    F##_LAYER(X, getError, GetError, GLenum, (), GL_CALLS_DRAWING) \
    F##_LAYER(X, getIntegerv, GetIntegerv, void, (GLenum, GLint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, pixelStorei, PixelStorei, void, (GLenum, GLint), GL_CALLS_DRAWING) \
    F##_LAYER(X, readPixels, ReadPixels, void, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*), GL_CALLS_DRAWING) \
    F##_LAYER(X, genTextures, GenTextures, void, (GLsizei, GLuint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, bindTexture, BindTexture, void, (GLenum, GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, texParameteri, TexParameteri, void, (GLenum, GLenum, GLint), GL_CALLS_DRAWING) \
    F##_LAYER(X, texImage2D, TexImage2D, void, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*), GL_CALLS_DRAWING) \
    F##_LAYER(X, activeTexture, ActiveTexture, void, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, createShader, CreateShader, GLuint, (GLenum), GL_CALLS_DRAWING) \
    F##_LAYER(X, shaderSource, ShaderSource, void, (GLuint, GLsizei, const GLchar* const*, const GLint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, compileShader, CompileShader, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, getShaderiv, GetShaderiv, void, (GLuint, GLenum, GLint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, getShaderInfoLog, GetShaderInfoLog, void, (GLuint, GLsizei, GLsizei*, GLchar*), GL_CALLS_DRAWING) \
    F##_LAYER(X, deleteShader, DeleteShader, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, createProgram, CreateProgram, GLuint, (), GL_CALLS_DRAWING) \
    F##_LAYER(X, attachShader, AttachShader, void, (GLuint, GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, bindAttribLocation, BindAttribLocation, void, (GLuint, GLuint, const GLchar*), GL_CALLS_DRAWING) \
    F##_LAYER(X, linkProgram, LinkProgram, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, getProgramiv, GetProgramiv, void, (GLuint, GLenum, GLint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, getProgramInfoLog, GetProgramInfoLog, void, (GLuint, GLsizei, GLsizei*, GLchar*), GL_CALLS_DRAWING) \
    F##_LAYER(X, useProgram, UseProgram, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, getUniformLocation, GetUniformLocation, GLint, (GLuint, const GLchar*), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniform1i, Uniform1i, void, (GLint, GLint), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniform1f, Uniform1f, void, (GLint, GLfloat), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniform2f, Uniform2f, void, (GLint, GLfloat, GLfloat), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniform3fv, Uniform3fv, void, (GLint, GLsizei, const GLfloat*), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniform4fv, Uniform4fv, void, (GLint, GLsizei, const GLfloat*), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniformMatrix3fv, UniformMatrix3fv, void, (GLint, GLsizei, GLboolean, const GLfloat*), GL_CALLS_DRAWING) \
    F##_LAYER(X, uniformMatrix4fv, UniformMatrix4fv, void, (GLint, GLsizei, GLboolean, const GLfloat*), GL_CALLS_DRAWING) \
    F##_LAYER(X, bufferSubData, BufferSubData, void, (GLenum, GLintptr, GLsizeiptr, const void*), GL_CALLS_DRAWING) \
    F##_LAYER(X, getBufferParameteriv, GetBufferParameteriv, void, (GLenum, GLenum, GLint*), GL_CALLS_DRAWING) \
    F##_LAYER_ES(X, mapBufferRange, MapBufferRange, void*, (GLenum, GLintptr, GLsizeiptr, GLbitfield), GL_CALLS_DRAWING) \
    F##_LAYER(X, genVertexArrays, GenVertexArrays, void, (GLsizei, GLuint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, deleteVertexArrays, DeleteVertexArrays, void, (GLsizei, const GLuint*), GL_CALLS_DRAWING) \
    F##_LAYER(X, bindVertexArray, BindVertexArray, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, vertexAttribPointer, VertexAttribPointer, void, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*), GL_CALLS_DRAWING) \
    F##_LAYER(X, enableVertexAttribArray, EnableVertexAttribArray, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, disableVertexAttribArray, DisableVertexAttribArray, void, (GLuint), GL_CALLS_DRAWING) \
    F##_LAYER(X, vertexAttrib4fv, VertexAttrib4fv, void, (GLuint, const GLfloat*), GL_CALLS_DRAWING) \
    F##_LAYER(X, drawArrays, DrawArrays, void, (GLenum, GLint, GLsizei), GL_CALLS_DRAWING) \
    F##_LAYER(X, drawElements, DrawElements, void, (GLenum, GLsizei, GLenum, const void*), GL_CALLS_DRAWING) \
    F##_SHARED(X, genFramebuffers, GenFramebuffers, void, (GLsizei, GLuint*), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, bindFramebuffer, BindFramebuffer, void, (GLenum, GLuint), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, genRenderbuffers, GenRenderbuffers, void, (GLsizei, GLuint*), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, bindRenderbuffer, BindRenderbuffer, void, (GLenum, GLuint), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, renderbufferStorage, RenderbufferStorage, void, (GLenum, GLenum, GLsizei, GLsizei), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, framebufferRenderbuffer, FramebufferRenderbuffer, void, (GLenum, GLenum, GLenum, GLuint), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, checkFramebufferStatus, CheckFramebufferStatus, GLenum, (GLenum), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, blitFramebuffer, BlitFramebuffer, void, (GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum), GL_CALLS_FRAMEBUFFER) \
    F##_SHARED(X, genBuffers, GenBuffers, void, (GLsizei, GLuint*), GL_CALLS_BUFFER) \
    F##_SHARED(X, deleteBuffers, DeleteBuffers, void, (GLsizei, const GLuint*), GL_CALLS_BUFFER) \
    F##_SHARED(X, bindBuffer, BindBuffer, void, (GLenum, GLuint), GL_CALLS_BUFFER) \
    F##_SHARED(X, bufferData, BufferData, void, (GLenum, GLsizeiptr, const void*, GLenum), GL_CALLS_BUFFER) \
    F##_OWN(X, mapBuffer, MapBuffer, void*, (GLenum, GLenum), GL_CALLS_BUFFER) \
    F##_SHARED_ES(X, unmapBuffer, UnmapBuffer, GLboolean, (GLenum), GL_CALLS_BUFFER) \
    F##_OWN(X, activeTextureARB, ActiveTextureARB, void, (GLenum), GL_CALLS_MULTITEXTURE) \
    F##_OWN(X, multiTexCoord2fvARB, MultiTexCoord2fvARB, void, (GLenum, const GLfloat*), GL_CALLS_MULTITEXTURE)

#define KESU_GL_ROW(X, ...) X(__VA_ARGS__)
#define KESU_GL_NO_ROW(X, ...)

// The driver's calls: every ES 3 call the layer makes.
#define KESU_GL_DRIVER_LAYER KESU_GL_ROW
#define KESU_GL_DRIVER_LAYER_ES KESU_GL_ROW
#define KESU_GL_DRIVER_SHARED KESU_GL_ROW
#define KESU_GL_DRIVER_SHARED_ES KESU_GL_ROW
#define KESU_GL_DRIVER_OWN KESU_GL_NO_ROW
#define KESU_GL_DRIVER_CALLS(X) KESU_GL_CALLS(KESU_GL_DRIVER, X)

// Those of them WebGL 2 has.
#define KESU_GL_WEBGL_LAYER KESU_GL_ROW
#define KESU_GL_WEBGL_LAYER_ES KESU_GL_NO_ROW
#define KESU_GL_WEBGL_SHARED KESU_GL_ROW
#define KESU_GL_WEBGL_SHARED_ES KESU_GL_NO_ROW
#define KESU_GL_WEBGL_OWN KESU_GL_NO_ROW
#define KESU_GL_WEBGL_CALLS(X) KESU_GL_CALLS(KESU_GL_WEBGL, X)

// The program's calls: what it fetches by name.
#define KESU_GL_PROGRAM_LAYER KESU_GL_NO_ROW
#define KESU_GL_PROGRAM_LAYER_ES KESU_GL_NO_ROW
#define KESU_GL_PROGRAM_SHARED KESU_GL_ROW
#define KESU_GL_PROGRAM_SHARED_ES KESU_GL_ROW
#define KESU_GL_PROGRAM_OWN KESU_GL_ROW
#define KESU_GL_PROGRAM_CALLS(X) KESU_GL_CALLS(KESU_GL_PROGRAM, X)

// A row as a field of a table of entry points, null until fetched.
#define KESU_GL_FIELD(field, Name, Return, Parameters, group) Return(APIENTRYP field) Parameters = nullptr;
