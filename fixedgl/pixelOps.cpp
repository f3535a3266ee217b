#include "fixedgl/pixelOps.h"

#include "fixedgl/glesDriver.h"
#include "fixedgl/layerState.h"
#include "fixedgl/shaderPrograms.h"

#include <cstdio>

namespace {

// A quad in normalised device coordinates at a depth, showing a texture as it is.
const char* const pixelVertexSource = R"(#version 300 es
layout(location = 0) in vec4 a_position;
out vec2 v_texCoord;
void main()
{
    gl_Position = a_position;
    v_texCoord = vec2(gl_VertexID == 1 || gl_VertexID == 2 ? 1.0 : 0.0, gl_VertexID >= 2 ? 1.0 : 0.0);
}
)";
const char* const pixelFragmentSource = R"(#version 300 es
precision highp float;
in vec2 v_texCoord;
uniform sampler2D u_pixels;
out vec4 fragColor;
void main() { fragColor = texture(u_pixels, v_texCoord); }
)";

GLuint compile(GLenum stage, const char* source)
{
    const GLuint shader = gles.createShader(stage);
    gles.shaderSource(shader, 1, &source, nullptr);
    gles.compileShader(shader);
    return shader;
}

} // namespace

void startPixelOps()
{
    const GLuint vertex = compile(GL_VERTEX_SHADER, pixelVertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, pixelFragmentSource);
    layer.pixels.program = gles.createProgram();
    gles.attachShader(layer.pixels.program, vertex);
    gles.attachShader(layer.pixels.program, fragment);
    gles.linkProgram(layer.pixels.program);
    gles.deleteShader(vertex);
    gles.deleteShader(fragment);
    GLint linked = 0;
    gles.getProgramiv(layer.pixels.program, GL_LINK_STATUS, &linked);
    if (!linked) std::fprintf(stderr, "kesu: the GL layer's pixel program does not link\n");
    gles.genTextures(1, &layer.pixels.texture);
    gles.genBuffers(1, &layer.pixels.buffer);
    gles.genVertexArrays(1, &layer.pixels.vertexArray);
    gles.bindVertexArray(layer.pixels.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, layer.pixels.buffer);
    gles.bufferData(GL_ARRAY_BUFFER, 16 * sizeof(float), nullptr, GL_STREAM_DRAW);
    gles.enableVertexAttribArray(ATTRIBUTE_POSITION);
    gles.vertexAttribPointer(ATTRIBUTE_POSITION, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    for (int attribute = ATTRIBUTE_NORMAL; attribute < attributeCount; ++attribute)
        gles.disableVertexAttribArray(static_cast<GLuint>(attribute));
}

void uploadTexture(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                   GLenum format, GLenum type, const void* pixels)
{
    // The legacy counts of components name the sized formats ES asks for.
    GLint sized = internalFormat;
    if (internalFormat == 3 || internalFormat == GL_RGB) sized = GL_RGB8;
    if (internalFormat == 4 || internalFormat == GL_RGBA) sized = GL_RGBA8;
    gles.texImage2D(target, level, sized, width, height, border, format, type, pixels);
}

void setRasterPosition(float x, float y, float z, float w)
{
    LayerAttributes& a = layer.attributes;
    const std::array<float, 4> eye = transformPoint(layer.modelView.back(), {x, y, z, w});
    const std::array<float, 4> clip = transformPoint(layer.projection.back(), eye);
    a.current.rasterValid = clip[3] > 0.0f && -clip[3] <= clip[0] && clip[0] <= clip[3] && -clip[3] <= clip[1] &&
                    clip[1] <= clip[3] && -clip[3] <= clip[2] && clip[2] <= clip[3];
    if (!a.current.rasterValid) return;
    const float viewport[4] = {static_cast<float>(a.viewport.rectangle[0]), static_cast<float>(a.viewport.rectangle[1]),
                               static_cast<float>(a.viewport.rectangle[2]), static_cast<float>(a.viewport.rectangle[3])};
    a.current.rasterPosition = {(clip[0] / clip[3] + 1.0f) * viewport[2] / 2.0f + viewport[0],
                        (clip[1] / clip[3] + 1.0f) * viewport[3] / 2.0f + viewport[1],
                        (clip[2] / clip[3] + 1.0f) / 2.0f, clip[3]};
}

void drawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels)
{
    const LayerAttributes& a = layer.attributes;
    if (!a.current.rasterValid || width <= 0 || height <= 0) return;
    syncDrawingState();
    gles.activeTexture(GL_TEXTURE0);
    gles.bindTexture(GL_TEXTURE_2D, layer.pixels.texture);
    gles.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gles.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    uploadTexture(GL_TEXTURE_2D, 0, format == GL_RGB ? GL_RGB : GL_RGBA, width, height, 0, format, type, pixels);
    // The rectangle from the raster position, width x height pixels, at its depth.
    const float vx = static_cast<float>(a.viewport.rectangle[0]), vy = static_cast<float>(a.viewport.rectangle[1]);
    const float vw = static_cast<float>(a.viewport.rectangle[2]), vh = static_cast<float>(a.viewport.rectangle[3]);
    const float x0 = (a.current.rasterPosition[0] - vx) / vw * 2.0f - 1.0f;
    const float y0 = (a.current.rasterPosition[1] - vy) / vh * 2.0f - 1.0f;
    const float x1 = (a.current.rasterPosition[0] + static_cast<float>(width) - vx) / vw * 2.0f - 1.0f;
    const float y1 = (a.current.rasterPosition[1] + static_cast<float>(height) - vy) / vh * 2.0f - 1.0f;
    const float z = a.current.rasterPosition[2] * 2.0f - 1.0f;
    const float corners[16] = {x0, y0, z, 1.0f, x1, y0, z, 1.0f, x1, y1, z, 1.0f, x0, y1, z, 1.0f};
    gles.useProgram(layer.pixels.program);
    gles.bindVertexArray(layer.pixels.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, layer.pixels.buffer);
    gles.bufferSubData(GL_ARRAY_BUFFER, 0, sizeof corners, corners);
    gles.disable(GL_CULL_FACE);
    gles.drawArrays(GL_TRIANGLE_FAN, 0, 4);
    forgetCurrentProgram();
    applyDriverState();
}

void* mapWholeBuffer(GLenum target, GLenum access)
{
    if (!gles.mapBufferRange) return nullptr;
    GLint size = 0;
    gles.getBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    GLbitfield bits = 0;
    if (access == GL_READ_ONLY || access == GL_READ_WRITE) bits |= GL_MAP_READ_BIT;
    if (access == GL_WRITE_ONLY || access == GL_READ_WRITE) bits |= GL_MAP_WRITE_BIT;
    return gles.mapBufferRange(target, 0, size, bits);
}
