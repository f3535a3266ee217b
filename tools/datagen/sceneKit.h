// Scene building for the generator: objects given in their own coordinates with their
// motion, lights, a camera with its tracks, then written as .3ds through the shared
// writer. The kit stores each mesh where its frame-0 transform puts it (the file holds
// world coordinates) and turns absolute spin angles into the file's relative rotation keys.
#pragma once

#include "tools/datagen/meshKit.h"
#include "tools/writer3ds/writer3ds.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

using VectorKeys = std::vector<std::pair<int, V3>>;
using ScalarKeys = std::vector<std::pair<int, double>>;

struct SceneObject {
    std::string name;
    MeshData mesh;          // in the object's own coordinates
    std::string material;
    int parent = -1;        // index of an earlier object whose subtree this one continues; -1 for a root
    VectorKeys positions;   // in the parent's frame; the first key at frame 0
    V3 spinAxis{0.0, 0.0, 1.0};
    // Absolute angles in radians, counter-clockwise about spinAxis; empty: no turn.
    ScalarKeys spin;
    VectorKeys scales;      // empty: unit scale
};

// Material for lit drawing: ambient at 60 % of the diffuse colour, a fixed grey highlight.
writer3ds::Material sceneMaterial(const std::string& name, V3 diffuse, const std::string& textureMap = "",
                                  int transparency = 0, const std::string& opacityMap = "", int shininess = 40);

// Keys every `step` frames from 0 up to and including frameCount, values from f(frame).
// Playback eases through evenly spaced keys with its spline, so a smooth f stays smooth.
VectorKeys sampleVector(int frameCount, int step, const std::function<V3(double)>& f);
ScalarKeys sampleScalar(int frameCount, int step, const std::function<double(double)>& f);

class SceneBuilder {
public:
    explicit SceneBuilder(int frameCount);

    void addMaterial(const writer3ds::Material& material);
    // Returns the object's index. Children must follow their parent's subtree directly
    // (depth-first order), as the file's hierarchy values demand.
    int addObject(const SceneObject& object);
    // A point light moving along `positions` with a constant colour.
    void addLight(const std::string& name, const VectorKeys& positions, V3 colour);
    void setCamera(const VectorKeys& positions, const VectorKeys& targets, const ScalarKeys& fov,
                   const ScalarKeys& roll, double nearPlane, double farPlane);

    // Checks the counts the format allows and writes the file.
    bool save(const std::string& path, std::string& error) const;
    // The same scene as bytes (for tests that read it back without a file).
    bool bytes(std::vector<std::uint8_t>& out, std::string& error) const;

private:
    int frameCount;
    std::vector<writer3ds::Material> materials;
    std::vector<SceneObject> objects;
    std::vector<Affine> restTransforms;   // frame-0 transform of each object, ancestors included
    std::vector<int> depths;
    std::vector<writer3ds::Light> lights;
    std::vector<writer3ds::Node> lightNodes;
    VectorKeys cameraPositions, cameraTargets;
    ScalarKeys cameraFov, cameraRoll;
    double nearPlane = 1.0, farPlane = 1000.0;
    std::string orderError;
};
