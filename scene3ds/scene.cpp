#include "scene3ds/scene.h"

#include "platform/display/renderWindow.h"
#include "platform/files/fileLookup.h"
#include "platform/files/loadError.h"
#include "platform/files/pictureFile.h"
#include "scene3ds/chunkCursor.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/keyframerNodes.h"
#include "scene3ds/matrix4.h"
#include "scene3ds/meshChunks.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Pass 1: counts mesh objects, lights, materials and object nodes, entering only the
// main, editor, named-object and keyframer chunks, as pass 2 meets the same chunks there.
struct ObjectCounts {
    int meshes = 0, lights = 0, materials = 0, objectNodes = 0;
};

bool countObjects(ChunkCursor& cursor, ObjectCounts& counts)
{
    ChunkHeader chunk;
    while (cursor.next(0, chunk)) {
        switch (chunk.id) {
        case CHUNK_MAIN:
        case CHUNK_EDITOR:
        case CHUNK_KEYFRAMER: cursor.enter(chunk); break;
        case CHUNK_NAMED_OBJECT: {
            std::string name;
            if (!cursor.readName(chunk, name, "the object name")) return false;
            cursor.enter(chunk);
            break;
        }
        case CHUNK_TRIANGLE_MESH:
        case CHUNK_LIGHT:
        case CHUNK_MATERIAL:
        case CHUNK_OBJECT_NODE: {
            int& count = chunk.id == CHUNK_TRIANGLE_MESH ? counts.meshes
                         : chunk.id == CHUNK_LIGHT       ? counts.lights
                         : chunk.id == CHUNK_MATERIAL    ? counts.materials
                                                         : counts.objectNodes;
            // Nodes come from object nodes and from objects no node names: both together
            // must fit the 16-bit node count.
            if (++count > 32767 || counts.meshes + counts.objectNodes > 32767) {
                return cursor.fail(static_cast<long long>(chunk.start), chunk.id,
                                   "is the 32768th of its kind; counts stop at 32767");
            }
            cursor.skip(chunk);
            break;
        }
        default: cursor.skip(chunk); break;
        }
    }
    return !cursor.failed();
}

// The colour sub-chunk that opens a colour chunk: floats stored as they are, bytes divided
// by 255; another kind leaves the colour unchanged and is not an error.
bool readColor(ChunkCursor& cursor, const ChunkHeader& chunk, float colour[4])
{
    ChunkHeader sub;
    const std::size_t depth = cursor.enter(chunk);
    if (!cursor.next(depth, sub)) {
        if (cursor.failed()) return false;
        return cursor.fail(static_cast<long long>(chunk.start), chunk.id, "holds no colour sub-chunk");
    }
    if (sub.id == CHUNK_COLOR_FLOAT) {
        if (!cursor.readFloats(sub, colour, 3, "the colour's r, g, b floats")) return false;
    } else if (sub.id == CHUNK_COLOR_24) {
        std::uint8_t rgb[3];
        if (!cursor.readU8(sub, rgb[0], "the colour's red byte") || !cursor.readU8(sub, rgb[1], "the colour's green byte") ||
            !cursor.readU8(sub, rgb[2], "the colour's blue byte")) {
            return false;
        }
        for (int c = 0; c < 3; ++c) colour[c] = rgb[c] / 255.0f;
    }
    cursor.skip(chunk);
    return true;
}

// The percentage sub-chunk that opens a percentage chunk. known is false for another
// kind, which leaves the value unchanged.
bool readPercent(ChunkCursor& cursor, const ChunkHeader& chunk, float& value, bool& known)
{
    ChunkHeader sub;
    const std::size_t depth = cursor.enter(chunk);
    if (!cursor.next(depth, sub)) {
        if (cursor.failed()) return false;
        return cursor.fail(static_cast<long long>(chunk.start), chunk.id, "holds no percentage sub-chunk");
    }
    known = true;
    if (sub.id == CHUNK_PERCENT_FLOAT) {
        if (!cursor.readFloat(sub, value, "the percentage float")) return false;
    } else if (sub.id == CHUNK_PERCENT_INT) {
        std::int16_t percent;
        if (!cursor.readI16(sub, percent, "the percentage integer")) return false;
        value = percent;
    } else {
        known = false;
    }
    cursor.skip(chunk);
    return true;
}

