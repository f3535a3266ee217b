#include "tools/fuzz/chunkTree.h"

#include "scene3ds/chunkLayout.h"
#include "tools/writer3ds/writer3ds.h"

namespace writer3ds {

namespace {

std::uint32_t readU32(const std::uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

bool parseSequence(const std::uint8_t* bytes, std::size_t begin, std::size_t end, std::vector<ChunkNode>& chunks)
{
    std::size_t at = begin;
    while (at < end) {
        if (end - at < 6) return false;
        const std::uint32_t length = readU32(bytes + at + 2);
        if (length < 6 || length > end - at) return false;
        ChunkNode chunk;
        chunk.id = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        chunk.offset = at;
        const std::uint8_t* data = bytes + at + 6;
        const std::size_t dataSize = length - 6;
        const long fixed = subChunkStart(chunk.id, data, dataSize);
        if (fixed >= 0 && parseSequence(bytes, at + 6 + fixed, at + length, chunk.children)) {
            chunk.container = true;
            chunk.data.assign(data, data + fixed);
        } else {
            chunk.children.clear();
            chunk.data.assign(data, data + dataSize);
        }
        chunks.push_back(std::move(chunk));
        at += length;
    }
    return true;
}

void writeSequence(ChunkWriter& writer, const std::vector<ChunkNode>& chunks)
{
    for (const ChunkNode& chunk : chunks) {
        writer.beginChunk(chunk.id);
        writer.writeBytes(chunk.data.data(), chunk.data.size());
        writeSequence(writer, chunk.children);
        writer.endChunk();
    }
}

void collect(std::vector<ChunkNode>& chunks, std::vector<ChunkNode*>& out)
{
    for (ChunkNode& chunk : chunks) {
        out.push_back(&chunk);
        collect(chunk.children, out);
    }
}

} // namespace

bool parseChunkTree(const std::uint8_t* bytes, std::size_t size, std::vector<ChunkNode>& chunks)
{
    chunks.clear();
    return parseSequence(bytes, 0, size, chunks);
}

std::vector<std::uint8_t> chunkTreeBytes(const std::vector<ChunkNode>& chunks)
{
    ChunkWriter writer;
    writeSequence(writer, chunks);
    return writer.bytes();
}

ChunkNode* findChunk(std::vector<ChunkNode>& chunks, std::uint16_t id)
{
    for (ChunkNode* chunk : allChunks(chunks)) {
        if (chunk->id == id) return chunk;
    }
    return nullptr;
}

std::vector<ChunkNode*> allChunks(std::vector<ChunkNode>& chunks)
{
    std::vector<ChunkNode*> out;
    collect(chunks, out);
    return out;
}

} // namespace writer3ds
