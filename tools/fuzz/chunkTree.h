// A .3ds file as a tree of chunks, for tools that rearrange whole chunks: the scene
// fuzzer's mutator and the tests that save the demo's scenes as modelling tools might.
// Written back, every length is recomputed from what the chunk holds. Needs no GL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace writer3ds {

struct ChunkNode {
    std::uint16_t id = 0;
    std::size_t offset = 0;            // where the chunk started in the parsed bytes
    // The chunk's own data: all of it for a leaf; for a container, the fixed part before
    // its sub-chunks (a named object's name, a light's position, a face array's faces).
    std::vector<std::uint8_t> data;
    bool container = false;
    std::vector<ChunkNode> children;
};

// Parses bytes as a sequence of chunks, the containers and their fixed parts as the reader
// knows them (scene3ds/chunkLayout.h). A container whose contents do not split exactly
// into sub-chunks is kept as a leaf. False when the top level itself does not: a length
// below 6 or past the end.
bool parseChunkTree(const std::uint8_t* bytes, std::size_t size, std::vector<ChunkNode>& chunks);

// The chunks written back, each length recomputed.
std::vector<std::uint8_t> chunkTreeBytes(const std::vector<ChunkNode>& chunks);

// The first chunk with this id, depth first in file order, or null.
ChunkNode* findChunk(std::vector<ChunkNode>& chunks, std::uint16_t id);
// Every chunk, depth first in file order.
std::vector<ChunkNode*> allChunks(std::vector<ChunkNode>& chunks);

} // namespace writer3ds
