#include "scene3ds/chunkCursor.h"

#include "scene3ds/chunkLayout.h"

#include "platform/files/loadError.h"

#include <cstdio>
#include <cstring>

std::string chunkIdText(std::uint16_t id)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id));
    return text;
}

ChunkCursor::ChunkCursor(const std::uint8_t* data, std::size_t size, const std::string& fileName, LoadError& error)
    : bytes(data), fileSize(size), file(fileName), error(error)
{
}

std::uint16_t ChunkCursor::u16At(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t ChunkCursor::u32At(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

float ChunkCursor::floatAt(const std::uint8_t* at)
{
    std::uint32_t bits = u32At(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool ChunkCursor::fail(long long byteOffset, int chunkId, const std::string& text)
{
    hasFailed = true;
    return failLoad(error, file, byteOffset, chunkId, text);
}

bool ChunkCursor::next(std::size_t depth, ChunkHeader& header)
{
    if (hasFailed) return false;
    while (!openChunks.empty() && offset >= openChunks.back().end) openChunks.pop_back();
    if (openChunks.size() < depth) return false;
    if (openChunks.empty() && offset >= fileSize) return false;

    std::size_t parentEnd = openChunks.empty() ? fileSize : openChunks.back().end;
    std::string parentText = openChunks.empty()
                                 ? std::string("the file ends")
                                 : "its parent " + chunkIdText(openChunks.back().id) + " ends";
    if (parentEnd - offset < 6) {
        return fail(static_cast<long long>(offset), -1,
                    "a chunk header needs 6 bytes but " + parentText + " at byte " + std::to_string(parentEnd) +
                        ", " + std::to_string(parentEnd - offset) + " bytes on");
    }
    header.start = offset;
    header.id = u16At(bytes + offset);
    header.length = u32At(bytes + offset + 2);
    if (header.length < 6) {
        return fail(static_cast<long long>(offset), header.id,
                    "declares a length of " + std::to_string(header.length) + " bytes, less than its 6-byte header");
    }
    if (header.length > parentEnd - offset) {
        return fail(static_cast<long long>(offset), header.id,
                    "declares " + std::to_string(header.length) + " bytes but " + parentText + " at byte " +
                        std::to_string(parentEnd));
    }
    header.end = offset + header.length;
    offset += 6;
    return true;
}

std::size_t ChunkCursor::enter(const ChunkHeader& header)
{
    // The walk reads a container's fixed part itself; it must stand where the format's table
    // puts the first sub-chunk, or the reader and the table have come apart.
    const std::size_t dataStart = header.start + 6;
    const long fixed = subChunkStart(header.id, bytes + dataStart, header.end - dataStart);
    if (fixed >= 0 && offset != dataStart + static_cast<std::size_t>(fixed)) {
        fail(static_cast<long long>(offset), header.id,
             "is entered at byte " + std::to_string(offset) + " but its sub-chunks start at byte " +
                 std::to_string(dataStart + static_cast<std::size_t>(fixed)));
    }
    openChunks.push_back(header);
    return openChunks.size();
}

bool ChunkCursor::need(const ChunkHeader& chunk, std::size_t count, const char* what)
{
    if (offset <= chunk.end && chunk.end - offset >= count) return true;
    std::size_t left = offset < chunk.end ? chunk.end - offset : 0;
    return fail(static_cast<long long>(offset), chunk.id,
                std::string(what) + " needs " + std::to_string(count) + " bytes but the chunk ends at byte " +
                    std::to_string(chunk.end) + ", " + std::to_string(left) + " bytes on");
}

bool ChunkCursor::readU8(const ChunkHeader& chunk, std::uint8_t& value, const char* what)
{
    if (!need(chunk, 1, what)) return false;
    value = bytes[offset];
    offset += 1;
    return true;
}

bool ChunkCursor::readU16(const ChunkHeader& chunk, std::uint16_t& value, const char* what)
{
    if (!need(chunk, 2, what)) return false;
    value = u16At(bytes + offset);
    offset += 2;
    return true;
}

bool ChunkCursor::readI16(const ChunkHeader& chunk, std::int16_t& value, const char* what)
{
    std::uint16_t raw;
    if (!readU16(chunk, raw, what)) return false;
    value = static_cast<std::int16_t>(raw);
    return true;
}

bool ChunkCursor::readU32(const ChunkHeader& chunk, std::uint32_t& value, const char* what)
{
    if (!need(chunk, 4, what)) return false;
    value = u32At(bytes + offset);
    offset += 4;
    return true;
}

bool ChunkCursor::readFloat(const ChunkHeader& chunk, float& value, const char* what)
{
    if (!need(chunk, 4, what)) return false;
    value = floatAt(bytes + offset);
    offset += 4;
    return true;
}

bool ChunkCursor::readFloats(const ChunkHeader& chunk, float* values, int count, const char* what)
{
    if (!need(chunk, 4 * static_cast<std::size_t>(count), what)) return false;
    for (int i = 0; i < count; ++i) values[i] = floatAt(bytes + offset + 4 * i);
    offset += 4 * static_cast<std::size_t>(count);
    return true;
}

bool ChunkCursor::readName(const ChunkHeader& chunk, std::string& name, const char* what)
{
    std::size_t start = offset;
    std::size_t limit = chunk.end > offset ? chunk.end : offset;
    for (std::size_t at = start; at < limit; ++at) {
        if (bytes[at] == 0) {
            name.assign(reinterpret_cast<const char*>(bytes + start), at - start);
            offset = at + 1;
            return true;
        }
        if (at - start == 255) {
            return fail(static_cast<long long>(start), chunk.id,
                        std::string(what) + " is longer than 255 bytes (no terminator within 256)");
        }
    }
    return fail(static_cast<long long>(start), chunk.id,
                std::string(what) + " has no terminating zero byte before the chunk ends at byte " +
                    std::to_string(chunk.end));
}

bool ChunkCursor::skipBytes(const ChunkHeader& chunk, std::size_t count, const char* what)
{
    if (!need(chunk, count, what)) return false;
    offset += count;
    return true;
}

bool ChunkCursor::readCount(const ChunkHeader& chunk, std::size_t itemSize, std::uint16_t& count, const char* what)
{
    std::size_t start = offset;
    if (!readU16(chunk, count, what)) return false;
    std::size_t needed = itemSize * count;
    if (needed > bytesLeft(chunk)) {
        return fail(static_cast<long long>(start), chunk.id,
                    std::string(what) + " " + std::to_string(count) + " needs " + std::to_string(needed) +
                        " bytes but the chunk ends at byte " + std::to_string(chunk.end) + ", " +
                        std::to_string(bytesLeft(chunk)) + " bytes on");
    }
    return true;
}
