// The layer's whole state, one record: the GL 1.1 state it keeps for the calls it implements,
// with GL's initial values (what the fixed pipeline computes with, and a copy of what the
// driver holds so that glPushAttrib and glPopAttrib can put it back), and each of its jobs'
// own state: the vertices gathered, the buffer they stream through, the display lists, the
// shader programs and the pixel drawing. The attributes are kept by glPushAttrib's groups, one
// part each, and one table (layerState.cpp) says which group puts back which part, with the
// enables two groups share.
#pragma once

#include "fixedgl/matrixMath.h"

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <type_traits>
#include <unordered_map>
#include <utility>
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
    bool enabled = false;                                    // GL_LIGHTi
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

// The attribute groups of glPushAttrib, each the state its bit names in GL's table, the
// enables among it (which GL_ENABLE_BIT names too) included.
struct CurrentAttributes {   // GL_CURRENT_BIT
    std::array<float, 4> color{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 3> normal{0.0f, 0.0f, 1.0f};
    std::array<std::array<float, 2>, layerTextureUnits> texCoord{};
    std::array<float, 4> rasterPosition{0.0f, 0.0f, 0.0f, 1.0f};   // in window coordinates
    bool rasterValid = true;
};
struct LightingAttributes {   // GL_LIGHTING_BIT
    bool enabled = false;     // GL_LIGHTING
    std::array<LayerLight, layerLightCount> lights{};
    LayerMaterial material;
    std::array<float, 4> modelAmbient{0.2f, 0.2f, 0.2f, 1.0f};
    bool localViewer = false;
    GLenum shadeModel = GL_SMOOTH;
};
struct FogAttributes {   // GL_FOG_BIT
    bool enabled = false;
    GLint mode = GL_EXP;
    float density = 1.0f, start = 0.0f, end = 1.0f;
    std::array<float, 4> color{0.0f, 0.0f, 0.0f, 0.0f};
};
struct DepthAttributes {   // GL_DEPTH_BUFFER_BIT
    bool test = false;
    GLenum func = GL_LESS;
    bool mask = true;
    float clear = 1.0f;
};
struct ColorBufferAttributes {   // GL_COLOR_BUFFER_BIT
    bool alphaTest = false;
    GLenum alphaFunc = GL_ALWAYS;
    float alphaReference = 0.0f;
    bool blend = false;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    std::array<bool, 4> mask{true, true, true, true};
    std::array<float, 4> clear{0.0f, 0.0f, 0.0f, 0.0f};
};
struct StencilAttributes {   // GL_STENCIL_BUFFER_BIT
    bool test = false;
    GLenum func = GL_ALWAYS;
    GLint reference = 0;
    GLuint valueMask = 0xFFFFFFFFu;
    GLenum fail = GL_KEEP, depthFail = GL_KEEP, pass = GL_KEEP;
    GLint clear = 0;
};
struct PolygonAttributes {   // GL_POLYGON_BIT
    bool cullFace = false;
    GLenum cullMode = GL_BACK;
    GLenum mode = GL_FILL;   // front and back alike
};
struct ScissorAttributes {   // GL_SCISSOR_BIT
    bool test = false;
};
struct TextureAttributes {   // GL_TEXTURE_BIT
    std::array<LayerTextureUnit, layerTextureUnits> units{};
    int activeUnit = 0;
};
struct TransformAttributes {   // GL_TRANSFORM_BIT
    GLenum matrixMode = GL_MODELVIEW;
};
struct ViewportAttributes {   // GL_VIEWPORT_BIT
    std::array<GLint, 4> rectangle{0, 0, 0, 0};
};
struct HintAttributes {   // GL_HINT_BIT: accepted and kept, no effect on the pictures here
    GLenum perspective = GL_DONT_CARE, fog = GL_DONT_CARE;
};

struct LayerAttributes {
    CurrentAttributes current;
    LightingAttributes lighting;
    FogAttributes fog;
    DepthAttributes depth;
    ColorBufferAttributes colorBuffer;
    StencilAttributes stencil;
    PolygonAttributes polygon;
    ScissorAttributes scissor;
    TextureAttributes texture;
    TransformAttributes transform;
    ViewportAttributes viewport;
    HintAttributes hints;
};

// What glPushClientAttrib keeps: the pixel-store state.
struct LayerClientAttributes {
    GLint packAlignment = 4;
    GLint unpackAlignment = 4;
};

// The vertex attributes every program reads, by location.
enum LayerAttribute {
    ATTRIBUTE_POSITION,    // x, y, z, w
    ATTRIBUTE_NORMAL,      // x, y, z
    ATTRIBUTE_COLOR,       // r, g, b, a
    ATTRIBUTE_TEXCOORD0,   // s, t
    ATTRIBUTE_TEXCOORD1,   // s, t
    attributeCount
};

// A vertex as gathered, with every attribute.
struct LayerVertex {
    float position[4];
    float normal[3];
    float color[4];
    float texCoord[layerTextureUnits][2];
};

// What a vertex takes besides its position.
struct VertexAttributes {
    float normal[3] = {0.0f, 0.0f, 1.0f};
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float texCoord[layerTextureUnits][2] = {};
};

// The attributes a display list sets, as the bits of the attributes a program reads.
enum SpecifiedBits {
    SPECIFIED_NORMAL = 1 << ATTRIBUTE_NORMAL,
    SPECIFIED_COLOR = 1 << ATTRIBUTE_COLOR,
    SPECIFIED_TEXCOORD0 = 1 << ATTRIBUTE_TEXCOORD0,
    SPECIFIED_TEXCOORD1 = 1 << ATTRIBUTE_TEXCOORD1,
};

// How gathered vertices go to the driver: as triangles, as quads (four corners each, two
// triangles through the quad index buffer), or as lines.
enum PendingKind {
    PENDING_TRIANGLES,
    PENDING_QUADS,
    PENDING_LINES,
};

// glBegin/glEnd's vertices (vertexGathering.cpp).
struct LayerGathering {
    GLenum blockMode = GL_TRIANGLES;
    std::vector<LayerVertex> block;     // the vertices since glBegin
    std::vector<LayerVertex> pending;   // assembled, waiting to be drawn
    PendingKind pendingKind = PENDING_TRIANGLES;
};

// The buffer draws stream through (streamBuffer.cpp): written at increasing offsets and given
// new storage when full, so a draw never waits for the driver to finish with an earlier one.
struct LayerStream {
    GLuint buffer = 0;
    GLuint vertexArray = 0;
    GLsizeiptr capacity = 4 << 20;
    GLsizeiptr offset = 0;
    int enabled = 0;                 // the stream's arrays enabled, as bits 1 << LayerAttribute
    std::vector<float> packed;
    // The generic attribute values last given to the driver, which display lists take what
    // they do not set from; known false: none given since the context was made.
    std::array<std::array<float, 4>, attributeCount> generic{};
    std::array<bool, attributeCount> genericKnown{};
    GLuint quadIndexBuffer = 0;      // quads as triangles 0 1 2, 0 2 3 of every four vertices
};

// A display list: its triangles in a buffer of their own, which attributes it sets (the others
// come from the current ones when it is called), and the values it leaves current.
struct RecordedList {
    GLuint buffer = 0;
    GLuint vertexArray = 0;
    std::vector<LayerVertex> triangles;   // kept for drawing it as wire frames
    int specified = 0;
    VertexAttributes last;
};

// The display lists (displayLists.cpp).
struct LayerLists {
    std::unordered_map<GLuint, RecordedList> lists;
    GLuint nextName = 1;
    GLuint recording = 0;        // the list being recorded; 0: none
    VertexAttributes attributes; // the attributes the list being recorded sets
    int specified = 0;
};

constexpr int layerUniformCount = 16;

// One variant of the fixed pipeline's program (shaderPrograms.cpp).
struct LayerProgram {
    GLuint name = 0;
    GLint uniforms[layerUniformCount] = {};
    // The versions of the state its uniforms hold; 0: never uploaded.
    std::uint64_t matrices = 0, lighting = 0, other = 0;
    bool failed = false;   // said once; nothing is drawn with it
};

// The programs, by the state bits each was made for, and the versions of the state their
// uniforms come from.
struct LayerPrograms {
    std::unordered_map<std::uint32_t, LayerProgram> variants;
    GLuint current = 0;
    std::uint64_t matricesVersion = 1, lightingVersion = 1, otherVersion = 1;
};

// glDrawPixels' own program, texture and quad (pixelOps.cpp).
struct LayerPixels {
    GLuint program = 0;
    GLuint texture = 0;
    GLuint buffer = 0;
    GLuint vertexArray = 0;
};

// What the driver was last given of the state syncDrawingState keeps.
struct LayerDrawingState {
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    bool depthMask = true;
    bool blend = false;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    std::array<bool, 4> colorMask{true, true, true, true};
    bool cullFace = false;   // on the driver: off while wire frames are drawn, which are culled as lines
    GLenum cullMode = GL_BACK;
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
    LayerGathering gathering;
    LayerStream stream;
    LayerLists lists;
    LayerPrograms programs;
    LayerPixels pixels;
    LayerDrawingState given;
};

extern LayerState layer;

// GL's initial state, with the viewport the size of the drawable; every job's state as a new
// context starts it (what lived in the context before is gone with it).
void resetLayerState(GLint width, GLint height);

// The layer's own error, kept until glGetError reads it; later ones are dropped, as GL does.
void layerError(GLenum error);

// The matrix stack glMatrixMode selects.
std::vector<Matrix4>& currentStack();

// Where glEnable keeps a capability (of the active texture unit for the texture ones); null
// for one the layer does not know.
bool* capabilityFlag(LayerAttributes& attributes, GLenum capability);

// glPopAttrib's work on the record: the groups of mask put back from saved, each whole, and
// with GL_ENABLE_BIT every enable of every group.
void restoreAttributes(GLbitfield mask, const LayerAttributes& saved);

// The driver's state made what the record says: after a glPopAttrib, and at the start.
void applyDriverState();

// The state only drawing and clearing read (the depth test and mask, blending, culling, the
// colour mask) reaches the driver when something is drawn or cleared, and only where it
// differs from what the driver was last given: the drawing code sets and resets it around
// every mesh, and in a browser every call to the driver costs microseconds. The rest (the
// stencil, the scissor, which a framebuffer blit reads too; the viewport, the textures) is
// given at once.
void syncDrawingState();
