// The GL 1.1 state the layer keeps for the calls it implements, with GL's initial values: what
// the fixed pipeline computes with (matrices, lights, material, fog, texture units, current
// attributes) and a copy of the state the driver holds (blending, depth, stencil, culling,
// masks), so that glPushAttrib and glPopAttrib can put it back. One record, the layer's own.
#pragma once

#include "fixedgl/matrixMath.h"

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

constexpr int layerLightCount = 8;
constexpr int layerTextureUnits = 2;
constexpr int layerModelViewDepth = 32;
constexpr int layerProjectionDepth = 32;

struct LayerLight {
    std::array<float, 4> ambient{0.0f, 0.0f, 0.0f, 1.0f};
    std::array<float, 4> diffuse{0.0f, 0.0f, 0.0f, 1.0f};
    std::array<float, 4> specular{0.0f, 0.0f, 0.0f, 1.0f};
    std::array<float, 4> position{0.0f, 0.0f, 1.0f, 0.0f};   // in eye coordinates, as set
    bool enabled = false;
};

struct LayerMaterial {
    std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1.0f};
    std::array<float, 4> diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    std::array<float, 4> specular{0.0f, 0.0f, 0.0f, 1.0f};
    std::array<float, 4> emission{0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
};

struct LayerTextureUnit {
    bool enabled = false;    // GL_TEXTURE_2D
    GLuint bound = 0;
    bool generateS = false;  // GL_TEXTURE_GEN_S, in the sphere-map mode
    bool generateT = false;
    GLint modeS = GL_EYE_LINEAR;
    GLint modeT = GL_EYE_LINEAR;
    GLint environment = GL_MODULATE;
};

// The attribute groups of glPushAttrib, each the fields its bit names.
struct LayerAttributes {
    // GL_CURRENT_BIT
    std::array<float, 4> color{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 3> normal{0.0f, 0.0f, 1.0f};
    std::array<std::array<float, 2>, layerTextureUnits> texCoord{};
    std::array<float, 4> rasterPosition{0.0f, 0.0f, 0.0f, 1.0f};   // in window coordinates
    bool rasterValid = true;
    // GL_LIGHTING_BIT
    bool lighting = false;
    std::array<LayerLight, layerLightCount> lights{};
    LayerMaterial material;
    std::array<float, 4> lightModelAmbient{0.2f, 0.2f, 0.2f, 1.0f};
    bool localViewer = false;
    GLenum shadeModel = GL_SMOOTH;
    // GL_FOG_BIT
    bool fog = false;
    GLint fogMode = GL_EXP;
    float fogDensity = 1.0f, fogStart = 0.0f, fogEnd = 1.0f;
    std::array<float, 4> fogColor{0.0f, 0.0f, 0.0f, 0.0f};
    // GL_DEPTH_BUFFER_BIT
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    bool depthMask = true;
    float clearDepth = 1.0f;
    // GL_COLOR_BUFFER_BIT
    bool alphaTest = false;
    GLenum alphaFunc = GL_ALWAYS;
    float alphaReference = 0.0f;
    bool blend = false;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    std::array<bool, 4> colorMask{true, true, true, true};
    std::array<float, 4> clearColor{0.0f, 0.0f, 0.0f, 0.0f};
    // GL_STENCIL_BUFFER_BIT
    bool stencilTest = false;
    GLenum stencilFunc = GL_ALWAYS;
    GLint stencilReference = 0;
    GLuint stencilValueMask = 0xFFFFFFFFu;
    GLenum stencilFail = GL_KEEP, stencilDepthFail = GL_KEEP, stencilPass = GL_KEEP;
    GLint clearStencil = 0;
    // GL_POLYGON_BIT
    bool cullFace = false;
    GLenum cullMode = GL_BACK;
    GLenum polygonMode = GL_FILL;   // front and back alike
    // GL_SCISSOR_BIT
    bool scissorTest = false;
    // GL_TEXTURE_BIT
    std::array<LayerTextureUnit, layerTextureUnits> units{};
    int activeUnit = 0;
    // GL_TRANSFORM_BIT
    GLenum matrixMode = GL_MODELVIEW;
    // GL_VIEWPORT_BIT
    std::array<GLint, 4> viewport{0, 0, 0, 0};
    // GL_HINT_BIT: accepted and kept, no effect on the pictures here.
    GLenum perspectiveHint = GL_DONT_CARE, fogHint = GL_DONT_CARE;
};

// What glPushClientAttrib keeps: the pixel-store state.
struct LayerClientAttributes {
    GLint packAlignment = 4;
    GLint unpackAlignment = 4;
};

struct LayerState {
    LayerAttributes attributes;
    LayerClientAttributes client;
    std::vector<std::pair<GLbitfield, LayerAttributes>> attributeStack;
    std::vector<LayerClientAttributes> clientStack;
    std::vector<Matrix4> modelView{identityMatrix()};
    std::vector<Matrix4> projection{identityMatrix()};
    GLenum error = GL_NO_ERROR;    // the layer's own first error since glGetError
    bool insideBegin = false;
};

extern LayerState layer;

// GL's initial state, with the viewport the size of the drawable.
void resetLayerState(GLint width, GLint height);

// The layer's own error, kept until glGetError reads it; later ones are dropped, as GL does.
void layerError(GLenum error);

// The matrix stack glMatrixMode selects.
std::vector<Matrix4>& currentStack();

// The driver's state made what the record says: after a glPopAttrib, and at the start.
void applyDriverState();

// The state only drawing and clearing read (the depth test and mask, blending, culling, the
// colour mask) reaches the driver when something is drawn or cleared, and only where it
// differs from what the driver was last given: the drawing code sets and resets it around
// every mesh, and in a browser every call to the driver costs microseconds. The rest (the
// stencil, the scissor, which a framebuffer blit reads too; the viewport, the textures) is
// given at once.
void syncDrawingState();
