#include "scene3ds/keyframerTracks.h"

#include "scene3ds/chunkCursor.h"
#include "scene3ds/matrix4.h"

#include <string>

namespace {

// Track flags, two words of range, then a 32-bit key count whose low half is used. The
// count must be at most 32767 and the keys, at their smallest (no spline fields), must fit.
bool readTrackHeader(ChunkCursor& cursor, const ChunkHeader& chunk, std::size_t valueBytes, std::int16_t& keyCount)
{
    if (!cursor.skipBytes(chunk, 10, "the track flags and range")) return false;
    std::size_t countOffset = cursor.position();
    std::uint32_t count;
    if (!cursor.readU32(chunk, count, "the key count")) return false;
    if (count > 32767) {
        return cursor.fail(static_cast<long long>(countOffset), chunk.id,
                           "key count " + std::to_string(count) + " is above 32767");
    }
    std::size_t smallest = count * (6 + valueBytes);
    if (smallest > cursor.bytesLeft(chunk)) {
        return cursor.fail(static_cast<long long>(countOffset), chunk.id,
                           "key count " + std::to_string(count) + " needs at least " + std::to_string(smallest) +
                               " bytes but the chunk ends at byte " + std::to_string(chunk.end) + ", " +
                               std::to_string(cursor.bytesLeft(chunk)) + " bytes on");
    }
    keyCount = static_cast<std::int16_t>(count);
    return true;
}

// Frame (low 16 bits kept), flags, then one float per set flag bit among the five spline
// parameters, passed over unused.
bool readKeyHeader(ChunkCursor& cursor, const ChunkHeader& chunk, std::int16_t& frame)
{
    std::uint32_t fileFrame;
    std::uint16_t flags;
    if (!cursor.readU32(chunk, fileFrame, "the key frame")) return false;
    if (!cursor.readU16(chunk, flags, "the key flags")) return false;
    frame = static_cast<std::int16_t>(fileFrame & 0xFFFF);
    for (int bit = 0; bit < 5; ++bit) {
        if ((flags & (1u << bit)) && !cursor.skipBytes(chunk, 4, "a spline field of the key")) return false;
    }
    return true;
}

} // namespace

bool readVectorTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<VectorTrack>& track)
{
    auto result = std::make_unique<VectorTrack>();
    if (!readTrackHeader(cursor, chunk, 12, result->keyCount)) return false;
    result->keys.resize(result->keyCount);
    for (VectorKey& key : result->keys) {
        if (!readKeyHeader(cursor, chunk, key.frame)) return false;
        if (!cursor.readFloats(chunk, key.value, 3, "the key's x, y, z")) return false;
    }
    if (result->keyCount > 2) computeVectorTangents(*result);
    cursor.skip(chunk);
    track = std::move(result);
    return true;
}

bool readScalarTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<ScalarTrack>& track)
{
    auto result = std::make_unique<ScalarTrack>();
    if (!readTrackHeader(cursor, chunk, 4, result->keyCount)) return false;
    result->keys.resize(result->keyCount);
    for (ScalarKey& key : result->keys) {
        if (!readKeyHeader(cursor, chunk, key.frame)) return false;
        if (!cursor.readFloat(chunk, key.value, "the key's value")) return false;
    }
    if (result->keyCount > 2) computeScalarTangents(*result);
    cursor.skip(chunk);
    track = std::move(result);
    return true;
}

bool readRotationTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<RotationTrack>& track)
{
    auto result = std::make_unique<RotationTrack>();
    if (!readTrackHeader(cursor, chunk, 16, result->keyCount)) return false;
    result->keys.resize(result->keyCount);
    for (std::size_t i = 0; i < result->keys.size(); ++i) {
        RotationKey& key = result->keys[i];
        if (!readKeyHeader(cursor, chunk, key.frame)) return false;
        if (!cursor.readFloat(chunk, key.angle, "the key's angle")) return false;
        if (!cursor.readFloats(chunk, key.axis, 3, "the key's axis")) return false;
        // accumulated[i] = R(-angle[i]) . accumulated[i-1]; 3.141592 is below pi on purpose,
        // so a quarter turn of 1.5707963 comes out as about -90.00001 degrees.
        rotationMatrix(-key.angle * 180.0f / 3.141592f, key.axis[0], key.axis[1], key.axis[2], key.accumulated);
        if (i > 0) multiplyMatrices(key.accumulated, result->keys[i - 1].accumulated, key.accumulated);
    }
    cursor.skip(chunk);
    track = std::move(result);
    return true;
}

void computeVectorTangents(VectorTrack& track)
{
    const int n = track.keyCount;
    std::vector<VectorKey>& keys = track.keys;
    for (int c = 0; c < 3; ++c) {
        for (int i = 1; i <= n - 2; ++i) keys[i].tangent[c] = 0.5f * (keys[i + 1].value[c] - keys[i - 1].value[c]);
        keys[n - 1].tangent[c] = 1.5f * (keys[n - 1].value[c] - keys[n - 2].value[c]) - 0.5f * keys[n - 2].tangent[c];
        keys[0].tangent[c] = 1.5f * (keys[1].value[c] - keys[0].value[c]) - 0.5f * keys[1].tangent[c];
    }
}

void computeScalarTangents(ScalarTrack& track)
{
    const int n = track.keyCount;
    std::vector<ScalarKey>& keys = track.keys;
    for (int i = 1; i <= n - 2; ++i) keys[i].tangent = 0.5f * (keys[i + 1].value - keys[i - 1].value);
    keys[n - 1].tangent = 1.5f * (keys[n - 1].value - keys[n - 2].value) - 0.5f * keys[n - 2].tangent;
    keys[0].tangent = 1.5f * (keys[1].value - keys[0].value) - 0.5f * keys[1].tangent;
}
