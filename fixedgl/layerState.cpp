#include "fixedgl/layerState.h"

#include "fixedgl/glesDriver.h"

LayerState layer;

static_assert(std::is_trivially_copyable<LayerAttributes>::value, "the attribute stack keeps plain copies");

namespace {

// glPushAttrib's groups, as GL's table of them lists the state: each bit puts back its part of
// the record whole, so that a field added to a part is put back with it.
struct AttributeGroup {
    GLbitfield bit;
    void (*putBack)(LayerAttributes& now, const LayerAttributes& saved);
};
#define LAYER_GROUP(bit, part) {bit, [](LayerAttributes& now, const LayerAttributes& saved) { now.part = saved.part; }}
const AttributeGroup attributeGroups[] = {
    LAYER_GROUP(GL_CURRENT_BIT, current),        LAYER_GROUP(GL_LIGHTING_BIT, lighting),
    LAYER_GROUP(GL_FOG_BIT, fog),                LAYER_GROUP(GL_DEPTH_BUFFER_BIT, depth),
    LAYER_GROUP(GL_COLOR_BUFFER_BIT, colorBuffer), LAYER_GROUP(GL_STENCIL_BUFFER_BIT, stencil),
    LAYER_GROUP(GL_POLYGON_BIT, polygon),        LAYER_GROUP(GL_SCISSOR_BIT, scissor),
    LAYER_GROUP(GL_TEXTURE_BIT, texture),        LAYER_GROUP(GL_TRANSFORM_BIT, transform),
    LAYER_GROUP(GL_VIEWPORT_BIT, viewport),      LAYER_GROUP(GL_HINT_BIT, hints),
};
#undef LAYER_GROUP

// The enables, which GL_ENABLE_BIT puts back as well as the group each belongs to: one row a
// capability, or a run of them (the lights), or one a texture unit (the texture ones, which
// glEnable sets on the active unit).
enum CapabilityKind { CAPABILITY_ONE, CAPABILITY_LIGHTS, CAPABILITY_PER_UNIT };
struct Capability {
    GLenum name;
    CapabilityKind kind;
    bool& (*flag)(LayerAttributes& a, int index);
};
const Capability capabilities[] = {
    {GL_LIGHTING, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.lighting.enabled; }},
    {GL_LIGHT0, CAPABILITY_LIGHTS, [](LayerAttributes& a, int i) -> bool& { return a.lighting.lights[static_cast<std::size_t>(i)].enabled; }},
    {GL_FOG, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.fog.enabled; }},
    {GL_DEPTH_TEST, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.depth.test; }},
    {GL_ALPHA_TEST, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.colorBuffer.alphaTest; }},
    {GL_BLEND, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.colorBuffer.blend; }},
    {GL_STENCIL_TEST, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.stencil.test; }},
    {GL_CULL_FACE, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.polygon.cullFace; }},
    {GL_SCISSOR_TEST, CAPABILITY_ONE, [](LayerAttributes& a, int) -> bool& { return a.scissor.test; }},
    {GL_TEXTURE_2D, CAPABILITY_PER_UNIT, [](LayerAttributes& a, int u) -> bool& { return a.texture.units[static_cast<std::size_t>(u)].enabled; }},
    {GL_TEXTURE_GEN_S, CAPABILITY_PER_UNIT, [](LayerAttributes& a, int u) -> bool& { return a.texture.units[static_cast<std::size_t>(u)].generateS; }},
    {GL_TEXTURE_GEN_T, CAPABILITY_PER_UNIT, [](LayerAttributes& a, int u) -> bool& { return a.texture.units[static_cast<std::size_t>(u)].generateT; }},
};

int capabilityCount(const Capability& capability)
{
    switch (capability.kind) {
    case CAPABILITY_LIGHTS: return layerLightCount;
    case CAPABILITY_PER_UNIT: return layerTextureUnits;
    default: return 1;
    }
}

void enableIf(GLenum capability, bool on)
{
    if (on) {
        gles.enable(capability);
    } else {
        gles.disable(capability);
    }
}

LayerDrawingState wanted()
{
    const LayerAttributes& a = layer.attributes;
    LayerDrawingState s;
    s.depthTest = a.depth.test;
    s.depthFunc = a.depth.func;
    s.depthMask = a.depth.mask;
    s.blend = a.colorBuffer.blend;
    s.blendSource = a.colorBuffer.blendSource;
    s.blendDestination = a.colorBuffer.blendDestination;
    s.colorMask = a.colorBuffer.mask;
    s.cullFace = a.polygon.cullFace && a.polygon.mode == GL_FILL;
    s.cullMode = a.polygon.cullMode;
    return s;
}

