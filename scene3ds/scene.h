// One animated .3ds scene: its mesh objects, the nodes that draw them (a SceneNode per
// keyframer object node, dummies and instances included), materials, lights and camera, and
// the keyframer tracks that move them. The Scene owns all of it.
// Reading the file needs no GL; making material textures and drawing need a current GL
// context and host set.
#pragma once

#include "render/mesh.h"
#include "scene3ds/keyframerTracks.h"
#include "textures/texture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct LoadError;
struct RenderWindow;
struct SceneReading;

// The image kind of the demo's load: material maps are JPEG pictures.
constexpr int IMAGE_KIND_JPEG = 2;

struct Material {
    std::string name;
    std::string textureName;   // texture map file name, relative to the data directory; empty when none
    std::string maskName;      // opacity map file name, the texture's alpha mask; empty when none
    TextureId texture = 0;     // made from the two maps by loadTextures; 0 when there is none
    // A material block is expected to carry all five of the colour and percentage chunks;
    // where one is missing these values stand (the GL material defaults, no transparency)
    // and presentChunks says so.
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;    // percentage as stored, 0 to 100
    float opacity = 1.0f;      // 1 - transparency / 100
    std::uint8_t presentChunks = 0;   // MATERIAL_HAS_... bits of the chunks read
};

constexpr std::uint8_t MATERIAL_HAS_AMBIENT = 0x01;
constexpr std::uint8_t MATERIAL_HAS_DIFFUSE = 0x02;
constexpr std::uint8_t MATERIAL_HAS_SPECULAR = 0x04;
constexpr std::uint8_t MATERIAL_HAS_SHININESS = 0x08;
constexpr std::uint8_t MATERIAL_HAS_TRANSPARENCY = 0x10;

struct SceneNode {
    std::int16_t hierarchy = -1;       // from the keyframer node header; -1 marks a root
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    float restInverse[16] = {};        // inverse of the frame-0 transform, ancestors included; column-major
    float world[16] = {};              // node matrix of the last drawn frame, view included
    // Maps the mesh's stored vertices into the node's frame, pivot included: restInverse
    // for the first node of an object (whose first keys put the vertices where they are
    // stored), T(-pivot) . T(that node's pivot) . its restInverse for a further instance.
    float meshMatrix[16] = {};
    SceneNode* parent = nullptr;
    Mesh* mesh = nullptr;              // owned by the node's MeshObject; null for a grouping (dummy) node
    std::string name;                  // the object's name; a dummy's instance name
    std::string instanceName;          // the node's instance name chunk; empty when none
    std::unique_ptr<VectorTrack> posTrack;
    std::unique_ptr<VectorTrack> scaleTrack;
    std::unique_ptr<RotationTrack> rotTrack;
    Material* material = nullptr;      // the object's material; null for a grouping node
    int object = -1;                   // index into Scene::objects; -1 for a grouping node
    int keyframerNode = -1;            // index into Scene::keyframerNodes; -1 for an object without one
};

// One mesh object of the file. Every keyframer node naming it draws it (several nodes are
// instances); an object no node names gets a node of its own that draws it where it is stored.
struct MeshObject {
    std::string name;
    std::unique_ptr<Mesh> mesh;
    Material* material = nullptr;      // the material its group names, or the scene's defaultMaterial
    int nodeCount = 0;                 // keyframer nodes that name it
};

struct Light {
    std::int32_t glLight = 0;          // GL_LIGHT0 + the light's index
    std::string name;
    float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::unique_ptr<VectorTrack> posTrack;     // the node's position track (0xB020), else the stored position
    std::unique_ptr<VectorTrack> colorTrack;   // the node's colour track (0xB025), else the stored colour
    float storedPosition[3] = {0.0f, 0.0f, 0.0f};   // from the light chunk
    float storedColour[3] = {1.0f, 1.0f, 1.0f};     // the light chunk's colour sub-chunk; white when it has none
    bool hasNode = false;              // a light node named it
    bool headLight = false;            // added by addHeadLight: shines along the view, not from the scene
};

// What the walk found in one keyframer node, whether or not it names anything in the
// scene: for kesu-3ds info and for the playback check's messages.
struct KeyframerNode {
    std::uint16_t chunkId = 0;         // CHUNK_OBJECT_NODE, CHUNK_CAMERA_NODE, ...
    std::size_t offset = 0;            // byte offset of the node chunk
    std::string name;
    std::string instanceName;
    std::int16_t hierarchy = -1;
    bool hasPivot = false;
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    int target = -1;                   // index of the SceneNode or Light it fills; -1 when none
    // Keys per track; -1 when the node has no such track.
    int positionKeys = -1, rotationKeys = -1, scaleKeys = -1, fovKeys = -1, rollKeys = -1, colorKeys = -1;
};

// The camera chunk's own values, which stand in for the tracks a camera without a node lacks.
struct StoredCamera {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float target[3] = {0.0f, 0.0f, 0.0f};
    float bank = 0.0f;                 // degrees, the roll
    float lens = 0.0f;                 // millimetres; the field of view is 2400 / lens degrees
};

