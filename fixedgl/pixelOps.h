// What GL 1.1 does with pixels that OpenGL ES 3 does otherwise or not at all: textures
// uploaded with the legacy internal formats (3 and 4 components), glRasterPos and glDrawPixels
// (a rectangle of pixels at the raster position, drawn as a textured quad pixel for pixel),
// and a whole buffer mapped for reading as glMapBuffer maps it.
#pragma once

#include <GL/gl.h>

// The layer's own program and texture for glDrawPixels; with the ES 3 context current.
void startPixelOps();

void uploadTexture(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                   GLenum format, GLenum type, const void* pixels);

// The raster position: (x, y, z, w) through the current matrices into window coordinates;
// invalid when it falls outside the view volume, and then glDrawPixels draws nothing.
void setRasterPosition(float x, float y, float z, float w);
void drawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels);

// The buffer bound to target mapped whole; GL_READ_ONLY, GL_WRITE_ONLY or GL_READ_WRITE.
void* mapWholeBuffer(GLenum target, GLenum access);