// The map's file name comes from its 0xA300 sub-chunk; the strength percentage and tiling
// chunks around it are passed over.
bool readMapName(ChunkCursor& cursor, const ChunkHeader& chunk, std::string& fileName)
{
    const std::size_t depth = cursor.enter(chunk);
    ChunkHeader sub;
    bool found = false;
    while (cursor.next(depth, sub)) {
        if (sub.id == CHUNK_MAP_FILE_NAME && !found) {
            if (!cursor.readName(sub, fileName, "the map file name")) return false;
            found = true;
        }
        cursor.skip(sub);
    }
    if (cursor.failed()) return false;
    if (!found) {
        return cursor.fail(static_cast<long long>(chunk.start), chunk.id,
                           "holds no map file name chunk " + chunkIdText(CHUNK_MAP_FILE_NAME));
    }
    return true;
}

// Pass 2. The walk is flat on purpose: a chunk is entered (its sub-chunks come next) or
// skipped; the cursor checks each chunk against the one that holds it.
class SceneWalk {
public:
    SceneWalk(Scene& scene, ChunkCursor& cursor) : scene(scene), cursor(cursor) {}

    bool run()
    {
        ChunkHeader chunk;
        while (cursor.next(0, chunk)) {
            if (!handle(chunk)) return false;
        }
        return !cursor.failed();
    }

    // The walk on until `meshes` more triangle meshes are read, or to the end of the file
    // (finished).
    bool runSome(int meshes, bool& finished)
    {
        finished = false;
        ChunkHeader chunk;
        while (meshes > 0) {
            if (!cursor.next(0, chunk)) {
                finished = true;
                return !cursor.failed();
            }
            if (chunk.id == CHUNK_TRIANGLE_MESH) --meshes;
            if (!handle(chunk)) return false;
        }
        return true;
    }

private:
    Material* currentMaterial(const ChunkHeader& chunk)
    {
        if (scene.materials.empty()) {
            cursor.fail(static_cast<long long>(chunk.start), chunk.id,
                        "is a material chunk but no material block 0xAFFF came before it");
            return nullptr;
        }
        return &scene.materials.back();
    }

    bool handle(const ChunkHeader& chunk)
    {
        switch (chunk.id) {
        case CHUNK_MAIN:
        case CHUNK_EDITOR:
        case CHUNK_KEYFRAMER: cursor.enter(chunk); return true;
        case CHUNK_NAMED_OBJECT:
            if (!cursor.readName(chunk, objectName, "the object name")) return false;
            cursor.enter(chunk);
            return true;
        case CHUNK_TRIANGLE_MESH: return readMesh(chunk);
        case CHUNK_LIGHT: return readLight(chunk);
        case CHUNK_CAMERA: {
            // Position, target, bank and lens: the keyframer nodes define the camera; these
            // stand in for the tracks a camera without a node lacks.
            StoredCamera& stored = scene.storedCamera;
            if (!cursor.readFloats(chunk, stored.position, 3, "the camera's position") ||
                !cursor.readFloats(chunk, stored.target, 3, "the camera's target") ||
                !cursor.readFloat(chunk, stored.bank, "the camera's bank") ||
                !cursor.readFloat(chunk, stored.lens, "the camera's lens")) {
                return false;
            }
            scene.hasCamera = true;
            cursor.enter(chunk);
            return true;
        }
        case CHUNK_CAMERA_RANGES:
            if (!cursor.readFloat(chunk, scene.nearPlane, "the near range") ||
                !cursor.readFloat(chunk, scene.farPlane, "the far range")) {
                return false;
            }
            scene.hasCameraRanges = true;
            cursor.skip(chunk);
            return true;
        case CHUNK_MATERIAL:
            if (scene.materials.size() >= materialCapacity) return uncounted(chunk);
            scene.materials.emplace_back();
            cursor.enter(chunk);
            return true;
        case CHUNK_MATERIAL_NAME: {
            Material* material = currentMaterial(chunk);
            if (!material || !cursor.readName(chunk, material->name, "the material name")) return false;
            material->textureName.clear();
            material->maskName.clear();
            material->texture = 0;
            cursor.skip(chunk);
            return true;
        }
        case CHUNK_AMBIENT:
        case CHUNK_DIFFUSE:
        case CHUNK_SPECULAR: {
            Material* material = currentMaterial(chunk);
            if (!material) return false;
            float* colour = chunk.id == CHUNK_AMBIENT ? material->ambient
                            : chunk.id == CHUNK_DIFFUSE ? material->diffuse
                                                        : material->specular;
            material->presentChunks |= chunk.id == CHUNK_AMBIENT   ? MATERIAL_HAS_AMBIENT
                                       : chunk.id == CHUNK_DIFFUSE ? MATERIAL_HAS_DIFFUSE
                                                                   : MATERIAL_HAS_SPECULAR;
            return readColor(cursor, chunk, colour);
        }
        case CHUNK_SHININESS: {
            Material* material = currentMaterial(chunk);
            bool known;
            if (!material || !readPercent(cursor, chunk, material->shininess, known)) return false;
            material->presentChunks |= MATERIAL_HAS_SHININESS;
            return true;
        }
        case CHUNK_TRANSPARENCY: {
            Material* material = currentMaterial(chunk);
            float transparency = 0.0f;
            bool known;
            if (!material || !readPercent(cursor, chunk, transparency, known)) return false;
            if (known) material->opacity = 1.0f - transparency / 100.0f;
            material->presentChunks |= MATERIAL_HAS_TRANSPARENCY;
            return true;
        }
        case CHUNK_TEXTURE_MAP:
        case CHUNK_OPACITY_MAP: {
            Material* material = currentMaterial(chunk);
            if (!material) return false;
            return readMapName(cursor, chunk, chunk.id == CHUNK_TEXTURE_MAP ? material->textureName : material->maskName);
        }
        case CHUNK_OBJECT_NODE: return readObjectNode(scene, cursor, chunk, objectNodeCapacity);
        case CHUNK_CAMERA_NODE: return readCameraNode(scene, cursor, chunk);
        case CHUNK_TARGET_NODE: return readTargetNode(scene, cursor, chunk);
        case CHUNK_LIGHT_NODE:
        case CHUNK_SPOT_NODE: return readLightNode(scene, cursor, chunk);
        case CHUNK_FRAME_SEGMENT: return readFrameSegment(scene, cursor, chunk);
        case CHUNK_CURRENT_FRAME: return readCurrentFrame(scene, cursor, chunk);
        default: cursor.skip(chunk); return true;
        }
    }

