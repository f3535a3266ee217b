// Keyframer tracks: position, scale and colour vectors, field-of-view and roll scalars, and
// rotations with their accumulated matrices, read from track chunks with spline tangents
// computed once at load. Playback (render/scenePlayback) evaluates them; needs no GL.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class ChunkCursor;
struct ChunkHeader;

// Frames are keyframer frames, the low 16 bits of the 32 stored in the file.
struct VectorKey {
    std::int16_t frame = 0;
    float value[3] = {0.0f, 0.0f, 0.0f};
    float tangent[3] = {0.0f, 0.0f, 0.0f};   // set only for tracks of more than two keys
};

struct VectorTrack {
    std::int16_t keyCount = 0;
    float current[3] = {0.0f, 0.0f, 0.0f};   // value at the last evaluated frame
    std::vector<VectorKey> keys;
};

struct ScalarKey {
    std::int16_t frame = 0;
    float value = 0.0f;
    float tangent = 0.0f;
};

struct ScalarTrack {
    std::int16_t keyCount = 0;
    float current = 0.0f;
    std::vector<ScalarKey> keys;
};

struct RotationKey {
    std::int16_t frame = 0;
    float angle = 0.0f;          // radians, the turn from the previous key's orientation
    float axis[3] = {0.0f, 0.0f, 0.0f};
    float accumulated[16] = {};  // R(-angle) of this key times the previous key's accumulated matrix
};

// No current value: playback turns a node directly from the keys.
struct RotationTrack {
    std::int16_t keyCount = 0;
    std::vector<RotationKey> keys;
};

// Each reads the track chunk the walk has just met (the cursor right after its header) and
// leaves the cursor at the chunk's end. Keys with spline flags are read past field by
// field. False with the error filled on a chunk shorter than its fields or a key count
// above 32767.
bool readVectorTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<VectorTrack>& track);
bool readScalarTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<ScalarTrack>& track);
bool readRotationTrack(ChunkCursor& cursor, const ChunkHeader& chunk, std::unique_ptr<RotationTrack>& track);

// Per-segment Hermite tangents for a track of more than two keys; the key frames play no part.
void computeVectorTangents(VectorTrack& track);
void computeScalarTangents(ScalarTrack& track);
