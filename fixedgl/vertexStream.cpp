#include "fixedgl/vertexStream.h"

#include "fixedgl/glesDriver.h"
#include "fixedgl/layerState.h"
#include "fixedgl/shaderPrograms.h"

#include <array>
#include <cstddef>
#include <unordered_map>
#include <vector>

namespace {

struct LayerVertex {
    float position[4];
    float normal[3];
    float color[4];
    float texCoord[layerTextureUnits][2];
};
static_assert(sizeof(LayerVertex) == 15 * sizeof(float), "the vertex is packed as the attribute pointers say");

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

// A display list: its triangles in a buffer of their own, which attributes it sets (the others
// come from the current ones when it is called), and the values it leaves current.
struct RecordedList {
    GLuint buffer = 0;
    GLuint vertexArray = 0;
    std::vector<LayerVertex> triangles;   // kept for drawing it as wire frames
    int specified = 0;
    VertexAttributes last;
};

std::unordered_map<GLuint, RecordedList> lists;
GLuint nextListName = 1;
GLuint recording = 0;        // the list being recorded; 0: none
VertexAttributes listAttributes;
int listSpecified = 0;

// How the gathered vertices go to the driver: as triangles, as quads (four corners each, two
// triangles through the quad index buffer), or as lines.
enum PendingKind {
    PENDING_TRIANGLES,
    PENDING_QUADS,
    PENDING_LINES,
};

GLenum blockMode = GL_TRIANGLES;
std::vector<LayerVertex> block;      // the vertices since glBegin
std::vector<LayerVertex> pending;    // assembled, waiting to be drawn
PendingKind pendingKind = PENDING_TRIANGLES;

// The stream's buffer, written at increasing offsets and given new storage when full, so a
// draw never waits for the driver to finish with an earlier one. Each draw writes only what
// the program reads, packed: the position (three floats when every w is 1), then the normal,
// the colour and each unit's coordinates as read. A browser copies every byte of it to its
// GPU process, so the bytes are worth saving.
GLuint streamBuffer = 0;
GLuint streamArray = 0;
GLsizeiptr streamCapacity = 4 << 20;
GLsizeiptr streamOffset = 0;
int streamEnabled = 0;               // the stream's arrays enabled, as bits 1 << LayerAttribute
std::vector<float> packed;

// The generic attribute values last given to the driver, which display lists take what they
// do not set from; genericKnown false: none given since the context was made.
std::array<std::array<float, 4>, attributeCount> generic{};
std::array<bool, attributeCount> genericKnown{};

void setGeneric(int attribute, const std::array<float, 4>& value)
{
    const std::size_t a = static_cast<std::size_t>(attribute);
    if (genericKnown[a] && generic[a] == value) return;
    gles.vertexAttrib4fv(static_cast<GLuint>(attribute), value.data());
    generic[a] = value;
    genericKnown[a] = true;
}

// Quads as triangles 0 1 2, 0 2 3 of every four vertices, the diagonal GL splits them on.
GLuint quadIndexBuffer = 0;
constexpr int quadsPerDraw = 16384;  // the most a 16-bit index reaches

void pointAttributes(int specified)
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
    const GLsizei stride = static_cast<GLsizei>(layout.floats * static_cast<int>(sizeof(float)));
    // The arrays to switch, as a mask: GCC 12.2 at -O2 turns `wanted != ((enabled & bit) != 0)`
    // in this loop into the enabled bit alone.
    const int switched = layout.reads ^ streamEnabled;
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
    streamEnabled = layout.reads;
}

VertexAttributes currentAttributes()
{
    const LayerAttributes& a = layer.attributes;
    VertexAttributes current;
    for (int c = 0; c < 3; ++c) current.normal[c] = a.normal[static_cast<std::size_t>(c)];
    for (int c = 0; c < 4; ++c) current.color[c] = a.color[static_cast<std::size_t>(c)];
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        current.texCoord[unit][0] = a.texCoord[static_cast<std::size_t>(unit)][0];
        current.texCoord[unit][1] = a.texCoord[static_cast<std::size_t>(unit)][1];
    }
    return current;
}

void makeCurrent(const VertexAttributes& values, int which)
{
    LayerAttributes& a = layer.attributes;
    if (which & SPECIFIED_NORMAL) a.normal = {values.normal[0], values.normal[1], values.normal[2]};
    if (which & SPECIFIED_COLOR) a.color = {values.color[0], values.color[1], values.color[2], values.color[3]};
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        if (which & (SPECIFIED_TEXCOORD0 << unit))
            a.texCoord[static_cast<std::size_t>(unit)] = {values.texCoord[unit][0], values.texCoord[unit][1]};
    }
}

// The window-space orientation of a polygon: true for the face GL culls.
bool culled(const LayerVertex* corners, int count, const Matrix4& mvp)
{
    const LayerAttributes& a = layer.attributes;
    if (!a.cullFace) return false;
    if (a.cullMode == GL_FRONT_AND_BACK) return true;
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
    return a.cullMode == GL_BACK ? !front : front;
}

