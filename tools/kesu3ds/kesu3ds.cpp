// kesu-3ds: a command for people who make scenes. info describes a .3ds file as the reader
// sees it; check names the first problem that would keep it from being drawn; render
// draws one keyframer frame headless into a PNG, as a previewer for any well-formed file;
// bounds prints where each drawn node's vertices lie. Exit status: 0 done, 1 a problem with
// the file, 2 a usage error.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/files/otherPictureDecoder.h"
#include "platform/files/pngWriter.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage(std::FILE* stream = stderr)
{
    std::fprintf(stream,
                 "usage: kesu-3ds info FILE\n"
                 "       kesu-3ds check FILE [--node NAME]...\n"
                 "       kesu-3ds render FILE --frame N [--size WxH] [--flags BITS] --out FILE.png\n"
                 "       kesu-3ds bounds FILE [--frame N]\n"
                 "       kesu-3ds --help | --version\n"
                 "kesu-3ds " KESU_VERSION " reads .3ds scenes as the Kesu Tamrick demo does.\n"
                 "info describes every well-formed file; check reads it, checks that it can be drawn (and\n"
                 "has the named nodes) and exits 1 with the first problem; material maps (JPEG, PNG, TGA\n"
                 "or BMP) are looked up next to the file, under another case when the exact name is not\n"
                 "there; one that cannot be read is a warning: its meshes are drawn untextured (the demo\n"
                 "itself reads JPEG maps only).\n"
                 "render draws frame N on the offscreen driver, with MESH_FILL and BITS (for example 0x380\n"
                 "for culling and depth) ORed into every mesh, as the demo adds them per scene; a scene\n"
                 "without camera is seen from a default view, one without lights gets a head light.\n"
                 "bounds prints, for each drawn node, the box around its vertices at frame N (default 0)\n"
                 "in the scene's own coordinates.\n");
    return stream == stderr ? 2 : 0;
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
    case CHUNK_SPOT_NODE: return "spotlight node";
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

// "OBJECT", or "OBJECT.INSTANCE" for a node with an instance name.
std::string nodeLabel(const SceneNode& node)
{
    return quoted(node.instanceName.empty() ? node.name : node.name + "." + node.instanceName);
}

void printCamera(const Scene& scene)
{
    if (scene.defaultView) {
        std::printf("camera: none: a default view frames the scene");
    } else if (!scene.hasCameraNode) {
        std::printf("camera: no camera node: placed by the camera chunk's position, target, bank and lens");
    } else {
        std::printf("camera: node");
    }
    if (scene.derivedPlanes) {
        std::printf("; near %g, far %g from the scene's extent (%s)\n", scene.nearPlane, scene.farPlane,
                    scene.hasCameraRanges ? "the ranges chunk's are unusable" : "no ranges chunk");
    } else {
        std::printf("; near %g, far %g\n", scene.nearPlane, scene.farPlane);
    }
}

int info(const std::string& path)
{
    Scene scene;
    LoadError error;
    if (!scene.readFile(path, error)) return reportError(error);

    std::printf("%s\n", path.c_str());
    std::printf("objects: %zu\n", scene.objects.size());
    for (const MeshObject& object : scene.objects) {
        const Mesh& mesh = *object.mesh;
        std::printf("  %s: %d vertices, %d faces, %d mapping coordinates, material ", quoted(object.name).c_str(),
                    mesh.vertexCount, mesh.faceCount, mesh.texCoordCount);
        if (mesh.materialName.empty()) {
            std::printf("(no material group: default material)");
        } else if (object.material == &scene.defaultMaterial) {
            std::printf("%s (not defined: default material)", quoted(mesh.materialName).c_str());
        } else {
            std::printf("%s", quoted(mesh.materialName).c_str());
        }
        if (object.nodeCount == 0) std::printf("; no keyframer node: drawn where it is stored");
        if (object.nodeCount > 1) std::printf("; drawn by %d nodes (instances)", object.nodeCount);
        std::printf("\n");
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
    for (const Light& light : scene.lights) {
        std::printf("  %s%s\n", quoted(light.name).c_str(), light.hasNode ? "" : " (no light node: shines from its stored position)");
    }
    printCamera(scene);
    if (scene.hasFrameSegment) {
        std::printf("frames: segment %d .. %d, current frame %d\n", scene.startFrame, scene.frameCount, scene.fileFrame);
    } else {
        std::printf("frames: no frame segment: frame 0 is drawn\n");
    }
    std::printf("keyframer nodes: %zu\n", scene.keyframerNodes.size());
    for (const KeyframerNode& record : scene.keyframerNodes) {
        std::printf("  %s %s (byte %zu)", nodeKind(record.chunkId), quoted(record.name).c_str(), record.offset);
        if (record.chunkId == CHUNK_OBJECT_NODE) {
            const SceneNode& node = scene.nodes[record.target];
            if (!record.instanceName.empty()) std::printf(" instance %s", quoted(record.instanceName).c_str());
            if (!node.mesh) {
                std::printf(node.name == record.name && record.name != "$$$DUMMY" ? " (names no object: groups its children)"
                                                                                   : " (dummy: groups its children)");
            }
            std::printf(": hierarchy %d, parent %s", record.hierarchy, node.parent ? nodeLabel(*node.parent).c_str() : "none");
            if (record.hasPivot) {
                std::printf(", pivot (%g, %g, %g)", record.pivot[0], record.pivot[1], record.pivot[2]);
            } else {
                std::printf(", no pivot");
            }
        } else if ((record.chunkId == CHUNK_LIGHT_NODE || record.chunkId == CHUNK_SPOT_NODE) && record.target < 0) {
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

// Maps that hold PNG, TGA or BMP pictures decode too, whatever their names; every other file
// goes to the JPEG decoder.
bool decodeAnyPicture(RenderWindow& window, const std::string& fileName, std::uint16_t mode, LoadError& error)
{
    const PictureFormat format = pictureFormatOfFile(fileName);
    if (format == PICTURE_JPEG || format == PICTURE_UNKNOWN) return decodeJpeg(window, fileName, mode, error);
    DecodedPicture picture;
    std::string message;
    if (!decodeOtherPictureFile(fileName, (mode & TEXTURE_ALPHA) ? PICTURE_GREY : PICTURE_RGB, picture, message)) {
        return failLoad(error, fileName, -1, -1, message);
    }
    return fillTextureImage(window, picture, fileName, mode, error);
}

// Decodes every material map without uploading it, so check needs no GL context. A map
// that cannot be read is a warning: its meshes are drawn untextured.
void checkMaps(const Scene& scene, const std::string& dataDir)
{
    RenderWindow window;
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        LoadError error;
        if (scene.decodeMaterialMaps(i, window, dataDir, decodeAnyPicture, error)) {
            releaseTexturePixels(window, *window.currentImage);
            nextTextureImage(window);
        } else {
            std::fprintf(stderr, "kesu-3ds: warning: %s; its meshes are drawn untextured\n", formatLoadError(error).c_str());
        }
    }
}

// What the reader filled in that the file does not say, so no default goes unmentioned.
void printNotes(const Scene& scene)
{
    if (scene.defaultView) std::fprintf(stderr, "kesu-3ds: note: no camera: a default view frames the scene\n");
    if (scene.derivedPlanes) {
        std::fprintf(stderr, "kesu-3ds: note: near %g and far %g come from the scene's extent\n", scene.nearPlane,
                     scene.farPlane);
    }
}

// Reads the file and checks that it can be drawn: the common start of check, render and bounds.
bool readDrawable(Scene& scene, const std::string& path, const std::vector<std::string>& requiredNodes, LoadError& error)
{
    return scene.readFile(path, error) && checkScenePlayback(scene, requiredNodes, error);
}

int check(const std::string& path, const std::vector<std::string>& requiredNodes)
{
    Scene scene;
    LoadError error;
    if (!readDrawable(scene, path, requiredNodes, error)) return reportError(error);
    checkMaps(scene, directoryOf(path));
    printNotes(scene);
    std::printf("%s: ok: %zu objects, %d materials, %d lights, %zu keyframer nodes, frames 0 .. %d\n", path.c_str(),
                scene.objects.size(), scene.materialCount, scene.lightCount, scene.keyframerNodes.size(),
                scene.frameCount);
    return 0;
}

int bounds(const std::string& path, long frame)
{
    Scene scene;
    LoadError error;
    if (!readDrawable(scene, path, {}, error)) return reportError(error);
    std::vector<NodeBounds> boxes;
    float low[3], high[3];
    sceneBounds(scene, static_cast<std::int16_t>(frame), &boxes, low, high);
    for (const NodeBounds& box : boxes) {
        std::printf("%s min %g %g %g max %g %g %g\n", nodeLabel(scene.nodes[box.node]).c_str(), box.low[0], box.low[1],
                    box.low[2], box.high[0], box.high[1], box.high[2]);
    }
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
    if (!readDrawable(scene, path, {}, error)) return reportError(error);
    printNotes(scene);
    if (scene.lights.empty()) {
        std::fprintf(stderr, "kesu-3ds: note: no lights: a head light is added\n");
        scene.addHeadLight();
    }

    PlatformOffscreen offscreen;
    RenderWindow window;
    std::string platformError;
    if (!createOffscreenRenderWindow(width, height, window, offscreen, platformError)) {
        std::fprintf(stderr, "kesu-3ds: no offscreen GL context: %s\n", platformError.c_str());
        return 1;
    }
    scene.host = &window;
    for (MeshObject& object : scene.objects) object.mesh->context = &window;

    const std::string dataDir = directoryOf(path);
    for (std::size_t i = 0; i < scene.materials.size(); ++i) {
        if (!scene.loadMaterialTexture(i, dataDir, decodeAnyPicture, error)) {
            std::fprintf(stderr, "kesu-3ds: warning: %s; its meshes are drawn untextured\n",
                         formatLoadError(error).c_str());
        }
    }
    scene.bindTextures();
    // setMeshFlags keeps the textured path to meshes with mapping and gives smooth
    // shading its normals, so every value of the flags draws.
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

// A usage error: what was wrong, then the usage, status 2.
int refuse(const std::string& problem)
{
    std::fprintf(stderr, "kesu-3ds: %s\n", problem.c_str());
    return usage();
}

std::string quotedArgument(const char* text) { return "\"" + std::string(text) + "\""; }

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return usage(stdout);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kesu-3ds %s\n", KESU_VERSION);
        return 0;
    }
    if (argc < 2) return refuse("a command and a scene file are needed");
    const std::string command = argv[1];
    if (command != "info" && command != "check" && command != "render" && command != "bounds") {
        return refuse("unknown command " + quotedArgument(argv[1]) + " (info, check, render or bounds)");
    }
    if (argc < 3) return refuse(command + " needs a scene file");
    const std::string path = argv[2];
    const std::string frameProblem = "--frame wants a whole number from -32768 to 32767, not ";
    if (command == "info") return argc == 3 ? info(path) : refuse("info takes no option after the file");

    if (command == "bounds") {
        long frame = 0;
        if (argc == 3) return bounds(path, 0);
        if (argc != 5 || std::strcmp(argv[3], "--frame") != 0) return refuse("bounds takes only --frame N after the file");
        if (!parseInt(argv[4], -32768, 32767, frame)) return refuse(frameProblem + quotedArgument(argv[4]));
        return bounds(path, frame);
    }

    if (command == "check") {
        std::vector<std::string> nodes;
        for (int i = 3; i < argc; i += 2) {
            if (std::strcmp(argv[i], "--node") != 0) return refuse("check takes only --node NAME after the file");
            if (i + 1 >= argc) return refuse("--node wants a node name");
            nodes.push_back(argv[i + 1]);
        }
        return check(path, nodes);
    }

    long frame = 0;
    int width = 640, height = 480;
    bool hasFrame = false;
    std::uint32_t extraFlags = 0;
    std::string outPath;
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (option != "--frame" && option != "--size" && option != "--flags" && option != "--out") {
            return refuse("unknown option " + quotedArgument(argv[i]) + " for render");
        }
        if (i + 1 >= argc) return refuse(option + " wants a value");
        const char* value = argv[i + 1];
        if (option == "--frame") {
            if (!parseInt(value, -32768, 32767, frame)) return refuse(frameProblem + quotedArgument(value));
            hasFrame = true;
        } else if (option == "--size") {
            long w = 0, h = 0;
            const char* x = std::strchr(value, 'x');
            if (!x || !parseInt(std::string(value, x).c_str(), 1, 8192, w) || !parseInt(x + 1, 1, 8192, h)) {
                return refuse("--size wants WIDTHxHEIGHT, each from 1 to 8192, not " + quotedArgument(value));
            }
            width = static_cast<int>(w);
            height = static_cast<int>(h);
        } else if (option == "--flags") {
            char* end = nullptr;
            const unsigned long bits = std::strtoul(value, &end, 0);
            if (end == value || *end != '\0' || bits > 0x3FF) {
                return refuse("--flags wants drawing flags from 0 to 0x3FF, not " + quotedArgument(value));
            }
            extraFlags = static_cast<std::uint32_t>(bits);
        } else {
            outPath = value;
        }
    }
    if (!hasFrame || outPath.empty()) return refuse("render needs --frame N and --out FILE.png");
    return render(path, frame, width, height, extraFlags, outPath);
}
