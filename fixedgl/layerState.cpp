#include "fixedgl/layerState.h"

#include "fixedgl/glesDriver.h"

LayerState layer;

void resetLayerState(GLint width, GLint height)
{
    layer = LayerState{};
    // Light 0 is white, the others dark.
    layer.attributes.lights[0].diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    layer.attributes.lights[0].specular = {1.0f, 1.0f, 1.0f, 1.0f};
    layer.attributes.viewport = {0, 0, width, height};
}

void layerError(GLenum error)
{
    if (layer.error == GL_NO_ERROR) layer.error = error;
}

std::vector<Matrix4>& currentStack()
{
    return layer.attributes.matrixMode == GL_PROJECTION ? layer.projection : layer.modelView;
}

namespace {

void enableIf(GLenum capability, bool on)
{
    if (on) {
        gles.enable(capability);
    } else {
        gles.disable(capability);
    }
}

// What the driver was last given of the state syncDrawingState keeps.
struct DrawingState {
    bool depthTest;
    GLenum depthFunc;
    bool depthMask;
    bool blend;
    GLenum blendSource, blendDestination;
    std::array<bool, 4> colorMask;
    bool cullFace;   // on the driver: off while wire frames are drawn, which are culled as lines
    GLenum cullMode;
};
DrawingState given{};

DrawingState wanted()
{
    const LayerAttributes& a = layer.attributes;
    return {a.depthTest, a.depthFunc,     a.depthMask, a.blend, a.blendSource, a.blendDestination,
            a.colorMask, a.cullFace && a.polygonMode == GL_FILL, a.cullMode};
}

void giveDrawingState(const DrawingState& s, bool all)
{
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

void syncDrawingState() { giveDrawingState(wanted(), false); }

void applyDriverState()
{
    const LayerAttributes& a = layer.attributes;
    giveDrawingState(wanted(), true);
    gles.clearDepthf(a.clearDepth);
    gles.clearColor(a.clearColor[0], a.clearColor[1], a.clearColor[2], a.clearColor[3]);
    enableIf(GL_STENCIL_TEST, a.stencilTest);
    gles.stencilFunc(a.stencilFunc, a.stencilReference, a.stencilValueMask);
    gles.stencilOp(a.stencilFail, a.stencilDepthFail, a.stencilPass);
    gles.clearStencil(a.clearStencil);
    enableIf(GL_SCISSOR_TEST, a.scissorTest);
    gles.viewport(a.viewport[0], a.viewport[1], a.viewport[2], a.viewport[3]);
    for (int unit = layerTextureUnits - 1; unit >= 0; --unit) {
        gles.activeTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
        gles.bindTexture(GL_TEXTURE_2D, a.units[static_cast<std::size_t>(unit)].bound);
    }
    gles.activeTexture(static_cast<GLenum>(GL_TEXTURE0 + a.activeUnit));
    gles.pixelStorei(GL_PACK_ALIGNMENT, layer.client.packAlignment);
    gles.pixelStorei(GL_UNPACK_ALIGNMENT, layer.client.unpackAlignment);
}