// A polygon's edges as lines; flat shaded, every edge takes the polygon's last vertex's
// colour and normal, as the polygon would.
void appendOutline(const LayerVertex* corners, int count, const Matrix4& mvp, std::vector<LayerVertex>& lines)
{
    if (culled(corners, count, mvp)) return;
    const bool flat = layer.attributes.shadeModel == GL_FLAT;
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

// A glBegin/glEnd block's primitives: triangles as they are, quads as two triangles that both
// end with the quad's last vertex, or every polygon's outline.
void assemble(GLenum mode, const std::vector<LayerVertex>& vertices, bool outlines, std::vector<LayerVertex>& out)
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
            if (layer.attributes.shadeModel == GL_FLAT) {
                LayerVertex& provoking = out[out.size() - 4];
                for (int c = 0; c < 3; ++c) provoking.normal[c] = v[3].normal[c];
                for (int c = 0; c < 4; ++c) provoking.color[c] = v[3].color[c];
            }
        }
    }
}

void drawStream(PendingKind kind, const std::vector<LayerVertex>& vertices)
{
    if (vertices.empty()) return;
    const int reads = useLayerProgram(layer.attributes.shadeModel == GL_FLAT);
    if (!reads) return;
    syncDrawingState();
    const PackedLayout layout = layoutFor(reads, vertices);
    pack(layout, vertices);
    const GLsizeiptr vertexBytes = layout.floats * static_cast<GLsizeiptr>(sizeof(float));
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(packed.size() * sizeof(float));
    gles.bindVertexArray(streamArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, streamBuffer);
    if (streamOffset + bytes > streamCapacity) {
        while (bytes > streamCapacity) streamCapacity *= 2;
        gles.bufferData(GL_ARRAY_BUFFER, streamCapacity, nullptr, GL_STREAM_DRAW);
        streamOffset = 0;
    }
    gles.bufferSubData(GL_ARRAY_BUFFER, streamOffset, bytes, packed.data());
    if (kind == PENDING_QUADS) {
        const int quads = static_cast<int>(vertices.size() / 4);
        for (int first = 0; first < quads; first += quadsPerDraw) {
            const int count = quads - first < quadsPerDraw ? quads - first : quadsPerDraw;
            pointStream(layout, streamOffset + 4 * first * vertexBytes);
            gles.drawElements(GL_TRIANGLES, 6 * count, GL_UNSIGNED_SHORT, nullptr);
        }
    } else {
        pointStream(layout, streamOffset);
        gles.drawArrays(kind == PENDING_LINES ? GL_LINES : GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    }
    streamOffset += bytes;
}

} // namespace

void startVertexStream()
{
    for (auto& entry : lists) {
        // Buffers of a context that is gone are not ours to delete.
        entry.second.buffer = entry.second.vertexArray = 0;
    }
    gles.genBuffers(1, &streamBuffer);
    gles.genVertexArrays(1, &streamArray);
    gles.bindVertexArray(streamArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, streamBuffer);
    streamOffset = 0;
    gles.bufferData(GL_ARRAY_BUFFER, streamCapacity, nullptr, GL_STREAM_DRAW);
    streamEnabled = 0;
    genericKnown = {};
    std::vector<GLushort> indices(6 * static_cast<std::size_t>(quadsPerDraw));
    for (std::size_t quad = 0; quad < static_cast<std::size_t>(quadsPerDraw); ++quad) {
        const GLushort corner = static_cast<GLushort>(4 * quad);
        const GLushort order[6] = {0, 1, 2, 0, 2, 3};
        for (std::size_t k = 0; k < 6; ++k) indices[6 * quad + k] = static_cast<GLushort>(corner + order[k]);
    }
    gles.genBuffers(1, &quadIndexBuffer);
    gles.bindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer);   // kept by the stream's vertex array
    gles.bufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)),
                    indices.data(), GL_STATIC_DRAW);
    pending.clear();
    block.clear();
}

void emitVertex(float x, float y, float z, float w)
{
    const VertexAttributes attributes = recording ? listAttributes : currentAttributes();
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
    block.push_back(vertex);
}

void setCurrentNormal(float x, float y, float z)
{
    if (recording) {
        listAttributes.normal[0] = x;
        listAttributes.normal[1] = y;
        listAttributes.normal[2] = z;
        listSpecified |= SPECIFIED_NORMAL;
    } else {
        layer.attributes.normal = {x, y, z};
    }
}

void setCurrentColor(float r, float g, float b, float a)
{
    if (recording) {
        listAttributes.color[0] = r;
        listAttributes.color[1] = g;
        listAttributes.color[2] = b;
        listAttributes.color[3] = a;
        listSpecified |= SPECIFIED_COLOR;
    } else {
        layer.attributes.color = {r, g, b, a};
    }
}

