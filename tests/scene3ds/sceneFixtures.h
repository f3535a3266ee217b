// Shared by the scene reader, playback and tool tests: scenes written by our own writer
// and read from memory, and a finder for chunk offsets in written bytes. It brings in the
// reader's headers, so that the tests' `using namespace writer3ds` comes after them when a
// folder's tests are compiled as one unit.
#pragma once

#include "platform/files/loadError.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "scene3ds/scenePlayback.h"
#include "tools/fuzz/chunkTree.h"
#include "tools/writer3ds/writer3ds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
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

// Offset of the nth (0-based) chunk header with this id in a file the writer made, depth
// first in file order; -1 when there is none.
inline long long chunkOffset(const std::vector<std::uint8_t>& bytes, std::uint16_t id, int nth = 0)
{
    std::vector<writer3ds::ChunkNode> tree;
    if (!writer3ds::parseChunkTree(bytes.data(), bytes.size(), tree)) return -1;
    for (const writer3ds::ChunkNode* chunk : writer3ds::allChunks(tree)) {
        if (chunk->id == id && nth-- == 0) return static_cast<long long>(chunk->offset);
    }
    return -1;
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

// The file read in steps as a loading between frames reads it; the steps it took, or -1 when
// one failed (with the error).
inline int readSceneInSteps(Scene& scene, const std::string& path, LoadError& error)
{
    for (int steps = 1;; ++steps) {
        bool done = false;
        if (!scene.readFileSome(path, done, error)) return -1;
        if (done) return steps;
    }
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
