// Shared by the scene reader, playback and tool tests: scenes written by our own writer
// and read from memory, and a finder for chunk offsets in written bytes.
#pragma once

#include "platform/loadError.h"
#include "scene3ds/scene.h"
#include "tools/writer3ds/writer3ds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace fixtures {

inline ::testing::AssertionResult readScene(Scene& scene, const std::vector<std::uint8_t>& bytes)
{
    LoadError error;
    if (scene.readBytes(bytes.data(), bytes.size(), "fixture.3ds", error)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << formatLoadError(error);
}

inline ::testing::AssertionResult readScene(Scene& scene, const writer3ds::Scene& description)
{
    return readScene(scene, writer3ds::sceneBytes(description));
}

// Offset of the nth (0-based) chunk header with this id, found by walking the chunk tree
// of a file the writer made (containers known to hold sub-chunks are descended into).
inline long long chunkOffset(const std::vector<std::uint8_t>& bytes, std::uint16_t id, int nth = 0)
{
    struct Walker {
        const std::vector<std::uint8_t>& bytes;
        std::uint16_t id;
        int remaining;
        long long found = -1;
        std::uint32_t u32(std::size_t at) const
        {
            return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t(bytes[at + 3]) << 24);
        }
        void walk(std::size_t start, std::size_t end)
        {
            while (found < 0 && start + 6 <= end) {
                const std::uint16_t chunkId = static_cast<std::uint16_t>(bytes[start] | (bytes[start + 1] << 8));
                const std::uint32_t length = u32(start + 2);
                if (length < 6 || start + length > end) return;
                if (chunkId == id && remaining-- == 0) {
                    found = static_cast<long long>(start);
                    return;
                }
                std::size_t data = start + 6;
                switch (chunkId) {
                case CHUNK_NAMED_OBJECT:
                    while (data < start + length && bytes[data] != 0) ++data;
                    walk(data + 1, start + length);
                    break;
                case CHUNK_FACE_ARRAY: walk(data + 2 + 8 * (bytes[data] | (bytes[data + 1] << 8)), start + length); break;
                case CHUNK_CAMERA: walk(data + 32, start + length); break;
                case CHUNK_LIGHT: walk(data + 12, start + length); break;
                case CHUNK_MAIN: case CHUNK_EDITOR: case CHUNK_TRIANGLE_MESH: case CHUNK_MATERIAL: case CHUNK_KEYFRAMER:
                case CHUNK_AMBIENT: case CHUNK_DIFFUSE: case CHUNK_SPECULAR: case CHUNK_SHININESS:
                case CHUNK_TRANSPARENCY: case CHUNK_TEXTURE_MAP: case CHUNK_OPACITY_MAP: case CHUNK_OBJECT_NODE:
                case CHUNK_CAMERA_NODE: case CHUNK_TARGET_NODE: case CHUNK_LIGHT_NODE:
                    walk(data, start + length);
                    break;
                default: break;
                }
                start += length;
            }
        }
    } walker{bytes, id, nth};
    walker.walk(0, bytes.size());
    return walker.found;
}

// A main chunk around one container chunk (editor or keyframer) around whatever body
// writes; the body starts at byte 12.
inline std::vector<std::uint8_t> wrappedFile(std::uint16_t container,
                                             const std::function<void(writer3ds::ChunkWriter&)>& body)
{
    writer3ds::ChunkWriter writer;
    writer.beginChunk(CHUNK_MAIN);
    writer.beginChunk(container);
    body(writer);
    writer.endChunk();
    writer.endChunk();
    return writer.bytes();
}

inline writer3ds::VectorKey vkey(std::int32_t frame, float x, float y, float z)
{
    writer3ds::VectorKey key;
    key.frame = frame;
    key.value = {x, y, z};
    return key;
}

inline writer3ds::RotationKey rkey(std::int32_t frame, float angle, float x, float y, float z)
{
    writer3ds::RotationKey key;
    key.frame = frame;
    key.angle = angle;
    key.axis = {x, y, z};
    return key;
}

inline void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void putU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

} // namespace fixtures
