#include "fixedgl/vertexGathering.h"

#include "fixedgl/streamBuffer.h"

#include <cstddef>

namespace {

// The window-space orientation of a polygon: true for the face GL culls.
bool culled(const LayerVertex* corners, int count, const Matrix4& mvp)
{
    const LayerAttributes& a = layer.attributes;
    if (!a.polygon.cullFace) return false;
    if (a.polygon.cullMode == GL_FRONT_AND_BACK) return true;
    double area = 0.0;
    float x[4], y[4];
    for (int i = 0; i < count; ++i) {
        const std::array<float, 4> clip = transformPoint(mvp, {corners[i].position[0], corners[i].position[1],
                                                               corners[i].position[2], corners[i].position[3]});
        x[i] = clip[0] / clip[3];
        y[i] = clip[1] / clip[3];
    }
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        area += static_cast<double>(x[i]) * y[j] - static_cast<double>(x[j]) * y[i];
    }
    const bool front = area > 0.0;
    return a.polygon.cullMode == GL_BACK ? !front : front;
}

// A polygon's edges as lines; flat shaded, every edge takes the polygon's last vertex's
// colour and normal, as the polygon would.
void appendOutline(const LayerVertex* corners, int count, const Matrix4& mvp, std::vector<LayerVertex>& lines)
{
    if (culled(corners, count, mvp)) return;
    const bool flat = layer.attributes.lighting.shadeModel == GL_FLAT;
    const LayerVertex& provoking = corners[count - 1];
    for (int i = 0; i < count; ++i) {
        LayerVertex ends[2] = {corners[i], corners[(i + 1) % count]};
        if (flat) {
            for (LayerVertex& end : ends) {
                for (int c = 0; c < 3; ++c) end.normal[c] = provoking.normal[c];
                for (int c = 0; c < 4; ++c) end.color[c] = provoking.color[c];
            }
        }
        lines.push_back(ends[0]);
        lines.push_back(ends[1]);
    }
}

} // namespace

VertexAttributes currentVertexAttributes()
{
    const LayerAttributes& a = layer.attributes;
    VertexAttributes current;
    for (int c = 0; c < 3; ++c) current.normal[c] = a.current.normal[static_cast<std::size_t>(c)];
    for (int c = 0; c < 4; ++c) current.color[c] = a.current.color[static_cast<std::size_t>(c)];
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        current.texCoord[unit][0] = a.current.texCoord[static_cast<std::size_t>(unit)][0];
        current.texCoord[unit][1] = a.current.texCoord[static_cast<std::size_t>(unit)][1];
    }
    return current;
}

void makeVertexAttributesCurrent(const VertexAttributes& values, int which)
{
    LayerAttributes& a = layer.attributes;
    if (which & SPECIFIED_NORMAL) a.current.normal = {values.normal[0], values.normal[1], values.normal[2]};
    if (which & SPECIFIED_COLOR) a.current.color = {values.color[0], values.color[1], values.color[2], values.color[3]};
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        if (which & (SPECIFIED_TEXCOORD0 << unit))
            a.current.texCoord[static_cast<std::size_t>(unit)] = {values.texCoord[unit][0], values.texCoord[unit][1]};
    }
}

void assemblePrimitives(GLenum mode, const std::vector<LayerVertex>& vertices, bool outlines, std::vector<LayerVertex>& out)
{
    const int corners = mode == GL_QUADS ? 4 : 3;
    const std::size_t whole = vertices.size() - vertices.size() % static_cast<std::size_t>(corners);
    Matrix4 mvp{};
    if (outlines) mvp = multiplyMatrices(layer.projection.back(), layer.modelView.back());
    for (std::size_t i = 0; i < whole; i += static_cast<std::size_t>(corners)) {
        const LayerVertex* v = vertices.data() + i;
        if (outlines) {
            appendOutline(v, corners, mvp, out);
        } else if (corners == 3) {
            out.insert(out.end(), v, v + 3);
        } else {
            // Across the diagonal from the first corner to the third, as the fixed pipeline
            // splits it; flat shaded, both halves take the last corner's colour.
            out.insert(out.end(), {v[0], v[1], v[2], v[0], v[2], v[3]});
            if (layer.attributes.lighting.shadeModel == GL_FLAT) {
                LayerVertex& provoking = out[out.size() - 4];
                for (int c = 0; c < 3; ++c) provoking.normal[c] = v[3].normal[c];
                for (int c = 0; c < 4; ++c) provoking.color[c] = v[3].color[c];
            }
        }
    }
}

