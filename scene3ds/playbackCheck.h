// The second layer of loading: what any scene needs to be drawn safely, beyond a
// well-formed file. Every loader and kesu-3ds check run it after the walk; kesu-3ds info
// does not, so it can describe any well-formed file. What a particular caller needs of a
// scene (a camera, a node or light it attaches to) it checks on top of this.
#pragma once

#include <string>
#include <vector>

struct LoadError;
struct Scene;

// Mapping for every vertex of a mesh whose material has a texture and which has some
// mapping; position, rotation and scale keys on each object node (dummies and instances
// included), a first scale key without a zero component, keys in ascending frames on
// every track; a field of view strictly between 0 and 180 degrees; at most 8 lights; and
// each name of requiredNodes on a node. False with the first problem, naming its object,
// node, light or material.
bool checkScenePlayback(const Scene& scene, const std::vector<std::string>& requiredNodes, LoadError& error);