void setCurrentTexCoord(int unit, float s, float t)
{
    if (recording) {
        listAttributes.texCoord[unit][0] = s;
        listAttributes.texCoord[unit][1] = t;
        listSpecified |= SPECIFIED_TEXCOORD0 << unit;
    } else {
        layer.attributes.texCoord[static_cast<std::size_t>(unit)] = {s, t};
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
    blockMode = mode;
    block.clear();
}

void endPrimitive()
{
    if (!layer.insideBegin) {
        layerError(GL_INVALID_OPERATION);
        return;
    }
    layer.insideBegin = false;
    if (recording) {
        assemble(blockMode, block, false, lists[recording].triangles);
        return;
    }
    // Smooth quads go as they are, drawn through the quad indices; flat ones are split here,
    // each half taking the last corner's colour.
    const bool outlines = layer.attributes.polygonMode == GL_LINE;
    const bool quads = blockMode == GL_QUADS && layer.attributes.shadeModel != GL_FLAT;
    const PendingKind kind = outlines ? PENDING_LINES : quads ? PENDING_QUADS : PENDING_TRIANGLES;
    if (!pending.empty() && pendingKind != kind) flushVertices();
    pendingKind = kind;
    if (kind == PENDING_QUADS) {
        pending.insert(pending.end(), block.begin(), block.end() - static_cast<std::ptrdiff_t>(block.size() % 4));
    } else {
        assemble(blockMode, block, outlines, pending);
    }
}

void flushVertices()
{
    if (pending.empty()) return;
    drawStream(pendingKind, pending);
    pending.clear();
}

GLuint generateLists(GLsizei range)
{
    if (range <= 0) return 0;
    const GLuint first = nextListName;
    nextListName += static_cast<GLuint>(range);
    return first;
}

void deleteLists(GLuint first, GLsizei range)
{
    for (GLsizei i = 0; i < range; ++i) {
        auto found = lists.find(first + static_cast<GLuint>(i));
        if (found == lists.end()) continue;
        if (found->second.buffer) gles.deleteBuffers(1, &found->second.buffer);
        if (found->second.vertexArray) gles.deleteVertexArrays(1, &found->second.vertexArray);
        lists.erase(found);
    }
}

void startList(GLuint list, GLenum mode)
{
    if (recording || list == 0 || mode != GL_COMPILE) {
        layerError(recording ? GL_INVALID_OPERATION : list == 0 ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    flushVertices();
    deleteLists(list, 1);
    lists[list] = RecordedList{};
    recording = list;
    listAttributes = currentAttributes();
    listSpecified = 0;
}

void finishList()
{
    if (!recording) {
        layerError(GL_INVALID_OPERATION);
        return;
    }
    RecordedList& list = lists[recording];
    list.specified = listSpecified;
    list.last = listAttributes;
    recording = 0;
    if (list.triangles.empty()) return;
    gles.genBuffers(1, &list.buffer);
    gles.genVertexArrays(1, &list.vertexArray);
    gles.bindVertexArray(list.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, list.buffer);
    gles.bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(list.triangles.size() * sizeof(LayerVertex)),
                    list.triangles.data(), GL_STATIC_DRAW);
    pointAttributes(list.specified);
}

void callList(GLuint name)
{
    auto found = lists.find(name);
    if (found == lists.end()) return;
    const RecordedList& list = found->second;
    flushVertices();
    if (!list.triangles.empty()) {
        if (layer.attributes.polygonMode == GL_LINE) {
            // The triangles take the attributes they did not set from the current ones.
            const VertexAttributes current = currentAttributes();
            std::vector<LayerVertex> triangles = list.triangles;
            for (LayerVertex& v : triangles) {
                if (!(list.specified & SPECIFIED_NORMAL)) for (int c = 0; c < 3; ++c) v.normal[c] = current.normal[c];
                if (!(list.specified & SPECIFIED_COLOR)) for (int c = 0; c < 4; ++c) v.color[c] = current.color[c];
            }
            pendingKind = PENDING_LINES;
            assemble(GL_TRIANGLES, triangles, true, pending);
            flushVertices();
        } else if (list.vertexArray) {
            const int reads = useLayerProgram(layer.attributes.shadeModel == GL_FLAT);
            if (reads) {
                // What the list did not set, and the program reads, from the current attributes.
                syncDrawingState();
                const VertexAttributes current = currentAttributes();
                const int fromCurrent = reads & ~list.specified & ~(1 << ATTRIBUTE_POSITION);
                gles.bindVertexArray(list.vertexArray);
                if (fromCurrent & SPECIFIED_NORMAL) {
                    setGeneric(ATTRIBUTE_NORMAL, {current.normal[0], current.normal[1], current.normal[2], 1.0f});
                }
                if (fromCurrent & SPECIFIED_COLOR) {
                    setGeneric(ATTRIBUTE_COLOR, {current.color[0], current.color[1], current.color[2], current.color[3]});
                }
                for (int unit = 0; unit < layerTextureUnits; ++unit) {
                    if (!(fromCurrent & (SPECIFIED_TEXCOORD0 << unit))) continue;
                    setGeneric(ATTRIBUTE_TEXCOORD0 + unit, {current.texCoord[unit][0], current.texCoord[unit][1], 0.0f, 1.0f});
                }
                gles.drawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(list.triangles.size()));
            }
        }
    }
    // What the list set stays current after it, as GL leaves it.
    makeCurrent(list.last, list.specified);
}

bool recordingList() { return recording != 0; }