    // Pass 1 did not meet this chunk, because it sits inside a chunk that pass 1 skips;
    // growing the array now would move the nodes that parents point to.
    bool uncounted(const ChunkHeader& chunk)
    {
        return cursor.fail(static_cast<long long>(chunk.start), chunk.id,
                           "lies inside a chunk that holds no objects or materials (main, editor data or named "
                           "object expected around it)");
    }

    bool readMesh(const ChunkHeader& chunk)
    {
        if (scene.objects.size() >= meshCapacity) return uncounted(chunk);
        scene.objects.emplace_back();
        MeshObject& object = scene.objects.back();
        object.mesh = std::make_unique<Mesh>();
        object.name = objectName;
        object.mesh->context = scene.host;
        return readMeshChunks(*object.mesh, cursor, chunk);
    }

    // The stored position and the first colour sub-chunk; other sub-chunks (spotlight, off
    // switch, attenuation) are passed over.
    bool readLight(const ChunkHeader& chunk)
    {
        if (scene.lights.size() >= lightCapacity) return uncounted(chunk);
        scene.lights.emplace_back();
        Light& light = scene.lights.back();
        light.name = objectName;
        light.position[3] = 1.0f;
        light.diffuse[3] = 1.0f;
        light.glLight = GL_LIGHT0 + static_cast<std::int32_t>(scene.lights.size() - 1);
        if (!cursor.readFloats(chunk, light.storedPosition, 3, "the light's position")) return false;
        const std::size_t depth = cursor.enter(chunk);
        ChunkHeader sub;
        bool coloured = false;
        while (cursor.next(depth, sub)) {
            if (!coloured && (sub.id == CHUNK_COLOR_FLOAT || sub.id == CHUNK_COLOR_24)) {
                if (sub.id == CHUNK_COLOR_FLOAT) {
                    if (!cursor.readFloats(sub, light.storedColour, 3, "the light's colour")) return false;
                } else {
                    for (float& component : light.storedColour) {
                        std::uint8_t byte;
                        if (!cursor.readU8(sub, byte, "the light's colour byte")) return false;
                        component = byte / 255.0f;
                    }
                }
                coloured = true;
            }
            cursor.skip(sub);
        }
        return !cursor.failed();
    }

public:
    std::size_t meshCapacity = 0, lightCapacity = 0, materialCapacity = 0, objectNodeCapacity = 0;

private:
    Scene& scene;
    ChunkCursor& cursor;
    std::string objectName;   // the name of the last named-object chunk, for the mesh or light inside it
};

