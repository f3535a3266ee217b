// Scene playback: keyframer track evaluation at a frame, and Scene::draw (a member of the
// Scene in scene3ds/scene.h, defined in this module's .cpp), which sets the camera, the
// lights and each node's transform and draws the node meshes. Drawing needs a current GL
// context.
#pragma once

#include <cstdint>

struct ScalarTrack;
struct Scene;
struct VectorTrack;

// The frame the playback shows for the scene's requested frame: a negative frame as 0,
// then wrapped modulo frameCount, so the frame after the last is frame 0.
std::int16_t playbackFrame(const Scene& scene, std::int16_t frame);

// Write the track's current value for the frame: the first key's value before the first
// key, the last key's value at and after the last key, linear between two keys and
// Hermite over more. A track without keys is left unchanged.
void evaluateVectorTrack(VectorTrack& track, std::int16_t frame);
void evaluateScalarTrack(ScalarTrack& track, std::int16_t frame);
