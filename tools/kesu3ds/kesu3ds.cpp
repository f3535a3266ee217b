// kesu-3ds: a command for people who make scenes. info describes a .3ds file as the reader
// sees it; check loads it as the demo does and names the first problem; render draws one
// keyframer frame headless into a PNG. Exit status: 0 done, 1 a problem with the file or
// its maps, 2 a usage error.
#include "platform/renderWindow.h"
#include "platform/loadError.h"
#include "platform/pngWriter.h"
#include "platform/window.h"
#include "scene3ds/scenePlayback.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int IMAGE_KIND_JPEG = 2;

int usage()
{
    std::fprintf(stderr,
                 "usage: kesu-3ds info FILE\n"
                 "       kesu-3ds check FILE [--node NAME]...\n"
                 "       kesu-3ds render FILE --frame N [--size WxH] [--flags BITS] --out FILE.png\n"
                 "info describes every well-formed file; check loads it as the demo does (walk, playback\n"
                 "check, material maps next to the file) and exits 1 with the first problem; render draws\n"
                 "frame N on the offscreen driver, with MESH_FILL and BITS (for example 0x380 for culling and\n"
                 "depth) ORed into every mesh, as the demo adds them per scene.\n");
    return 2;
}

// Material maps are looked up next to the scene, as the demo keeps both in data/.
std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int reportError(const LoadError& error)
{
    std::fprintf(stderr, "%s\n", formatLoadError(error).c_str());
    return 1;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

const char* nodeKind(std::uint16_t chunkId)
{
    switch (chunkId) {
    case CHUNK_OBJECT_NODE: return "object node";
    case CHUNK_CAMERA_NODE: return "camera node";
    case CHUNK_TARGET_NODE: return "target node";
    case CHUNK_LIGHT_NODE: return "light node";
    default: return "node";
    }
}

void printColour(const char* label, const float* colour, bool present)
{
    std::printf("%s %.3f %.3f %.3f%s", label, colour[0], colour[1], colour[2], present ? "" : " (no chunk: default)");
}

// Prints ", label keys" for a track that exists; first tells whether one came before.
void printKeys(const char* label, int keys, bool& first)
{
    if (keys < 0) return;
    std::printf("%s%s %d", first ? " " : ", ", label, keys);
    first = false;
}

int info(const std::string& path)
{
    Scene scene;
    LoadError error;
    if (!scene.readFile(path, error)) return reportError(error);

    std::printf("%s\n", path.c_str());
    std::printf("objects: %d\n", scene.nodeCount);
    for (const SceneNode& node : scene.nodes) {
        const Mesh& mesh = *node.mesh;
        std::printf("  %s: %d vertices, %d faces, %d mapping coordinates, material %s\n", quoted(node.name).c_str(),
                    mesh.vertexCount, mesh.faceCount, mesh.texCoordCount,
                    mesh.materialName.empty() ? "(no material group)" : quoted(mesh.materialName).c_str());
    }
    std::printf("materials: %d\n", scene.materialCount);
    for (const Material& material : scene.materials) {
        std::printf("  %s:", quoted(material.name).c_str());
        printColour(" ambient", material.ambient, material.presentChunks & MATERIAL_HAS_AMBIENT);
        printColour(", diffuse", material.diffuse, material.presentChunks & MATERIAL_HAS_DIFFUSE);
        printColour(", specular", material.specular, material.presentChunks & MATERIAL_HAS_SPECULAR);
        std::printf(", shininess %g, opacity %.3f", material.shininess, material.opacity);
        if (!material.textureName.empty()) std::printf(", texture map %s", quoted(material.textureName).c_str());
        if (!material.maskName.empty()) std::printf(", opacity map %s", quoted(material.maskName).c_str());
        std::printf("\n");
    }
    std::printf("lights: %d\n", scene.lightCount);
    for (const Light& light : scene.lights) std::printf("  %s\n", quoted(light.name).c_str());
    if (!scene.hasCamera) {
        std::printf("camera: none\n");
    } else if (!scene.hasCameraRanges) {
        std::printf("camera: no ranges chunk\n");
    } else {
        std::printf("camera: near %g, far %g\n", scene.nearPlane, scene.farPlane);
    }
    if (scene.hasFrameSegment) {
        std::printf("frames: segment %d .. %d, current frame %d\n", scene.startFrame, scene.frameCount, scene.fileFrame);
    } else {
        std::printf("frames: no frame segment\n");
    }
    std::printf("keyframer nodes: %zu\n", scene.keyframerNodes.size());
    for (const KeyframerNode& record : scene.keyframerNodes) {
        std::printf("  %s %s (byte %zu)", nodeKind(record.chunkId), quoted(record.name).c_str(), record.offset);
        if (record.chunkId == CHUNK_OBJECT_NODE) {
            std::printf(": hierarchy %d, parent ", record.hierarchy);
            if (record.target < 0) {
                std::printf("(names no object)");
            } else {
                const SceneNode* parent = scene.nodes[record.target].parent;
                std::printf("%s", parent ? quoted(parent->name).c_str() : "none");
            }
            if (record.hasPivot) {
                std::printf(", pivot (%g, %g, %g)", record.pivot[0], record.pivot[1], record.pivot[2]);
            } else {
                std::printf(", no pivot");
            }
        } else if (record.chunkId == CHUNK_LIGHT_NODE && record.target < 0) {
            std::printf(": (names no light)");
        }
        std::printf("; keys:");
        bool first = true;
        printKeys("position", record.positionKeys, first);
        printKeys("rotation", record.rotationKeys, first);
        printKeys("scale", record.scaleKeys, first);
        printKeys("field of view", record.fovKeys, first);
        printKeys("roll", record.rollKeys, first);
        printKeys("colour", record.colorKeys, first);
        std::printf("%s\n", first ? " none" : "");
    }
    return 0;
}

// Decodes every material map without uploading it, so check needs no GL context.
bool checkMaps(const Scene& scene, const std::string& dataDir, LoadError& error)
{
    RenderWindow window;
    for (const Material& material : scene.materials) {
        if (material.textureName.empty()) continue;
        bool decoded;
        if (!material.maskName.empty()) {
            decoded = decodeJpeg(window, dataDir + material.textureName, TEXTURE_RGBA | TEXTURE_COLOUR, error) &&
                      decodeJpeg(window, dataDir + material.maskName, TEXTURE_RGBA | TEXTURE_ALPHA, error);
        } else {
            decoded = decodeJpeg(window, dataDir + material.textureName, TEXTURE_COLOUR, error);
        }
        releaseTexturePixels(window, *window.currentImage);
        nextTextureImage(window);
        if (!decoded) {
            error.text = "material " + quoted(material.name) + " of " + scene.fileName + ": " + error.text;
            return false;
        }
    }
    return true;
}

int check(const std::string& path, const std::vector<std::string>& requiredNodes)
{
    Scene scene;
    LoadError error;
    if (!scene.readFile(path, error) || !checkScenePlayback(scene, requiredNodes, error) ||
        !checkMaps(scene, directoryOf(path), error)) {
        return reportError(error);
    }
    std::printf("%s: ok: %d objects, %d materials, %d lights, %zu keyframer nodes, frames 0 .. %d\n", path.c_str(),
                scene.nodeCount, scene.materialCount, scene.lightCount, scene.keyframerNodes.size(), scene.frameCount);
    return 0;
}

bool parseInt(const char* text, long minimum, long maximum, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= minimum && value <= maximum;
}

int render(const std::string& path, long frame, int width, int height, std::uint32_t extraFlags,
           const std::string& outPath)
{
    Scene scene;
    LoadError error;
    if (!scene.readFile(path, error) || !checkScenePlayback(scene, {}, error)) return reportError(error);

    PlatformOffscreen offscreen;
    RenderWindow window;
    std::string platformError;
    if (!createOffscreenRenderWindow(width, height, window, offscreen, platformError)) {
        std::fprintf(stderr, "kesu-3ds: no offscreen GL context: %s\n", platformError.c_str());
        return 1;
    }
    scene.host = &window;
    for (SceneNode& node : scene.nodes) node.mesh->context = &window;

    const std::string dataDir = directoryOf(path);
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        if (!scene.loadMaterialTexture(i, dataDir, IMAGE_KIND_JPEG, error)) {
            std::fprintf(stderr, "kesu-3ds: warning: %s; its meshes are drawn untextured\n",
                         formatLoadError(error).c_str());
        }
    }
    scene.bindTextures();
    scene.setMeshFlags(MESH_FILL);
    scene.setMeshFlags(extraFlags);

    // The start-up state the demo's effects rely on.
    glViewport(0, 0, width, height);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    scene.frame = static_cast<std::int16_t>(frame);
    scene.draw();
    glFinish();

    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    destroyOffscreenRenderWindow(window, offscreen);
    if (!writePng(outPath, pixels.data(), width, height, true, platformError)) {
        std::fprintf(stderr, "kesu-3ds: %s\n", platformError.c_str());
        return 1;
    }
    std::printf("%s: frame %d drawn into %s (%dx%d)\n", path.c_str(), scene.frame, outPath.c_str(), width, height);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return usage();
    const std::string command = argv[1];
    const std::string path = argv[2];
    if (command == "info") return argc == 3 ? info(path) : usage();

    if (command == "check") {
        std::vector<std::string> nodes;
        for (int i = 3; i < argc; i += 2) {
            if (std::strcmp(argv[i], "--node") != 0 || i + 1 >= argc) return usage();
            nodes.push_back(argv[i + 1]);
        }
        return check(path, nodes);
    }

    if (command == "render") {
        long frame = 0;
        int width = 640, height = 480;
        bool hasFrame = false;
        std::uint32_t extraFlags = 0;
        std::string outPath;
        for (int i = 3; i < argc; i += 2) {
            if (i + 1 >= argc) return usage();
            const std::string option = argv[i];
            const char* value = argv[i + 1];
            if (option == "--frame") {
                if (!parseInt(value, -32768, 32767, frame)) return usage();
                hasFrame = true;
            } else if (option == "--size") {
                long w, h;
                const char* x = std::strchr(value, 'x');
                if (!x) return usage();
                const std::string widthText(value, x);
                if (!parseInt(widthText.c_str(), 1, 8192, w) || !parseInt(x + 1, 1, 8192, h)) return usage();
                width = static_cast<int>(w);
                height = static_cast<int>(h);
            } else if (option == "--flags") {
                char* end = nullptr;
                const unsigned long bits = std::strtoul(value, &end, 0);
                if (end == value || *end != '\0' || bits > 0x3FF) return usage();
                extraFlags = static_cast<std::uint32_t>(bits);
            } else if (option == "--out") {
                outPath = value;
            } else {
                return usage();
            }
        }
        if (!hasFrame || outPath.empty()) return usage();
        return render(path, frame, width, height, extraFlags, outPath);
    }
    return usage();
}