// A node header names this object when the node only groups others.
const char* const DUMMY_NAME = "$$$DUMMY";

std::unique_ptr<VectorTrack> oneKeyTrack(float x, float y, float z)
{
    auto track = std::make_unique<VectorTrack>();
    track->keys.resize(1);
    track->keys[0].value[0] = x;
    track->keys[0].value[1] = y;
    track->keys[0].value[2] = z;
    track->keyCount = 1;
    return track;
}

std::unique_ptr<ScalarTrack> oneKeyTrack(float value)
{
    auto track = std::make_unique<ScalarTrack>();
    track->keys.resize(1);
    track->keys[0].value = value;
    track->keyCount = 1;
    return track;
}

bool hasKeys(const VectorTrack* track) { return track && track->keyCount > 0; }
bool hasKeys(const ScalarTrack* track) { return track && track->keyCount > 0; }

// Position 0, no turn, unit scale: the node of an object drawn where it is stored.
void giveRestTracks(SceneNode& node)
{
    node.posTrack = oneKeyTrack(0.0f, 0.0f, 0.0f);
    node.scaleTrack = oneKeyTrack(1.0f, 1.0f, 1.0f);
    node.rotTrack = std::make_unique<RotationTrack>();
    node.rotTrack->keys.resize(1);
    node.rotTrack->keys[0].axis[2] = 1.0f;
    identityMatrix(node.rotTrack->keys[0].accumulated);
    node.rotTrack->keyCount = 1;
}

// restInverse = S(1/scale0) . R(+angle0) . T(-position0) . parent.restInverse: the
// inverse of the node's frame-0 transform, mapping the stored world-space vertices into
// the node's own frame. Nodes without the keys keep the identity; the playback check
// reports them.
void computeRestInverse(SceneNode& node)
{
    identityMatrix(node.restInverse);
    if (!node.posTrack || !node.rotTrack || !node.scaleTrack || node.posTrack->keyCount < 1 ||
        node.rotTrack->keyCount < 1 || node.scaleTrack->keyCount < 1) {
        return;
    }
    const float* scale = node.scaleTrack->keys[0].value;
    const RotationKey& rotation = node.rotTrack->keys[0];
    const float* position = node.posTrack->keys[0].value;
    float step[16];
    scaleMatrix(1.0f / scale[0], 1.0f / scale[1], 1.0f / scale[2], step);
    multiplyMatrices(node.restInverse, step, node.restInverse);
    rotationMatrix(rotation.angle * 180.0f / 3.141592f, rotation.axis[0], rotation.axis[1], rotation.axis[2], step);
    multiplyMatrices(node.restInverse, step, node.restInverse);
    translationMatrix(-position[0], -position[1], -position[2], step);
    multiplyMatrices(node.restInverse, step, node.restInverse);
    if (node.parent) multiplyMatrices(node.restInverse, node.parent->restInverse, node.restInverse);
}

// Each keyframer object node draws the first object of its name; a dummy, or a node
// whose name no object has, only groups its children. The hierarchy value works as a
// depth in depth-first order: the parent is the nearest earlier node with a smaller one.
// An object that no node names gets a node of its own, after the others.
void bindNodesToObjects(Scene& scene)
{
    const std::size_t keyed = scene.nodes.size();
    for (std::size_t i = 0; i < keyed; ++i) {
        SceneNode& node = scene.nodes[i];
        if (node.name == DUMMY_NAME) {
            if (!node.instanceName.empty()) node.name = node.instanceName;
            node.instanceName.clear();
        } else {
            for (std::size_t o = 0; o < scene.objects.size(); ++o) {
                if (scene.objects[o].name == node.name) {
                    node.object = static_cast<int>(o);
                    node.mesh = scene.objects[o].mesh.get();
                    ++scene.objects[o].nodeCount;
                    break;
                }
            }
        }
        node.parent = nullptr;
        if (node.hierarchy != -1) {
            for (std::size_t k = i; k-- > 0;) {
                if (scene.nodes[k].hierarchy < node.hierarchy) {
                    node.parent = &scene.nodes[k];
                    break;
                }
            }
        }
    }
    for (std::size_t o = 0; o < scene.objects.size(); ++o) {
        if (scene.objects[o].nodeCount > 0) continue;
        scene.nodes.emplace_back();
        SceneNode& node = scene.nodes.back();
        node.name = scene.objects[o].name;
        node.object = static_cast<int>(o);
        node.mesh = scene.objects[o].mesh.get();
        giveRestTracks(node);
    }
}

