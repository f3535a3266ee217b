// The one triangle-mesh type: material colours, render flags, textures and one or more
// frames of positions and normals over shared triangles and texture coordinates. Drawing
// shows the last frame. Drawing needs a current GL context; the rest needs none.
#pragma once

#include "textures/texture.h"

#include <cstdint>
#include <string>
#include <vector>

struct RenderWindow;

// Render flags. Each selects the GL state that Mesh::draw sets (see render/meshDrawing.cpp).
constexpr std::uint32_t MESH_FILL = 0x001;         // polygons filled; clear: wireframe lines
constexpr std::uint32_t MESH_SMOOTH = 0x002;       // smooth shading with vertex normals; clear: flat with face normals
constexpr std::uint32_t MESH_TEXTURED = 0x004;     // base texture with texCoords / texFaces
constexpr std::uint32_t MESH_ENVMAP = 0x008;       // envTexture by sphere-map generation; with MESH_TEXTURED the base texture goes to unit 1
constexpr std::uint32_t MESH_ADDITIVE = 0x010;     // blending (source alpha, one)
constexpr std::uint32_t MESH_BLEND = 0x020;        // blending (source alpha, one minus source alpha); textured and unculled: back faces first
constexpr std::uint32_t MESH_LIT = 0x040;          // lighting on
constexpr std::uint32_t MESH_CULL = 0x080;         // back faces culled
constexpr std::uint32_t MESH_DEPTH_TEST = 0x100;   // depth test on; writes only with MESH_DEPTH_WRITE
constexpr std::uint32_t MESH_DEPTH_WRITE = 0x200;  // depth writes on, and depth test on

// MESH_FILL | MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE.
constexpr std::uint32_t MESH_DEFAULT_FLAGS = 0x381;

// A run of consecutive faces recorded into a list of its own, with the box around its
// corners in the mesh's coordinates.
struct RecordedRun {
    float low[3];
    float high[3];
};

// What drawing recorded of a mesh's geometry block, and what the recording was made from:
// it is replayed only while all of these still hold. A large mesh is recorded as runs of
// faces, one list each, numbered on from `list`.
struct MeshRecording {
    unsigned int list = 0;               // display list name; 0 when nothing is recorded
    std::uint64_t contextId = 0;         // the context the list lives in (platformCurrentContextId)
    std::uint32_t changeCount = 0;       // the mesh's changeCount when recorded
    std::uint32_t geometryFlags = 0;     // the flags that shape the block: smooth, lit, textured, envmap
    bool twoTextures = false;            // recorded on the two-texture path
    std::vector<RecordedRun> runs;       // empty: the block is the one list
    int runCount = 1;                    // the lists the block takes
    int recordedRuns = 0;                // of them, those recorded so far (a recording in steps)
};

// A frame f is the triple positions[f], vertexNormals[f], faceNormals[f]. Every per-vertex
// and per-face array is packed triples: element 3i + c is component c of entry i.
class Mesh {
public:
    std::int32_t buildVertexCount = 0;   // geosphere build only: vertices made so far, the next free index
    std::int32_t buildFaceCount = 0;     // geosphere build only: faces emitted so far
    RenderWindow* context = nullptr;     // not owned; where the two-texture path finds its entry points
    float localMatrix[16] = {};          // column-major; as stored in the scene file, unused by drawing
    float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 5.0f;
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    std::uint32_t flags = MESH_DEFAULT_FLAGS;
    float alpha = 1.0f;                  // alpha of the colour set while blending
    TextureId texture = 0;
    TextureId envTexture = 0;
    std::int16_t frameCount = 1;         // fixed by the constructor
    std::int32_t vertexCount = 0;
    std::int32_t texCoordCount = 0;
    std::int32_t faceCount = 0;
    std::int32_t texFaceCount = 0;
    float** positions = nullptr;         // frameCount pointers, each to vertexCount triples
    float** vertexNormals = nullptr;     // frameCount pointers, each to vertexCount triples
    float* texCoords = nullptr;          // texCoordCount triples (u, v, unused)
    // Unsigned 16-bit indices, as the scene file stores them: a mesh addresses up to 65535 vertices.
    std::uint16_t* faces = nullptr;      // faceCount triples of vertex indices
    std::uint16_t* texFaces = nullptr;   // texFaceCount triples of texCoords indices; entry i belongs to face i
    float** faceNormals = nullptr;       // frameCount pointers, each to faceCount triples
    std::string materialName;            // scene material of the mesh; empty when none
    // Moves with every change to the counts or arrays, so drawing knows its recording of the
    // geometry is stale. The operations below move it; code that writes the arrays itself
    // calls markChanged when it is done.
    std::uint32_t changeCount = 0;
    // Set by an owner that rewrites the mesh before each of its draws (a wobbled sphere): such
    // a mesh is sent from its arrays every time, since a recording would be replayed once.
    bool changesEveryFrame = false;

