// A bounds-checked cursor over a whole .3ds file held in memory, with the stack of chunks
// the walk has entered. Every read is checked against the end of the chunk it belongs to;
// a failed read fills the LoadError (file, byte offset, chunk id, what against what) and
// returns false. The cursor neither owns nor copies the bytes: they must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LoadError;

// One chunk as found in the file: start is the offset of its header, end the offset just
// past its last byte (start + declared length).
struct ChunkHeader {
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t dataStart() const { return start + 6; }
};

class ChunkCursor {
public:
    ChunkCursor(const std::uint8_t* data, std::size_t size, const std::string& fileName, LoadError& error);

    std::size_t position() const { return offset; }
    std::size_t size() const { return fileSize; }
    const std::string& fileName() const { return file; }
    bool failed() const { return hasFailed; }

    // The next chunk inside the innermost open chunk, closing every open chunk whose end the
    // position has reached. False when fewer than depth chunks remain open (the chunk the
    // caller walks has ended; depth 0 walks to the end of the file) or on a malformed header;
    // failed() tells the two apart. A header must have 6 bytes, a length of at least 6 and
    // an end inside its parent.
    bool next(std::size_t depth, ChunkHeader& header);
    // Opens the chunk: the walk goes on at the position, meeting its sub-chunks next, and
    // next() checks them against its end. Returns the depth to pass to next() for a walk
    // that ends with this chunk.
    std::size_t enter(const ChunkHeader& header);
    // Resumes at the chunk's end, passing over what is left of it.
    void skip(const ChunkHeader& header) { offset = header.end; }
    std::size_t depth() const { return openChunks.size(); }

    // Field reads inside chunk: each fails when the field would pass the chunk's end. what
    // names the field in the message.
    bool readU8(const ChunkHeader& chunk, std::uint8_t& value, const char* what);
    bool readU16(const ChunkHeader& chunk, std::uint16_t& value, const char* what);
    bool readI16(const ChunkHeader& chunk, std::int16_t& value, const char* what);
    bool readU32(const ChunkHeader& chunk, std::uint32_t& value, const char* what);
    bool readFloat(const ChunkHeader& chunk, float& value, const char* what);
    bool readFloats(const ChunkHeader& chunk, float* values, int count, const char* what);
    // A zero-terminated name of at most 255 bytes, its terminator inside the chunk.
    bool readName(const ChunkHeader& chunk, std::string& name, const char* what);
    bool skipBytes(const ChunkHeader& chunk, std::size_t count, const char* what);
    // An unsigned 16-bit count (up to 65535) of items of itemSize bytes each; the items must
    // fit in what is left of the chunk, so nothing is allocated that the file cannot fill.
    bool readCount(const ChunkHeader& chunk, std::size_t itemSize, std::uint16_t& count, const char* what);
    // Bytes left in the chunk after the position.
    std::size_t bytesLeft(const ChunkHeader& chunk) const { return offset < chunk.end ? chunk.end - offset : 0; }

    // Fills the error and returns false; offset -1 leaves out the byte, chunkId -1 the chunk.
    bool fail(long long byteOffset, int chunkId, const std::string& text);

    // Little-endian assembly, shared with code that reads fixed records.
    static std::uint16_t u16At(const std::uint8_t* bytes);
    static std::uint32_t u32At(const std::uint8_t* bytes);
    static float floatAt(const std::uint8_t* bytes);

private:
    bool need(const ChunkHeader& chunk, std::size_t count, const char* what);

    const std::uint8_t* bytes;
    std::size_t fileSize;
    std::string file;
    LoadError& error;
    std::size_t offset = 0;
    bool hasFailed = false;
    std::vector<ChunkHeader> openChunks;
};

// "0x4D4D"
std::string chunkIdText(std::uint16_t id);