void litByMaterial(Mesh& mesh, const Material& material)
{
    mesh.flags |= MESH_LIT;
    for (int c = 0; c < 3; ++c) {
        mesh.ambient[c] = material.ambient[c];
        mesh.diffuse[c] = material.diffuse[c];
        mesh.specular[c] = material.specular[c];
    }
    mesh.shininess = material.shininess;
}

// Material by name (first match; the default material when the group is missing or names
// none), flags and colours from it and the lights. Textures come later, with GL.
void bindMaterials(Scene& scene)
{
    for (MeshObject& object : scene.objects) {
        Mesh& mesh = *object.mesh;
        object.material = &scene.defaultMaterial;
        if (!mesh.materialName.empty()) {
            for (Material& material : scene.materials) {
                if (material.name == mesh.materialName) {
                    object.material = &material;
                    break;
                }
            }
        }
        const Material& material = *object.material;
        mesh.flags = 0;
        mesh.alpha = material.opacity;
        if (!material.maskName.empty() || mesh.alpha != 1.0f) mesh.flags |= MESH_BLEND;
        if (scene.lightCount > 0) litByMaterial(mesh, material);
    }
}

void computeObjectFaceNormals(MeshObject& object)
{
    Mesh& mesh = *object.mesh;
    if (mesh.faceCount > 0 && mesh.vertexCount > 0) mesh.computeFaceNormals(0, 1.0f);
}

// Parents precede their children, so a parent's restInverse is ready when its child's is
// computed. The first node of an object defines where its stored vertices sit; further
// instances place the same vertices by their own tracks.
void computeNodeMatrices(Scene& scene)
{
    std::vector<int> firstNode(scene.objects.size(), -1);
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        SceneNode& node = scene.nodes[i];
        node.material = node.object >= 0 ? scene.objects[node.object].material : nullptr;
        computeRestInverse(node);
        std::copy(node.restInverse, node.restInverse + 16, node.meshMatrix);
        if (node.object < 0) continue;
        int& first = firstNode[node.object];
        if (first < 0) {
            first = static_cast<int>(i);
            continue;
        }
        const SceneNode& placing = scene.nodes[first];
        float shift[16];
        translationMatrix(placing.pivot[0] - node.pivot[0], placing.pivot[1] - node.pivot[1],
                          placing.pivot[2] - node.pivot[2], shift);
        multiplyMatrices(shift, placing.restInverse, node.meshMatrix);
    }
}

// A light without a node, or whose node lacks a track, shines from its stored position in
// its stored colour; a camera without a node is placed by its stored position, target, bank
// and lens.
void fillStaticTracks(Scene& scene)
{
    for (Light& light : scene.lights) {
        if (!hasKeys(light.posTrack.get())) {
            light.posTrack = oneKeyTrack(light.storedPosition[0], light.storedPosition[1], light.storedPosition[2]);
        }
        if (!hasKeys(light.colorTrack.get())) {
            light.colorTrack = oneKeyTrack(light.storedColour[0], light.storedColour[1], light.storedColour[2]);
        }
    }
    if (!scene.hasCamera) return;
    const StoredCamera& stored = scene.storedCamera;
    if (!hasKeys(scene.cameraTrack.get())) {
        scene.cameraTrack = oneKeyTrack(stored.position[0], stored.position[1], stored.position[2]);
    }
    if (!hasKeys(scene.targetTrack.get())) {
        scene.targetTrack = oneKeyTrack(stored.target[0], stored.target[1], stored.target[2]);
    }
    if (!hasKeys(scene.rollTrack.get())) scene.rollTrack = oneKeyTrack(stored.bank);
    // The field-of-view track that 3D packages write for a lens holds 2400 / lens.
    if (!hasKeys(scene.fovTrack.get())) scene.fovTrack = oneKeyTrack(stored.lens > 0.0f ? 2400.0f / stored.lens : 45.0f);
}

