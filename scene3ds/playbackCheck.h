// The second layer of loading: what scene playback needs beyond a well-formed file. The
// demo and kesu-3ds check run it after the walk; kesu-3ds info does not, so it can
// describe static models too.
#pragma once

#include <string>
#include <vector>

struct LoadError;
struct Scene;

// Every mesh object with a material group naming a defined material and a keyframer node;
// mapping for every vertex of a textured mesh; every object or light node naming one;
// a parent for each hierarchy value; position, rotation and scale tracks on each object
// node and position and colour tracks on each of at most 8 lights, each with keys in ascending
// frames; a camera with position, target, field-of-view and roll tracks; an end frame
// above 0; and each name of requiredNodes on a node. False with the first problem,
// naming its object, node or material.
bool checkScenePlayback(const Scene& scene, const std::vector<std::string>& requiredNodes, LoadError& error);