void emitVertex(float x, float y, float z, float w)
{
    const LayerLists& lists = layer.lists;
    const VertexAttributes attributes = lists.recording ? lists.attributes : currentVertexAttributes();
    LayerVertex vertex{};
    vertex.position[0] = x;
    vertex.position[1] = y;
    vertex.position[2] = z;
    vertex.position[3] = w;
    for (int c = 0; c < 3; ++c) vertex.normal[c] = attributes.normal[c];
    for (int c = 0; c < 4; ++c) vertex.color[c] = attributes.color[c];
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        vertex.texCoord[unit][0] = attributes.texCoord[unit][0];
        vertex.texCoord[unit][1] = attributes.texCoord[unit][1];
    }
    layer.gathering.block.push_back(vertex);
}

void setCurrentNormal(float x, float y, float z)
{
    LayerLists& lists = layer.lists;
    if (lists.recording) {
        lists.attributes.normal[0] = x;
        lists.attributes.normal[1] = y;
        lists.attributes.normal[2] = z;
        lists.specified |= SPECIFIED_NORMAL;
    } else {
        layer.attributes.current.normal = {x, y, z};
    }
}

void setCurrentColor(float r, float g, float b, float a)
{
    LayerLists& lists = layer.lists;
    if (lists.recording) {
        lists.attributes.color[0] = r;
        lists.attributes.color[1] = g;
        lists.attributes.color[2] = b;
        lists.attributes.color[3] = a;
        lists.specified |= SPECIFIED_COLOR;
    } else {
        layer.attributes.current.color = {r, g, b, a};
    }
}

void setCurrentTexCoord(int unit, float s, float t)
{
    LayerLists& lists = layer.lists;
    if (lists.recording) {
        lists.attributes.texCoord[unit][0] = s;
        lists.attributes.texCoord[unit][1] = t;
        lists.specified |= SPECIFIED_TEXCOORD0 << unit;
    } else {
        layer.attributes.current.texCoord[static_cast<std::size_t>(unit)] = {s, t};
    }
}

void beginPrimitive(GLenum mode)
{
    if (layer.insideBegin) {
        layerError(GL_INVALID_OPERATION);
        return;
    }
    if (mode != GL_TRIANGLES && mode != GL_QUADS) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    layer.insideBegin = true;
    layer.gathering.blockMode = mode;
    layer.gathering.block.clear();
}

void endPrimitive()
{
    if (!layer.insideBegin) {
        layerError(GL_INVALID_OPERATION);
        return;
    }
    layer.insideBegin = false;
    LayerGathering& gathering = layer.gathering;
    if (layer.lists.recording) {
        assemblePrimitives(gathering.blockMode, gathering.block, false, layer.lists.lists[layer.lists.recording].triangles);
        return;
    }
    // Smooth quads go as they are, drawn through the quad indices; flat ones are split here,
    // each half taking the last corner's colour.
    const bool outlines = layer.attributes.polygon.mode == GL_LINE;
    const bool quads = gathering.blockMode == GL_QUADS && layer.attributes.lighting.shadeModel != GL_FLAT;
    const PendingKind kind = outlines ? PENDING_LINES : quads ? PENDING_QUADS : PENDING_TRIANGLES;
    if (!gathering.pending.empty() && gathering.pendingKind != kind) flushVertices();
    gathering.pendingKind = kind;
    const std::vector<LayerVertex>& block = gathering.block;
    if (kind == PENDING_QUADS) {
        gathering.pending.insert(gathering.pending.end(), block.begin(), block.end() - static_cast<std::ptrdiff_t>(block.size() % 4));
    } else {
        assemblePrimitives(gathering.blockMode, block, outlines, gathering.pending);
    }
}

void flushVertices()
{
    LayerGathering& gathering = layer.gathering;
    if (gathering.pending.empty()) return;
    drawStream(gathering.pendingKind, gathering.pending);
    gathering.pending.clear();
}