    // One frame.
    Mesh();
    // frameCount frames, at least one.
    explicit Mesh(std::int16_t frameCount);
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // A zero count leaves its part untouched. Non-zero: stores the count and allocates
    // positions and vertex normals for every frame, or texCoords (contents undefined).
    // A part allocated again releases its earlier arrays.
    void allocVertices(std::uint16_t vertexCount, std::uint16_t texCoordCount);
    // Stores both counts and allocates faces, every frame's face normals and texFaces.
    void allocFaces(std::uint16_t faceCount, std::uint16_t texFaceCount);
    // Copies positions and both normal sets of frame src over frame dst; does nothing when
    // either frame is outside 0 .. frameCount - 1.
    void copyFrame(std::int8_t dst, std::int8_t src);
    // Face normals of the frame from its positions: the cross product of the two edges from
    // corner 0, scaled to length. A face of zero area gets (0, 0, 0).
    void computeFaceNormals(std::int8_t frame, float length);
    // Vertex normals of the frame: the sum of the face normals meeting at each vertex,
    // divided by divisor; deliberately not normalised, their length scales the lighting.
    void computeVertexNormals(std::int8_t frame, std::int8_t divisor);

    // Draws the last frame with the state the flags select, then resets depth mask,
    // blending, culling, texturing and generation on unit 0 and polygon mode (and texturing
    // on unit 1 after the two-texture path). Without the multitexture entry points a
    // textured environment-mapped mesh shows its environment map alone. On the fast draw
    // path the geometry block is recorded once into a display list and replayed until the
    // mesh, the flags that shape the block or the context change; a large mesh is recorded
    // in runs of faces, a run wholly outside the view volume is skipped (the driver would
    // clip all of it), and the mesh is flushed to the driver as soon as it is sent. Defined
    // in render/meshDrawing.cpp.
    void draw() const;
    // Records the geometry block for the flags and context as they are, as a fast-path draw
    // would; nothing on the immediate path or for a mesh that changes every frame.
    void record() const;
    // The same in steps, for a loading that hands back between them: at most `runs` runs of
    // the block recorded; true once it is recorded whole. A draw meanwhile records the rest.
    bool recordSome(int runs) const;

    void markChanged() { ++changeCount; }

    // Turns an empty multi-frame mesh into a geodesic sphere of the given level (1 .. 6)
    // and radius, copied into frames 1 and 2. Defined in render/geosphere.cpp.
    void buildGeosphere(float radius, std::int8_t level, float normalLength);
    // Build steps: emits face (i0, i1, i2) at level 1, else splits it into four.
    void subdivideFace(int i0, int i1, int i2, std::int8_t level);
    // The vertex halfway between i0 and i1 pushed onto the unit sphere, shared with any
    // vertex already made within 0.0001 of it.
    int midpointVertex(int i0, int i1);

    // Rewrites the positions of dstFrame from srcFrame, each scaled along its line through
    // the origin by a three-dimensional sine wave. Normals are left for the caller.
    void wobbleMesh(std::int8_t dstFrame, std::int8_t srcFrame, float amplitude, float wavelength, float phaseX,
                    float phaseY, float phaseZ);

private:
    void releaseArrays();
    // The display list of the geometry block, recorded anew when stale; 0 when the block
    // goes out call by call. Defined in render/meshDrawing.cpp.
    unsigned int recordedBlock(bool twoTextures) const;
    // recordedBlock's work, up to `runs` more runs; the list, or 0 as recordedBlock gives it.
    unsigned int recordRuns(bool twoTextures, int runs) const;
    // Replays the recording: the one list, or the runs that can show in the view volume.
    void replayRecording(bool twoTextures) const;

    // Drawing's cache of the geometry, not part of the mesh's value. Its display list lives as
    // long as its context, not as the mesh: the demo's meshes are destroyed only at exit, when
    // the driver may already be gone, and a context takes its lists with it.
    mutable MeshRecording recording;
};