// Without a camera: a 45-degree view from the front, right and above, far enough back that
// the sphere around the frame-0 bounding box fits. Without usable clipping planes: far is
// twice the distance from the frame-0 eye to the far side of that sphere, near a
// thousandth of far.
void frameTheScene(Scene& scene)
{
    const bool planesUsable = scene.hasCameraRanges && scene.nearPlane > 0.0f && scene.farPlane > scene.nearPlane;
    if (scene.hasCamera && planesUsable) return;
    float low[3], high[3];
    float centre[3] = {0.0f, 0.0f, 0.0f};
    float radius = 1.0f;
    if (sceneBounds(scene, 0, nullptr, low, high)) {
        float squared = 0.0f;
        for (int c = 0; c < 3; ++c) {
            centre[c] = 0.5f * (low[c] + high[c]);
            squared += 0.25f * (high[c] - low[c]) * (high[c] - low[c]);
        }
        if (squared > 0.0f) radius = std::sqrt(squared);
    }
    if (!scene.hasCamera) {
        const float fov = 45.0f;
        const float distance = 1.05f * radius / std::sin(0.5f * fov * 3.141592f / 180.0f);
        const float direction[3] = {0.408248f, -0.816497f, 0.408248f};   // (1, -2, 1) of unit length
        scene.cameraTrack = oneKeyTrack(centre[0] + distance * direction[0], centre[1] + distance * direction[1],
                                        centre[2] + distance * direction[2]);
        scene.targetTrack = oneKeyTrack(centre[0], centre[1], centre[2]);
        scene.rollTrack = oneKeyTrack(0.0f);
        scene.fovTrack = oneKeyTrack(fov);
        scene.defaultView = true;
    }
    if (planesUsable) return;
    float eye[3];
    vectorTrackValue(*scene.cameraTrack, 0, eye);
    float squared = 0.0f;
    for (int c = 0; c < 3; ++c) squared += (eye[c] - centre[c]) * (eye[c] - centre[c]);
    scene.farPlane = 2.0f * (std::sqrt(squared) + radius);
    scene.nearPlane = scene.farPlane / 1000.0f;
    scene.derivedPlanes = true;
}

} // namespace

bool Scene::readFile(const std::string& path, LoadError& error)
{
    std::vector<std::uint8_t> bytes;
    std::string problem;
    if (!readWholeFile(path, bytes, problem)) return failLoad(error, path, -1, -1, problem);
    return readBytes(bytes.data(), bytes.size(), path, error);
}

namespace {

// The scene emptied, its arrays reserved for what the file holds (the first pass), and the
// walk told what was counted.
bool prepareRead(Scene& scene, const std::uint8_t* data, std::size_t size, const std::string& path, LoadError& error,
                 ObjectCounts& counts)
{
    scene.fileName = path;
    if (size == 0) return failLoad(error, path, 0, -1, "is empty; a .3ds file starts with a main chunk 0x4D4D");
    ChunkCursor counter(data, size, path, error);
    if (!countObjects(counter, counts)) return false;
    scene.nodes.clear();
    scene.objects.clear();
    scene.lights.clear();
    scene.materials.clear();
    scene.keyframerNodes.clear();
    // Reserved now and never grown past, so parent and material pointers stay valid: a
    // node per object node, and one per object that no node names.
    scene.nodes.reserve(counts.objectNodes + counts.meshes);
    scene.lights.reserve(counts.lights);
    scene.materials.reserve(counts.materials);
    return true;
}

void setCapacities(SceneWalk& walk, const ObjectCounts& counts)
{
    walk.meshCapacity = counts.meshes;
    walk.lightCapacity = counts.lights;
    walk.materialCapacity = counts.materials;
    walk.objectNodeCapacity = counts.objectNodes;
}

// What the walk read bound together and filled in.
void finishRead(Scene& scene)
{
    bindNodesToObjects(scene);
    scene.nodeCount = static_cast<std::int16_t>(scene.nodes.size());
    scene.lightCount = static_cast<std::int16_t>(scene.lights.size());
    scene.materialCount = static_cast<std::int16_t>(scene.materials.size());
    bindMaterials(scene);
    computeNodeMatrices(scene);
    fillStaticTracks(scene);
    frameTheScene(scene);
}

// Reading in steps: the file a part a step, then its chunks, then the face normals, each a
// slice of some milliseconds in a browser (the grass scene is 4.5 MB; its blades are 25000
// vertices each).
constexpr std::size_t fileBytesReadAStep = 256 * 1024;
constexpr int meshesReadAStep = 1;
constexpr int facesNormalledAStep = 16384;

} // namespace

