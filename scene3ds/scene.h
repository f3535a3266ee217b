// One animated .3ds scene: its mesh objects (a SceneNode with a Mesh each), materials,
// lights and camera, and the keyframer tracks that move them. The Scene owns all of it.
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
    SceneNode* parent = nullptr;
    std::unique_ptr<Mesh> mesh;
    std::string name;
    std::unique_ptr<VectorTrack> posTrack;
    std::unique_ptr<VectorTrack> scaleTrack;
    std::unique_ptr<RotationTrack> rotTrack;
    Material* material = nullptr;      // bound by material group name after the walk; null when none matches
    int keyframerNode = -1;            // index into Scene::keyframerNodes; -1 until a node names this object
};

struct Light {
    std::int32_t glLight = 0;          // GL_LIGHT0 + the light's index
    std::string name;
    float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::unique_ptr<VectorTrack> posTrack;     // the node's position track (0xB020)
    std::unique_ptr<VectorTrack> colorTrack;   // the node's colour track (0xB025)
};

// What the walk found in one keyframer node, whether or not it names anything in the
// scene: for kesu-3ds info and for the playback check's messages.
struct KeyframerNode {
    std::uint16_t chunkId = 0;         // CHUNK_OBJECT_NODE, CHUNK_CAMERA_NODE, ...
    std::size_t offset = 0;            // byte offset of the node chunk
    std::string name;
    std::int16_t hierarchy = -1;
    bool hasPivot = false;
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    int target = -1;                   // index of the SceneNode or Light it names; -1 when none
    // Keys per track; -1 when the node has no such track.
    int positionKeys = -1, rotationKeys = -1, scaleKeys = -1, fovKeys = -1, rollKeys = -1, colorKeys = -1;
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
    std::vector<SceneNode> nodes;              // one per mesh object, in file order
    std::vector<Light> lights;                 // one per light object, in file order
    std::int16_t nodeCount = 0;
    std::int16_t lightCount = 0;

    // Beyond the playback fields: what kesu-3ds and the checks report.
    std::string fileName;
    std::int32_t startFrame = 0;               // start frame of the keyframer segment (playback starts at 0)
    bool hasFrameSegment = false;
    bool hasCamera = false;                    // a camera chunk 0x4700 was met
    bool hasCameraRanges = false;
    std::vector<KeyframerNode> keyframerNodes;

    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The demo's load: readFile, then loadTextures. imageKind 2 selects the JPEG decoder,
    // the only one there is. Needs host and a current GL context.
    bool load(const std::string& path, const std::string& dataDir, int imageKind, LoadError& error);

    // Reads the whole file into memory and walks it, then binds materials, flags, face
    // normals and restInverse. Needs no GL. On failure the scene is left partly filled and
    // must not be drawn.
    bool readFile(const std::string& path, LoadError& error);
    // The same over bytes already in memory; path only names them in messages.
    bool readBytes(const std::uint8_t* data, std::size_t size, const std::string& path, LoadError& error);

    // Makes each material's texture from its maps (dataDir + map name), and marks the
    // meshes that use it MESH_TEXTURED when they have mapping coordinates. Needs host and a
    // current GL context.
    bool loadTextures(const std::string& dataDir, int imageKind, LoadError& error);
    // One material's texture; loadTextures calls it for each material with a texture map.
    bool loadMaterialTexture(std::size_t materialIndex, const std::string& dataDir, int imageKind, LoadError& error);
    // Sets MESH_TEXTURED and the texture on each mesh whose material has a texture and
    // which has mapping coordinates.
    void bindTextures();

    // ORs bits into every node's mesh flags; returns the node count.
    int setMeshFlags(std::uint32_t bits);
    // ORs bits into the mesh of the first node with that name; false, changing nothing,
    // when no node has it.
    bool setMeshFlagsByName(const std::string& name, std::uint32_t bits);
    // Index of the first node with that name; -1 when no node has it.
    std::int16_t findNode(const std::string& name) const;

    // Draws the scene at frame: defined in render/scenePlayback.cpp. Needs a current GL
    // context and a scene that passed checkScenePlayback.
    void draw();
};
