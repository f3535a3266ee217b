// Scene playback: keyframer track evaluation at a frame, node transforms and their bounds
// computed without GL, and Scene::draw (a member of the Scene in scene3ds/scene.h, defined
// in this module's .cpp), which sets the camera, the lights and each node's transform and
// draws the node meshes. Drawing needs a current GL context; the rest needs none.
#pragma once

#include <cstdint>
#include <vector>

struct RotationTrack;
struct ScalarTrack;
struct Scene;
struct VectorTrack;

// Write the track's current value for the frame: the first key's value before the first
// key, the last key's value at and after the last key, linear between two keys and
// Hermite over more. A track without keys is left unchanged.
void evaluateVectorTrack(VectorTrack& track, std::int16_t frame);
void evaluateScalarTrack(ScalarTrack& track, std::int16_t frame);
// The same values without touching the track; the track must have keys.
void vectorTrackValue(const VectorTrack& track, std::int16_t frame, float value[3]);
float scalarTrackValue(const ScalarTrack& track, std::int16_t frame);

// Which part of a rotation track turns a node at the frame: the fraction of key's own turn,
// after the turns accumulated up to the key before it. Before the first key the first
// key's turn applies whole. The track must have keys.
void rotationStep(const RotationTrack& track, std::int16_t frame, int& key, float& fraction);

// The frame draw() plays when asked for this one: negative frames play frame 0, and
// frames wrap modulo frameCount; a scene whose frame segment ends at 0 or before (or that
// has none) holds frame 0.
std::int16_t playbackFrame(const Scene& scene, std::int16_t frame);

// The up direction draw() hands the look-at from eye to centre: the scene's (0, 0, 1), except
// for a view straight down or up (x and y of centre - eye within 1e-6 of its length of 0),
// which would leave the look-at without a side direction and gets (0, 1, 0). A camera on
// its target looks along +y: centre is moved one unit that way.
void viewUpDirection(const double eye[3], double centre[3], double up[3]);

// Each node's world matrix at the frame as draw() builds it, in the scene's own
// coordinates (without the camera), and the matrix its mesh is drawn with (world .
// meshMatrix). Column-major. A track without keys counts as standing still.
struct NodePose {
    float world[16];
    float drawn[16];
};
void poseNodes(const Scene& scene, std::int16_t frame, std::vector<NodePose>& poses);

// The box around each drawn node's vertices at the frame, in the scene's coordinates; nodes
// without a mesh or without vertices have none. False, leaving low and high alone, when no
// node has a box. perNode (may be null) receives one entry per boxed node.
struct NodeBounds {
    int node = -1;
    float low[3] = {0.0f, 0.0f, 0.0f};
    float high[3] = {0.0f, 0.0f, 0.0f};
};
bool sceneBounds(const Scene& scene, std::int16_t frame, std::vector<NodeBounds>* perNode, float low[3],
                 float high[3]);
