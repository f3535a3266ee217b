#include "fixedgl/displayLists.h"

#include "fixedgl/glesDriver.h"
#include "fixedgl/layerState.h"
#include "fixedgl/shaderPrograms.h"
#include "fixedgl/streamBuffer.h"
#include "fixedgl/vertexGathering.h"

GLuint generateLists(GLsizei range)
{
    if (range <= 0) return 0;
    const GLuint first = layer.lists.nextName;
    layer.lists.nextName += static_cast<GLuint>(range);
    return first;
}

void deleteLists(GLuint first, GLsizei range)
{
    std::unordered_map<GLuint, RecordedList>& lists = layer.lists.lists;
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
    LayerLists& lists = layer.lists;
    if (lists.recording || list == 0 || mode != GL_COMPILE) {
        layerError(lists.recording ? GL_INVALID_OPERATION : list == 0 ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    flushVertices();
    deleteLists(list, 1);
    lists.lists[list] = RecordedList{};
    lists.recording = list;
    lists.attributes = currentVertexAttributes();
    lists.specified = 0;
}

void finishList()
{
    LayerLists& lists = layer.lists;
    if (!lists.recording) {
        layerError(GL_INVALID_OPERATION);
        return;
    }
    RecordedList& list = lists.lists[lists.recording];
    list.specified = lists.specified;
    list.last = lists.attributes;
    lists.recording = 0;
    if (list.triangles.empty()) return;
    gles.genBuffers(1, &list.buffer);
    gles.genVertexArrays(1, &list.vertexArray);
    gles.bindVertexArray(list.vertexArray);
    gles.bindBuffer(GL_ARRAY_BUFFER, list.buffer);
    gles.bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(list.triangles.size() * sizeof(LayerVertex)),
                    list.triangles.data(), GL_STATIC_DRAW);
    pointWholeVertices(list.specified);
}

void callList(GLuint name)
{
    auto found = layer.lists.lists.find(name);
    if (found == layer.lists.lists.end()) return;
    const RecordedList& list = found->second;
    flushVertices();
    if (!list.triangles.empty()) {
        if (layer.attributes.polygon.mode == GL_LINE) {
            // The triangles take the attributes they did not set from the current ones.
            const VertexAttributes current = currentVertexAttributes();
            std::vector<LayerVertex> triangles = list.triangles;
            for (LayerVertex& v : triangles) {
                if (!(list.specified & SPECIFIED_NORMAL)) for (int c = 0; c < 3; ++c) v.normal[c] = current.normal[c];
                if (!(list.specified & SPECIFIED_COLOR)) for (int c = 0; c < 4; ++c) v.color[c] = current.color[c];
            }
            layer.gathering.pendingKind = PENDING_LINES;
            assemblePrimitives(GL_TRIANGLES, triangles, true, layer.gathering.pending);
            flushVertices();
        } else if (list.vertexArray) {
            const int reads = useLayerProgram(layer.attributes.lighting.shadeModel == GL_FLAT);
            if (reads) {
                // What the list did not set, and the program reads, from the current attributes.
                syncDrawingState();
                const VertexAttributes current = currentVertexAttributes();
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
    makeVertexAttributesCurrent(list.last, list.specified);
}