// A read in steps under way: the file's bytes, the walk through them once they are all in,
// and the next object whose face normals are due once the walk is done.
struct SceneReading {
    FileReadInParts file;
    bool fileRead = false;
    LoadError error;
    std::optional<ChunkCursor> cursor;
    std::optional<SceneWalk> walk;
    bool walked = false;
    std::size_t normalsFrom = 0;
};

bool Scene::readBytes(const std::uint8_t* data, std::size_t size, const std::string& path, LoadError& error)
{
    ObjectCounts counts;
    if (!prepareRead(*this, data, size, path, error, counts)) return false;
    ChunkCursor cursor(data, size, path, error);
    SceneWalk walk(*this, cursor);
    setCapacities(walk, counts);
    if (!walk.run()) return false;
    for (MeshObject& object : objects) computeObjectFaceNormals(object);
    finishRead(*this);
    return true;
}

bool Scene::readFileSome(const std::string& path, bool& done, LoadError& error)
{
    done = false;
    if (!reading) {
        reading = std::make_shared<SceneReading>();
        std::string problem;
        if (!reading->file.open(path, problem)) {
            reading.reset();
            return failLoad(error, path, -1, -1, problem);
        }
        return true;
    }
    SceneReading& read = *reading;
    if (!read.fileRead) {
        std::string problem;
        if (!read.file.readPart(fileBytesReadAStep, read.fileRead, problem)) {
            reading.reset();
            return failLoad(error, path, -1, -1, problem);
        }
        if (!read.fileRead) return true;
        const std::vector<unsigned char>& bytes = read.file.bytes;
        ObjectCounts counts;
        if (!prepareRead(*this, bytes.data(), bytes.size(), path, error, counts)) {
            reading.reset();
            return false;
        }
        read.cursor.emplace(bytes.data(), bytes.size(), path, read.error);
        read.walk.emplace(*this, *read.cursor);
        setCapacities(*read.walk, counts);
        return true;
    }
    if (!read.walked) {
        if (!read.walk->runSome(meshesReadAStep, read.walked)) {
            error = read.error;
            reading.reset();
            return false;
        }
        return true;
    }
    for (int faces = 0; read.normalsFrom < objects.size() && faces < facesNormalledAStep; ++read.normalsFrom) {
        MeshObject& object = objects[read.normalsFrom];
        computeObjectFaceNormals(object);
        faces += object.mesh->faceCount;
    }
    if (read.normalsFrom < objects.size()) return true;
    reading.reset();
    finishRead(*this);
    done = true;
    return true;
}

bool Scene::decodeMaterialMaps(std::size_t materialIndex, RenderWindow& window, const std::string& dataDir,
                               PictureDecoder decoder, LoadError& error) const
{
    const Material& material = materials.at(materialIndex);
    if (material.textureName.empty()) return true;
    // Maps are named as the modelling tool saw them; older tools wrote names in another case.
    const std::string texturePath = findFileIgnoringCase(dataDir + material.textureName);
    bool decoded;
    if (!material.maskName.empty()) {
        decoded = decoder(window, texturePath, TEXTURE_RGBA | TEXTURE_COLOUR, error) &&
                  decoder(window, findFileIgnoringCase(dataDir + material.maskName), TEXTURE_RGBA | TEXTURE_ALPHA, error);
    } else {
        decoded = decoder(window, texturePath, TEXTURE_COLOUR, error);
    }
    if (!decoded) {
        // A colour pass may have succeeded before its mask failed: its pixels go, so the next
        // texture starts from an empty image.
        releaseTexturePixels(window, *window.currentImage);
        nextTextureImage(window);
        error.text = "material \"" + material.name + "\": " + formatLoadError(error);
        error.file = fileName;
        error.offset = -1;
        error.chunkId = -1;
    }
    return decoded;
}

bool Scene::loadMaterialTexture(std::size_t materialIndex, const std::string& dataDir, PictureDecoder decoder,
                                LoadError& error)
{
    Material& material = materials.at(materialIndex);
    if (material.textureName.empty()) return true;
    if (!host) return failLoad(error, fileName, -1, -1, "textures need the scene's host window set before loading");
    if (!decodeMaterialMaps(materialIndex, *host, dataDir, decoder, error)) return false;
    TextureImage& image = *host->currentImage;
    uploadTexture(*host, image, GL_LINEAR, GL_LINEAR);
    material.texture = image.textureName;
    releaseTexturePixels(*host, image);
    nextTextureImage(*host);
    return true;
}