void giveDrawingState(const LayerDrawingState& s, bool all)
{
    LayerDrawingState& given = layer.given;
    if (all || s.depthTest != given.depthTest) enableIf(GL_DEPTH_TEST, s.depthTest);
    if (all || s.depthFunc != given.depthFunc) gles.depthFunc(s.depthFunc);
    if (all || s.depthMask != given.depthMask) gles.depthMask(s.depthMask ? GL_TRUE : GL_FALSE);
    if (all || s.blend != given.blend) enableIf(GL_BLEND, s.blend);
    if (all || s.blendSource != given.blendSource || s.blendDestination != given.blendDestination)
        gles.blendFunc(s.blendSource, s.blendDestination);
    if (all || s.colorMask != given.colorMask) gles.colorMask(s.colorMask[0], s.colorMask[1], s.colorMask[2], s.colorMask[3]);
    if (all || s.cullFace != given.cullFace) enableIf(GL_CULL_FACE, s.cullFace);
    if (all || s.cullMode != given.cullMode) gles.cullFace(s.cullMode);
    given = s;
}

} // namespace

void resetLayerState(GLint width, GLint height)
{
    layer = LayerState{};
    // Light 0 is white, the others dark.
    layer.attributes.lighting.lights[0].diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    layer.attributes.lighting.lights[0].specular = {1.0f, 1.0f, 1.0f, 1.0f};
    layer.attributes.viewport.rectangle = {0, 0, width, height};
}

void layerError(GLenum error)
{
    if (layer.error == GL_NO_ERROR) layer.error = error;
}

std::vector<Matrix4>& currentStack()
{
    return layer.attributes.transform.matrixMode == GL_PROJECTION ? layer.projection : layer.modelView;
}

bool* capabilityFlag(LayerAttributes& attributes, GLenum capability)
{
    for (const Capability& row : capabilities) {
        const int count = capabilityCount(row);
        if (row.kind == CAPABILITY_PER_UNIT && capability == row.name) return &row.flag(attributes, attributes.texture.activeUnit);
        if (capability >= row.name && capability < row.name + static_cast<GLenum>(count) && row.kind != CAPABILITY_PER_UNIT)
            return &row.flag(attributes, static_cast<int>(capability - row.name));
    }
    return nullptr;
}

void restoreAttributes(GLbitfield mask, const LayerAttributes& saved)
{
    LayerAttributes& now = layer.attributes;
    for (const AttributeGroup& group : attributeGroups) {
        if (mask & group.bit) group.putBack(now, saved);
    }
    if (!(mask & GL_ENABLE_BIT)) return;
    LayerAttributes from = saved;
    for (const Capability& row : capabilities) {
        for (int i = 0; i < capabilityCount(row); ++i) row.flag(now, i) = row.flag(from, i);
    }
}

void syncDrawingState() { giveDrawingState(wanted(), false); }

void applyDriverState()
{
    const LayerAttributes& a = layer.attributes;
    giveDrawingState(wanted(), true);
    gles.clearDepthf(a.depth.clear);
    gles.clearColor(a.colorBuffer.clear[0], a.colorBuffer.clear[1], a.colorBuffer.clear[2], a.colorBuffer.clear[3]);
    enableIf(GL_STENCIL_TEST, a.stencil.test);
    gles.stencilFunc(a.stencil.func, a.stencil.reference, a.stencil.valueMask);
    gles.stencilOp(a.stencil.fail, a.stencil.depthFail, a.stencil.pass);
    gles.clearStencil(a.stencil.clear);
    enableIf(GL_SCISSOR_TEST, a.scissor.test);
    const std::array<GLint, 4>& viewport = a.viewport.rectangle;
    gles.viewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    for (int unit = layerTextureUnits - 1; unit >= 0; --unit) {
        gles.activeTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
        gles.bindTexture(GL_TEXTURE_2D, a.texture.units[static_cast<std::size_t>(unit)].bound);
    }
    gles.activeTexture(static_cast<GLenum>(GL_TEXTURE0 + a.texture.activeUnit));
    gles.pixelStorei(GL_PACK_ALIGNMENT, layer.client.packAlignment);
    gles.pixelStorei(GL_UNPACK_ALIGNMENT, layer.client.unpackAlignment);
}
