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

} // namespace

void applyDriverState()
{
    const LayerAttributes& a = layer.attributes;
    enableIf(GL_DEPTH_TEST, a.depthTest);
    gles.depthFunc(a.depthFunc);
    gles.depthMask(a.depthMask ? GL_TRUE : GL_FALSE);
    gles.clearDepthf(a.clearDepth);
    enableIf(GL_BLEND, a.blend);
    gles.blendFunc(a.blendSource, a.blendDestination);
    gles.colorMask(a.colorMask[0], a.colorMask[1], a.colorMask[2], a.colorMask[3]);
    gles.clearColor(a.clearColor[0], a.clearColor[1], a.clearColor[2], a.clearColor[3]);
    enableIf(GL_STENCIL_TEST, a.stencilTest);
    gles.stencilFunc(a.stencilFunc, a.stencilReference, a.stencilValueMask);
    gles.stencilOp(a.stencilFail, a.stencilDepthFail, a.stencilPass);
    gles.clearStencil(a.clearStencil);
    // Wire frames are culled triangle by triangle as they are turned into lines.
    enableIf(GL_CULL_FACE, a.cullFace && a.polygonMode == GL_FILL);
    gles.cullFace(a.cullMode);
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