void Scene::bindTextures()
{
    for (MeshObject& object : objects) {
        Mesh& mesh = *object.mesh;
        if (object.material->texture != 0 && mesh.texCoordCount > 0 && mesh.texCoordCount >= mesh.vertexCount) {
            mesh.flags |= MESH_TEXTURED;
            mesh.texture = object.material->texture;
        }
    }
}

namespace {

// The demo decodes JPEG maps, whatever their names say; a map that holds a picture of another
// format is refused for what it holds before the JPEG decoder sees it.
bool decodeJpegMap(RenderWindow& window, const std::string& path, std::uint16_t mode, LoadError& error)
{
    const PictureFormat format = pictureFormatOfFile(path);
    if (format == PICTURE_PNG || format == PICTURE_TGA || format == PICTURE_BMP) {
        return failLoad(error, path, -1, -1,
                        std::string("holds a ") + pictureFormatName(format) + " picture; the demo reads JPEG maps only");
    }
    return decodeJpeg(window, path, mode, error);
}

} // namespace

bool Scene::loadTextures(const std::string& dataDir, int imageKind, LoadError& error)
{
    for (std::size_t i = 0; i < std::max<std::size_t>(materials.size(), 1); ++i) {
        if (!loadMaterialTextures(i, dataDir, imageKind, error)) return false;
    }
    return true;
}

bool Scene::loadMaterialTextures(std::size_t index, const std::string& dataDir, int imageKind, LoadError& error)
{
    if (imageKind != IMAGE_KIND_JPEG) {
        return failLoad(error, fileName, -1, -1,
                        "image kind " + std::to_string(imageKind) + " has no decoder; 2 (JPEG) is the only one");
    }
    if (index < materials.size() && !loadMaterialTexture(index, dataDir, decodeJpegMap, error)) return false;
    if (index + 1 >= materials.size()) bindTextures();
    return true;
}

bool Scene::load(const std::string& path, const std::string& dataDir, int imageKind, LoadError& error)
{
    return readFile(path, error) && loadTextures(dataDir, imageKind, error);
}

namespace {

// The textured paths read a mapping coordinate for every corner, and smooth shading reads
// vertex normals, which the reader leaves unset: both are made safe before their bits go on.
void orMeshFlags(Mesh& mesh, std::uint32_t bits)
{
    if (mesh.texCoordCount < mesh.vertexCount) bits &= ~MESH_TEXTURED;
    if ((bits & MESH_SMOOTH) && !(mesh.flags & MESH_SMOOTH) && mesh.vertexCount > 0) {
        mesh.computeVertexNormals(0, 1);
        float* normals = mesh.vertexNormals[0];
        for (int i = 0; i < mesh.vertexCount; ++i) {
            float* n = normals + 3 * i;
            const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (length > 0.0f) {
                for (int c = 0; c < 3; ++c) n[c] /= length;
            }
        }
    }
    mesh.flags |= bits;
}

} // namespace

int Scene::setMeshFlags(std::uint32_t bits)
{
    for (SceneNode& node : nodes) {
        if (node.mesh) orMeshFlags(*node.mesh, bits);
    }
    return nodeCount;
}

bool Scene::setMeshFlagsByName(const std::string& name, std::uint32_t bits)
{
    const std::int16_t index = findNode(name);
    if (index < 0) return false;
    if (nodes[index].mesh) orMeshFlags(*nodes[index].mesh, bits);
    return true;
}

std::int16_t Scene::findNode(const std::string& name) const
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].name == name) return static_cast<std::int16_t>(i);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i].instanceName.empty() && nodes[i].name + "." + nodes[i].instanceName == name) {
            return static_cast<std::int16_t>(i);
        }
    }
    return -1;
}

void Scene::addHeadLight()
{
    lights.emplace_back();
    Light& light = lights.back();
    light.name = "(head light)";
    light.headLight = true;
    light.glLight = GL_LIGHT0 + static_cast<std::int32_t>(lights.size() - 1);
    light.position[3] = 1.0f;
    light.diffuse[3] = 1.0f;
    light.posTrack = oneKeyTrack(0.0f, 0.0f, 0.0f);
    light.colorTrack = oneKeyTrack(1.0f, 1.0f, 1.0f);
    lightCount = static_cast<std::int16_t>(lights.size());
    for (MeshObject& object : objects) litByMaterial(*object.mesh, *object.material);
}
