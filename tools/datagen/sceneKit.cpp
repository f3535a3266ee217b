#include "tools/datagen/sceneKit.h"

#include <algorithm>

namespace {

writer3ds::Vec3 toVec3(V3 v)
{
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

std::vector<writer3ds::VectorKey> vectorKeys(const VectorKeys& keys)
{
    std::vector<writer3ds::VectorKey> out;
    for (const auto& key : keys) {
        writer3ds::VectorKey k;
        k.frame = key.first;
        k.value = toVec3(key.second);
        out.push_back(k);
    }
    return out;
}

std::vector<writer3ds::ScalarKey> scalarKeys(const ScalarKeys& keys)
{
    std::vector<writer3ds::ScalarKey> out;
    for (const auto& key : keys) {
        writer3ds::ScalarKey k;
        k.frame = key.first;
        k.value = static_cast<float>(key.second);
        out.push_back(k);
    }
    return out;
}

// The file stores each key's turn relative to the key before, and playback turns by the
// negated angle; so an absolute counter-clockwise angle a becomes -(a - previous a).
std::vector<writer3ds::RotationKey> rotationKeys(const SceneObject& object)
{
    std::vector<writer3ds::RotationKey> out;
    if (object.spin.empty()) {
        writer3ds::RotationKey k;
        k.frame = 0;
        k.angle = 0.0f;
        k.axis = toVec3(object.spinAxis);
        out.push_back(k);
        return out;
    }
    double previous = 0.0;
    for (const auto& key : object.spin) {
        writer3ds::RotationKey k;
        k.frame = key.first;
        k.angle = static_cast<float>(-(key.second - previous));
        k.axis = toVec3(object.spinAxis);
        previous = key.second;
        out.push_back(k);
    }
    return out;
}

} // namespace

writer3ds::Material sceneMaterial(const std::string& name, V3 diffuse, const std::string& textureMap,
                                  int transparency, const std::string& opacityMap, int shininess)
{
    writer3ds::Material material;
    material.name = name;
    material.ambient = writer3ds::colourFloat(static_cast<float>(diffuse.x * 0.6), static_cast<float>(diffuse.y * 0.6),
                                              static_cast<float>(diffuse.z * 0.6));
    material.diffuse = writer3ds::colourFloat(static_cast<float>(diffuse.x), static_cast<float>(diffuse.y),
                                              static_cast<float>(diffuse.z));
    material.specular = writer3ds::colourFloat(0.6f, 0.6f, 0.6f);
    material.shininess = writer3ds::percentInt(static_cast<std::int16_t>(shininess));
    material.transparency = writer3ds::percentInt(static_cast<std::int16_t>(transparency));
    material.textureMap = textureMap;
    material.opacityMap = opacityMap;
    return material;
}

VectorKeys sampleVector(int frameCount, int step, const std::function<V3(double)>& f)
{
    VectorKeys keys;
    for (int frame = 0; frame < frameCount; frame += step) {
        keys.push_back({frame, f(frame)});
    }
    keys.push_back({frameCount, f(frameCount)});
    return keys;
}

ScalarKeys sampleScalar(int frameCount, int step, const std::function<double(double)>& f)
{
    ScalarKeys keys;
    for (int frame = 0; frame < frameCount; frame += step) {
        keys.push_back({frame, f(frame)});
    }
    keys.push_back({frameCount, f(frameCount)});
    return keys;
}

SceneBuilder::SceneBuilder(int frames) : frameCount(frames) {}

void SceneBuilder::addMaterial(const writer3ds::Material& material)
{
    materials.push_back(material);
}

int SceneBuilder::addObject(const SceneObject& object)
{
    const int index = static_cast<int>(objects.size());
    Affine parentRest;
    int depth = -1;
    if (object.parent >= 0) {
        // Every object after the parent must lie in the parent's subtree, or the file's
        // depth values would hand this child to another parent.
        for (int k = object.parent + 1; k < index; ++k) {
            if (depths[k] <= depths[object.parent]) {
                orderError = object.name + " follows " + objects[k].name + ", which is outside the subtree of its parent " +
                             objects[object.parent].name;
            }
        }
        parentRest = restTransforms[object.parent];
        depth = depths[object.parent] + 1;
    }
    const V3 position = object.positions.empty() ? V3{} : object.positions.front().second;
    const double angle = object.spin.empty() ? 0.0 : object.spin.front().second;
    const V3 scale = object.scales.empty() ? V3{1.0, 1.0, 1.0} : object.scales.front().second;
    const Affine rest = parentRest * Affine::translation(position) * Affine::rotation(object.spinAxis, angle) *
                        Affine::scaling(scale);
    objects.push_back(object);
    restTransforms.push_back(rest);
    depths.push_back(depth);
    return index;
}

void SceneBuilder::addLight(const std::string& name, const VectorKeys& positions, V3 colour)
{
    writer3ds::Light light;
    light.name = name;
    light.position = toVec3(positions.front().second);
    light.colour = toVec3(colour);
    lights.push_back(light);
    lightNodes.push_back(writer3ds::lightNode(name, vectorKeys(positions), vectorKeys({{0, colour}})));
}

void SceneBuilder::setCamera(const VectorKeys& positions, const VectorKeys& targets, const ScalarKeys& fov,
                             const ScalarKeys& roll, double nearDistance, double farDistance)
{
    cameraPositions = positions;
    cameraTargets = targets;
    cameraFov = fov;
    cameraRoll = roll;
    nearPlane = nearDistance;
    farPlane = farDistance;
}

bool SceneBuilder::bytes(std::vector<std::uint8_t>& out, std::string& error) const
{
    if (!orderError.empty()) {
        error = orderError;
        return false;
    }
    writer3ds::Scene scene;
    scene.materials = materials;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const SceneObject& source = objects[i];
        if (source.mesh.points.size() > 32767 || source.mesh.faces.size() > 32767) {
            error = source.name + ": " + std::to_string(source.mesh.points.size()) + " points and " +
                    std::to_string(source.mesh.faces.size()) + " faces; a mesh holds at most 32767 of each";
            return false;
        }
        writer3ds::Object object;
        object.name = source.name;
        for (const V3& p : source.mesh.points) {
            object.points.push_back(toVec3(restTransforms[i].apply(p)));
        }
        for (const auto& face : source.mesh.faces) {
            writer3ds::Face f;
            f.a = static_cast<std::uint16_t>(face[0]);
            f.b = static_cast<std::uint16_t>(face[1]);
            f.c = static_cast<std::uint16_t>(face[2]);
            object.faces.push_back(f);
        }
        for (const auto& coordinate : source.mesh.uv) {
            object.texCoords.push_back({static_cast<float>(coordinate[0]), static_cast<float>(coordinate[1])});
        }
        object.materialGroups.push_back({source.material, {}});
        scene.objects.push_back(object);
    }
    scene.lights = lights;
    scene.hasCamera = true;
    scene.camera.position = toVec3(cameraPositions.front().second);
    scene.camera.target = toVec3(cameraTargets.front().second);
    scene.camera.nearPlane = static_cast<float>(nearPlane);
    scene.camera.farPlane = static_cast<float>(farPlane);
    scene.keyframer.startFrame = 0;
    scene.keyframer.endFrame = frameCount;
    scene.keyframer.currentFrame = 0;
    scene.keyframer.nodes.push_back(writer3ds::cameraNode(scene.camera.name, vectorKeys(cameraPositions),
                                                          scalarKeys(cameraFov), scalarKeys(cameraRoll)));
    scene.keyframer.nodes.push_back(writer3ds::targetNode(scene.camera.name, vectorKeys(cameraTargets)));
    for (const writer3ds::Node& node : lightNodes) {
        scene.keyframer.nodes.push_back(node);
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const SceneObject& source = objects[i];
        VectorKeys scales = source.scales;
        if (scales.empty()) {
            scales.push_back({0, {1.0, 1.0, 1.0}});
        }
        VectorKeys positions = source.positions;
        if (positions.empty()) {
            positions.push_back({0, {}});
        }
        scene.keyframer.nodes.push_back(writer3ds::objectNode(source.name, static_cast<std::int16_t>(depths[i]),
                                                              {0.0f, 0.0f, 0.0f}, vectorKeys(positions),
                                                              rotationKeys(source), vectorKeys(scales)));
    }
    out = writer3ds::sceneBytes(scene);
    return true;
}

bool SceneBuilder::save(const std::string& path, std::string& error) const
{
    std::vector<std::uint8_t> data;
    if (!bytes(data, error)) {
        error = path + ": " + error;
        return false;
    }
    return writer3ds::saveFile(path, data, error);
}