struct Scene {
    std::unique_ptr<VectorTrack> cameraTrack;
    std::unique_ptr<VectorTrack> targetTrack;
    std::unique_ptr<ScalarTrack> rollTrack;    // degrees about the view axis
    std::unique_ptr<ScalarTrack> fovTrack;     // vertical field of view in degrees
    // One-shot offsets that effects add before a draw; the draw clears them.
    float rollOffset = 0.0f;
    float fovOffset = 0.0f;
    float cameraOffset[3] = {0.0f, 0.0f, 0.0f};
    float targetOffset[3] = {0.0f, 0.0f, 0.0f};
    float viewMatrix[16] = {};                 // roll and look-at of the last drawn frame, column-major
    RenderWindow* host = nullptr;              // set by the owner before textures are made or the scene drawn
    std::int16_t frameCount = 0;               // end frame of the keyframer segment; playback wraps modulo it
    std::int16_t frame = 0;                    // current keyframer frame, set by the owner before each draw
    std::vector<Material> materials;
    std::int16_t materialCount = 0;
    float farPlane = 0.0f;
    float nearPlane = 0.0f;
    std::int16_t fileFrame = 0;                // low half of the current-frame chunk's value
    // Drawn in this order: one per keyframer object node (dummies and instances included),
    // in keyframer order, then one per object that no node names, in file order.
    std::vector<SceneNode> nodes;
    std::vector<Light> lights;                 // one per light object, in file order
    std::int16_t nodeCount = 0;
    std::int16_t lightCount = 0;

    // Beyond the playback fields: the mesh objects, and what kesu-3ds and the checks report.
    std::vector<MeshObject> objects;           // one per mesh object, in file order
    // Stands in for a material group that is missing or names no material.
    Material defaultMaterial;
    std::string fileName;
    std::int32_t startFrame = 0;               // start frame of the keyframer segment (playback starts at 0)
    bool hasFrameSegment = false;
    bool hasCamera = false;                    // a camera chunk 0x4700 or a camera node was met
    bool hasCameraNode = false;
    bool hasCameraRanges = false;
    // Without a camera the scene is seen from a default view that frames it; without usable
    // ranges (no chunk, near <= 0 or far <= near) near and far come from its extent.
    bool defaultView = false;
    bool derivedPlanes = false;
    StoredCamera storedCamera;
    std::vector<KeyframerNode> keyframerNodes;
    std::shared_ptr<SceneReading> reading;     // a read in steps under way (readFileSome)

    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The demo's load: readFile, then loadTextures. imageKind 2 selects the JPEG decoder,
    // the only one there is. Needs host and a current GL context.
    bool load(const std::string& path, const std::string& dataDir, int imageKind, LoadError& error);

    // Reads the whole file into memory and walks it, then binds nodes to objects and
    // parents, materials, flags, face normals, restInverse and meshMatrix, and fills in
    // what the file leaves out (tracks of static objects, lights and cameras without nodes,
    // a default view, clipping planes). Needs no GL. On failure the scene is left partly
    // filled and must not be drawn.
    bool readFile(const std::string& path, LoadError& error);
    // The same over bytes already in memory; path only names them in messages.
    bool readBytes(const std::uint8_t* data, std::size_t size, const std::string& path, LoadError& error);
    // readFile in steps, for a loading that hands back between them: the first call opens the
    // file, the next read it a part each, the one that ends it counts what it holds, the next
    // walk it on past a mesh each, then compute face normals for some objects each, and the
    // last binds what was read and sets done. After a failure the next call starts again.
    bool readFileSome(const std::string& path, bool& done, LoadError& error);

    // Makes each material's texture from its maps (dataDir + map name, or a file of that
    // name in another case), and marks the meshes that use it MESH_TEXTURED when they have
    // mapping for every vertex. imageKind IMAGE_KIND_JPEG is the only one: a map whose
    // name says PNG, TGA or BMP is refused, naming the material and the map. Needs host and
    // a current GL context.
    bool loadTextures(const std::string& dataDir, int imageKind, LoadError& error);
    // The same a material at a time, for a loading that hands back between them: material
    // `index`'s texture, and after the last material's the meshes marked.
    bool loadMaterialTextures(std::size_t index, const std::string& dataDir, int imageKind, LoadError& error);
    // One material's texture through the decoder; loadTextures calls it for each material
    // with a texture map, with decodeJpeg.
    bool loadMaterialTexture(std::size_t materialIndex, const std::string& dataDir, PictureDecoder decoder,
                             LoadError& error);
    // The first half of loadMaterialTexture: the maps decoded into window's pending image,
    // which on failure is left empty. Needs no GL context.
    bool decodeMaterialMaps(std::size_t materialIndex, RenderWindow& window, const std::string& dataDir,
                            PictureDecoder decoder, LoadError& error) const;
    // Sets MESH_TEXTURED and the texture on each mesh whose material has a texture and
    // which has mapping for every vertex.
    void bindTextures();

    // ORs bits into every node's mesh flags; returns the node count. Whatever the bits,
    // MESH_TEXTURED goes only to meshes with mapping for every vertex, and MESH_SMOOTH
    // first gives a mesh unit vertex normals, so any flags draw safely.
    int setMeshFlags(std::uint32_t bits);
    // ORs bits into the mesh of the first node with that name, as setMeshFlags does; false,
    // changing nothing, when no node has it.
    bool setMeshFlagsByName(const std::string& name, std::uint32_t bits);
    // Index of the first node with that name, or else the first whose "name.instance" it
    // is; -1 when no node has it.
    std::int16_t findNode(const std::string& name) const;

    // Adds a white light that shines along the view and lights every mesh with its
    // material's colours: for previewing a scene that has no lights.
    void addHeadLight();

    // Draws the scene at frame: defined in scene3ds/scenePlayback.cpp. Needs a current GL
    // context and a scene that passed checkScenePlayback.
    void draw();
};
