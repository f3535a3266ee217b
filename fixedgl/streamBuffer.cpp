#include "fixedgl/streamBuffer.h"

#include "fixedgl/glesDriver.h"
#include "fixedgl/shaderPrograms.h"

#include <cstddef>

namespace {

static_assert(sizeof(LayerVertex) == 15 * sizeof(float), "the vertex is packed as the attribute pointers say");

constexpr int quadsPerDraw = 16384;  // the most a 16-bit index reaches

// One packed vertex layout: which attributes, how many floats each, where in the vertex.
struct PackedLayout {
    int reads = 0;
    int size[attributeCount] = {};
    int floats = 0;
};

PackedLayout layoutFor(int reads, const std::vector<LayerVertex>& vertices)
{
    PackedLayout layout;
    layout.reads = reads;
    bool unitW = true;
    for (const LayerVertex& v : vertices) unitW = unitW && v.position[3] == 1.0f;
    const int sizes[attributeCount] = {unitW ? 3 : 4, 3, 4, 2, 2};
    for (int a = 0; a < attributeCount; ++a) {
        if (!(reads & (1 << a))) continue;
        layout.size[a] = sizes[a];
        layout.floats += sizes[a];
    }
    return layout;
}

void pack(const PackedLayout& layout, const std::vector<LayerVertex>& vertices)
{
    std::vector<float>& packed = layer.stream.packed;
    packed.resize(vertices.size() * static_cast<std::size_t>(layout.floats));
    float* out = packed.data();
    for (const LayerVertex& v : vertices) {
        const float* sources[attributeCount] = {v.position, v.normal, v.color, v.texCoord[0], v.texCoord[1]};
        for (int a = 0; a < attributeCount; ++a) {
            for (int c = 0; c < layout.size[a]; ++c) *out++ = sources[a][c];
        }
    }
}

// The stream's arrays at `offset` in its buffer, laid out as `layout`.
void pointStream(const PackedLayout& layout, GLsizeiptr offset)
{
    LayerStream& stream = layer.stream;
    const GLsizei stride = static_cast<GLsizei>(layout.floats * static_cast<int>(sizeof(float)));
    // The arrays to switch, as a mask: GCC 12.2 at -O2 turns `wanted != ((enabled & bit) != 0)`
    // in this loop into the enabled bit alone.
    const int switched = layout.reads ^ stream.enabled;
    GLsizeiptr at = offset;
    for (int a = 0; a < attributeCount; ++a) {
        const GLuint index = static_cast<GLuint>(a);
        const bool wanted = (layout.reads & (1 << a)) != 0;
        if (switched & (1 << a)) {
            if (wanted) gles.enableVertexAttribArray(index);
            else gles.disableVertexAttribArray(index);
        }
        if (!wanted) continue;
        gles.vertexAttribPointer(index, layout.size[a], GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(at));
        at += layout.size[a] * static_cast<GLsizeiptr>(sizeof(float));
    }
    stream.enabled = layout.reads;
}

} // namespace

void startStreamBuffer()
{
    LayerStream& stream = layer.stream;
    gles.genBuffers(1, &stream.buffer);
    gles.genVertexArrays(1, &stream.vertexArray);
    gles.bindVertexArray(stream.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, stream.buffer);
    gles.bufferData(GL_ARRAY_BUFFER, stream.capacity, nullptr, GL_STREAM_DRAW);
    std::vector<GLushort> indices(6 * static_cast<std::size_t>(quadsPerDraw));
    for (std::size_t quad = 0; quad < static_cast<std::size_t>(quadsPerDraw); ++quad) {
        const GLushort corner = static_cast<GLushort>(4 * quad);
        const GLushort order[6] = {0, 1, 2, 0, 2, 3};
        for (std::size_t k = 0; k < 6; ++k) indices[6 * quad + k] = static_cast<GLushort>(corner + order[k]);
    }
    gles.genBuffers(1, &stream.quadIndexBuffer);
    gles.bindBuffer(GL_ELEMENT_ARRAY_BUFFER, stream.quadIndexBuffer);   // kept by the stream's vertex array
    gles.bufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)),
                    indices.data(), GL_STATIC_DRAW);
}

void drawStream(PendingKind kind, const std::vector<LayerVertex>& vertices)
{
    if (vertices.empty()) return;
    const int reads = useLayerProgram(layer.attributes.lighting.shadeModel == GL_FLAT);
    if (!reads) return;
    syncDrawingState();
    LayerStream& stream = layer.stream;
    const PackedLayout layout = layoutFor(reads, vertices);
    pack(layout, vertices);
    const GLsizeiptr vertexBytes = layout.floats * static_cast<GLsizeiptr>(sizeof(float));
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(stream.packed.size() * sizeof(float));
    gles.bindVertexArray(stream.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, stream.buffer);
    if (stream.offset + bytes > stream.capacity) {
        while (bytes > stream.capacity) stream.capacity *= 2;
        gles.bufferData(GL_ARRAY_BUFFER, stream.capacity, nullptr, GL_STREAM_DRAW);
        stream.offset = 0;
    }
    gles.bufferSubData(GL_ARRAY_BUFFER, stream.offset, bytes, stream.packed.data());
    if (kind == PENDING_QUADS) {
        const int quads = static_cast<int>(vertices.size() / 4);
        for (int first = 0; first < quads; first += quadsPerDraw) {
            const int count = quads - first < quadsPerDraw ? quads - first : quadsPerDraw;
            pointStream(layout, stream.offset + 4 * first * vertexBytes);
            gles.drawElements(GL_TRIANGLES, 6 * count, GL_UNSIGNED_SHORT, nullptr);
        }
    } else {
        pointStream(layout, stream.offset);
        gles.drawArrays(kind == PENDING_LINES ? GL_LINES : GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    }
    stream.offset += bytes;
}

void setGeneric(int attribute, const std::array<float, 4>& value)
{
    LayerStream& stream = layer.stream;
    const std::size_t a = static_cast<std::size_t>(attribute);
    if (stream.genericKnown[a] && stream.generic[a] == value) return;
    gles.vertexAttrib4fv(static_cast<GLuint>(attribute), value.data());
    stream.generic[a] = value;
    stream.genericKnown[a] = true;
}

void pointWholeVertices(int specified)
{
    const GLsizei stride = sizeof(LayerVertex);
    gles.enableVertexAttribArray(ATTRIBUTE_POSITION);
    gles.vertexAttribPointer(ATTRIBUTE_POSITION, 4, GL_FLOAT, GL_FALSE, stride,
                             reinterpret_cast<const void*>(offsetof(LayerVertex, position)));
    const struct {
        int attribute;
        int bit;
        int size;
        std::size_t offset;
    } others[] = {
        {ATTRIBUTE_NORMAL, SPECIFIED_NORMAL, 3, offsetof(LayerVertex, normal)},
        {ATTRIBUTE_COLOR, SPECIFIED_COLOR, 4, offsetof(LayerVertex, color)},
        {ATTRIBUTE_TEXCOORD0, SPECIFIED_TEXCOORD0, 2, offsetof(LayerVertex, texCoord)},
        {ATTRIBUTE_TEXCOORD1, SPECIFIED_TEXCOORD1, 2, offsetof(LayerVertex, texCoord) + 2 * sizeof(float)},
    };
    for (const auto& other : others) {
        const GLuint index = static_cast<GLuint>(other.attribute);
        if (specified & other.bit) {
            gles.enableVertexAttribArray(index);
            gles.vertexAttribPointer(index, other.size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(other.offset));
        } else {
            gles.disableVertexAttribArray(index);
        }
    }
}
