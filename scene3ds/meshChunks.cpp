#include "scene3ds/meshChunks.h"

#include "render/mesh.h"
#include "scene3ds/chunkCursor.h"
#include "scene3ds/chunkIds.h"

#include <string>

namespace {

// Where the last face list started, so a bad index can be reported at its own bytes.
struct FaceListPlace {
    std::size_t facesStart = 0;
    std::uint16_t chunkId = CHUNK_FACE_ARRAY;
    bool seen = false;
};

bool readPointArray(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    std::uint16_t count;
    if (!cursor.readCount(chunk, 12, count, "point count")) return false;
    if (count == 0) {
        cursor.skip(chunk);
        return true;
    }
    mesh.allocVertices(count, 0);
    if (!cursor.readFloats(chunk, mesh.positions[0], 3 * count, "the points")) return false;
    cursor.skip(chunk);
    return true;
}

// The face array is entered, not skipped: its material and smoothing groups follow the
// face list and are met as the next chunks of the mesh.
bool readFaceArray(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& chunk, FaceListPlace& place)
{
    std::uint16_t count;
    if (!cursor.readCount(chunk, 8, count, "face count")) return false;
    place.facesStart = cursor.position();
    place.seen = true;
    if (count > 0) {
        mesh.allocFaces(count, count);
        for (int i = 0; i < count; ++i) {
            std::uint16_t corner[3];
            std::uint16_t flags;
            // The flags are read past and not kept.
            if (!cursor.readU16(chunk, corner[0], "face corner a") || !cursor.readU16(chunk, corner[1], "face corner b") ||
                !cursor.readU16(chunk, corner[2], "face corner c") || !cursor.readU16(chunk, flags, "face flags")) {
                return false;
            }
            for (int c = 0; c < 3; ++c) mesh.faces[3 * i + c] = corner[c];
        }
        for (int i = 0; i < 3 * count; ++i) mesh.texFaces[i] = mesh.faces[i];
    }
    cursor.enter(chunk);
    return true;
}

bool readTexVerts(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    std::uint16_t count;
    if (!cursor.readCount(chunk, 8, count, "mapping count")) return false;
    if (count == 0) {
        cursor.skip(chunk);
        return true;
    }
    mesh.allocVertices(0, count);
    for (int i = 0; i < count; ++i) {
        float uv[2];
        if (!cursor.readFloats(chunk, uv, 2, "the mapping coordinates")) return false;
        // v is flipped because texture row 0 is the top of the picture.
        mesh.texCoords[3 * i] = uv[0];
        mesh.texCoords[3 * i + 1] = 1.0f - uv[1];
        mesh.texCoords[3 * i + 2] = 0.0f;
    }
    cursor.skip(chunk);
    return true;
}

bool readLocalAxes(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    float values[12];
    if (!cursor.readFloats(chunk, values, 12, "the local axes and origin")) return false;
    // Axis k goes into row k of the upper 3 x 3 block.
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) mesh.localMatrix[4 * c + k] = values[3 * k + c];
    }
    mesh.localMatrix[12] = values[9];
    mesh.localMatrix[13] = values[10];
    mesh.localMatrix[14] = values[11];
    mesh.localMatrix[3] = 0.0f;
    mesh.localMatrix[7] = 0.0f;
    mesh.localMatrix[11] = 0.0f;
    mesh.localMatrix[15] = 1.0f;
    cursor.skip(chunk);
    return true;
}

bool readMeshChunk(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& chunk, FaceListPlace& place)
{
    switch (chunk.id) {
    case CHUNK_POINT_ARRAY: return readPointArray(mesh, cursor, chunk);
    case CHUNK_FACE_ARRAY: return readFaceArray(mesh, cursor, chunk, place);
    case CHUNK_MATERIAL_GROUP: {
        // A later group replaces an earlier one; the group's face list is not read.
        std::string name;
        if (!cursor.readName(chunk, name, "the material group's name")) return false;
        mesh.materialName = name;
        cursor.skip(chunk);
        return true;
    }
    case CHUNK_TEX_VERTS: return readTexVerts(mesh, cursor, chunk);
    case CHUNK_LOCAL_AXES: return readLocalAxes(mesh, cursor, chunk);
    default:
        cursor.skip(chunk);
        return true;
    }
}

} // namespace

bool readMeshChunks(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& meshChunk)
{
    FaceListPlace place;
    const std::size_t depth = cursor.enter(meshChunk);
    ChunkHeader chunk;
    while (cursor.next(depth, chunk)) {
        if (!readMeshChunk(mesh, cursor, chunk, place)) return false;
    }
    mesh.markChanged();
    if (cursor.failed()) return false;

    // Checked once the whole mesh is read, since the points may follow the faces.
    for (int i = 0; i < 3 * mesh.faceCount; ++i) {
        const int vertex = mesh.faces[i];
        if (vertex >= mesh.vertexCount) {
            const int face = i / 3;
            return cursor.fail(static_cast<long long>(place.facesStart + 8 * face), CHUNK_FACE_ARRAY,
                               "face " + std::to_string(face) + " names vertex " + std::to_string(vertex) +
                                   " but the mesh has " + std::to_string(mesh.vertexCount) + " vertices");
        }
    }
    return true;
}
