#include "scene3ds/scene.h"

#include "platform/renderWindow.h"
#include "platform/loadError.h"
#include "scene3ds/chunkCursor.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/keyframerNodes.h"
#include "scene3ds/matrix4.h"
#include "scene3ds/meshChunks.h"

#include <GL/gl.h>

#include <fstream>
#include <iterator>

namespace {

constexpr int IMAGE_KIND_JPEG = 2;

// Pass 1: counts mesh objects, lights and materials, entering only the main, editor and
// named-object chunks, as pass 2 meets the same chunks there.
bool countObjects(ChunkCursor& cursor, int& nodeCount, int& lightCount, int& materialCount)
{
    nodeCount = lightCount = materialCount = 0;
    ChunkHeader chunk;
    while (cursor.next(0, chunk)) {
        switch (chunk.id) {
        case CHUNK_MAIN:
        case CHUNK_EDITOR: cursor.enter(chunk); break;
        case CHUNK_NAMED_OBJECT: {
            std::string name;
            if (!cursor.readName(chunk, name, "the object name")) return false;
            cursor.enter(chunk);
            break;
        }
        case CHUNK_TRIANGLE_MESH:
        case CHUNK_LIGHT:
        case CHUNK_MATERIAL: {
            int& count = chunk.id == CHUNK_TRIANGLE_MESH ? nodeCount : chunk.id == CHUNK_LIGHT ? lightCount : materialCount;
            if (++count > 32767) {
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
        case CHUNK_CAMERA:
            // Position, target, bank and lens: the keyframer nodes define the camera instead.
            if (!cursor.skipBytes(chunk, 32, "the camera's position, target, bank and lens")) return false;
            scene.hasCamera = true;
            cursor.enter(chunk);
            return true;
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
        case CHUNK_OBJECT_NODE: return readObjectNode(scene, cursor, chunk);
        case CHUNK_CAMERA_NODE: return readCameraNode(scene, cursor, chunk);
        case CHUNK_TARGET_NODE: return readTargetNode(scene, cursor, chunk);
        case CHUNK_LIGHT_NODE: return readLightNode(scene, cursor, chunk);
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
        if (scene.nodes.size() >= nodeCapacity) return uncounted(chunk);
        scene.nodes.emplace_back();
        SceneNode& node = scene.nodes.back();
        node.mesh = std::make_unique<Mesh>();
        node.name = objectName;
        node.mesh->context = scene.host;
        return readMeshChunks(*node.mesh, cursor, chunk);
    }

    bool readLight(const ChunkHeader& chunk)
    {
        if (scene.lights.size() >= lightCapacity) return uncounted(chunk);
        scene.lights.emplace_back();
        Light& light = scene.lights.back();
        light.name = objectName;
        light.position[3] = 1.0f;
        light.diffuse[3] = 1.0f;
        light.glLight = GL_LIGHT0 + static_cast<std::int32_t>(scene.lights.size() - 1);
        cursor.skip(chunk);
        return true;
    }

public:
    std::size_t nodeCapacity = 0, lightCapacity = 0, materialCapacity = 0;

private:
    Scene& scene;
    ChunkCursor& cursor;
    std::string objectName;   // the name of the last named-object chunk, for the mesh or light inside it
};

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

// Materials by name (first match), flags and colours from the material and the lights,
// face normals and restInverse. Textures come later, with GL.
void bindNodes(Scene& scene)
{
    for (SceneNode& node : scene.nodes) {
        Mesh& mesh = *node.mesh;
        node.material = nullptr;
        if (!mesh.materialName.empty()) {
            for (Material& material : scene.materials) {
                if (material.name == mesh.materialName) {
                    node.material = &material;
                    break;
                }
            }
        }
        mesh.flags = 0;
        if (node.material) {
            const Material& material = *node.material;
            mesh.alpha = material.opacity;
            if (!material.maskName.empty() || mesh.alpha != 1.0f) mesh.flags |= MESH_BLEND;
            if (scene.lightCount > 0) {
                mesh.flags |= MESH_LIT;
                for (int c = 0; c < 3; ++c) {
                    mesh.ambient[c] = material.ambient[c];
                    mesh.diffuse[c] = material.diffuse[c];
                    mesh.specular[c] = material.specular[c];
                }
                mesh.shininess = material.shininess;
            }
        }
        if (mesh.faceCount > 0 && mesh.vertexCount > 0) mesh.computeFaceNormals(0, 1.0f);
        computeRestInverse(node);
    }
}

} // namespace

bool Scene::readFile(const std::string& path, LoadError& error)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return failLoad(error, path, -1, -1, "cannot be opened for reading");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) return failLoad(error, path, -1, -1, "could not be read whole");
    return readBytes(bytes.data(), bytes.size(), path, error);
}

bool Scene::readBytes(const std::uint8_t* data, std::size_t size, const std::string& path, LoadError& error)
{
    fileName = path;
    if (size == 0) return failLoad(error, path, 0, -1, "is empty; a .3ds file starts with a main chunk 0x4D4D");

    int counts[3];
    ChunkCursor counter(data, size, path, error);
    if (!countObjects(counter, counts[0], counts[1], counts[2])) return false;

    nodes.clear();
    lights.clear();
    materials.clear();
    keyframerNodes.clear();
    // Reserved now and never grown past, so parent and material pointers stay valid.
    nodes.reserve(counts[0]);
    lights.reserve(counts[1]);
    materials.reserve(counts[2]);

    ChunkCursor cursor(data, size, path, error);
    SceneWalk walk(*this, cursor);
    walk.nodeCapacity = counts[0];
    walk.lightCapacity = counts[1];
    walk.materialCapacity = counts[2];
    if (!walk.run()) return false;

    nodeCount = static_cast<std::int16_t>(nodes.size());
    lightCount = static_cast<std::int16_t>(lights.size());
    materialCount = static_cast<std::int16_t>(materials.size());
    bindNodes(*this);
    return true;
}

bool Scene::loadMaterialTexture(std::size_t materialIndex, const std::string& dataDir, int imageKind, LoadError& error)
{
    Material& material = materials.at(materialIndex);
    if (material.textureName.empty()) return true;
    if (imageKind != IMAGE_KIND_JPEG) {
        return failLoad(error, fileName, -1, -1,
                        "image kind " + std::to_string(imageKind) + " has no decoder; 2 (JPEG) is the only one");
    }
    if (!host) return failLoad(error, fileName, -1, -1, "textures need the scene's host window set before loading");
    const std::string texturePath = dataDir + material.textureName;
    bool decoded;
    if (!material.maskName.empty()) {
        decoded = decodeJpeg(*host, texturePath, TEXTURE_RGBA | TEXTURE_COLOUR, error) &&
                  decodeJpeg(*host, dataDir + material.maskName, TEXTURE_RGBA | TEXTURE_ALPHA, error);
    } else {
        decoded = decodeJpeg(*host, texturePath, TEXTURE_COLOUR, error);
    }
    TextureImage& image = *host->currentImage;
    if (!decoded) {
        // A colour pass may have succeeded before its mask failed: its pixels go, so the next
        // texture starts from an empty image.
        releaseTexturePixels(*host, image);
        nextTextureImage(*host);
        error.text = "material \"" + material.name + "\" in " + fileName + ": " + error.text;
        return false;
    }
    uploadTexture(*host, image, GL_LINEAR, GL_LINEAR);
    material.texture = image.textureName;
    releaseTexturePixels(*host, image);
    nextTextureImage(*host);
    return true;
}

void Scene::bindTextures()
{
    for (SceneNode& node : nodes) {
        if (node.material && node.material->texture != 0 && node.mesh->texCoordCount > 0) {
            node.mesh->flags |= MESH_TEXTURED;
            node.mesh->texture = node.material->texture;
        }
    }
}

bool Scene::loadTextures(const std::string& dataDir, int imageKind, LoadError& error)
{
    for (std::size_t i = 0; i < materials.size(); ++i) {
        if (!loadMaterialTexture(i, dataDir, imageKind, error)) return false;
    }
    bindTextures();
    return true;
}

bool Scene::load(const std::string& path, const std::string& dataDir, int imageKind, LoadError& error)
{
    return readFile(path, error) && loadTextures(dataDir, imageKind, error);
}

int Scene::setMeshFlags(std::uint32_t bits)
{
    for (SceneNode& node : nodes) node.mesh->flags |= bits;
    return nodeCount;
}

bool Scene::setMeshFlagsByName(const std::string& name, std::uint32_t bits)
{
    const std::int16_t index = findNode(name);
    if (index < 0) return false;
    nodes[index].mesh->flags |= bits;
    return true;
}

std::int16_t Scene::findNode(const std::string& name) const
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].name == name) return static_cast<std::int16_t>(i);
    }
    return -1;
}
