// The sub-chunks of a triangle-mesh chunk (0x4100): points, faces, material group, mapping
// and local axes, read into one Mesh. Needs no GL.
#pragma once

class ChunkCursor;
class Mesh;
struct ChunkHeader;

// Reads every sub-chunk of the mesh chunk the walk has just met (cursor right after its
// header) and leaves the cursor at its end. Face indices are checked against the vertex
// count once the whole chunk is read. False with the error filled on malformed data.
bool readMeshChunks(Mesh& mesh, ChunkCursor& cursor, const ChunkHeader& meshChunk);

