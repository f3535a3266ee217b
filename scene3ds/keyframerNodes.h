// The keyframer's node and frame chunks (0xB002 to 0xB005, 0xB008, 0xB009): they hand
// tracks, pivots and hierarchy values to the scene's nodes, lights and camera. Steps of
// the scene walk; needs no GL.
#pragma once

#include <cstddef>

class ChunkCursor;
struct ChunkHeader;
struct Scene;

// Each is called with the cursor right after the chunk's header and leaves it at the
// chunk's end. Sub-chunks of a node are taken by their ids, so bounding boxes and other
// chunks that 3D packages add are passed over. Every node is recorded in keyframerNodes.
// An object node becomes a SceneNode, bound to its object and parent after the walk; a
// light node (omni or spot) gives its tracks to the light it names. objectNodeCapacity is
// the number of object nodes the counting pass met; one more is refused, since the nodes
// must not move once parents point to them.
bool readObjectNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk, std::size_t objectNodeCapacity);
bool readCameraNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk);
bool readTargetNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk);
bool readLightNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk);
bool readFrameSegment(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk);
bool readCurrentFrame(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk);
