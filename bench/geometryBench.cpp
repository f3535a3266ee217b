// Times the geometry the effects draw each frame: a level-4 geodesic sphere drawn, wobbled
// and given new normals; an emitter of about two thousand particles updated and drawn;
// and, for start-up, a 512 x 512 masked texture decoded and uploaded. Runs offscreen.
// With "--pictures DIR" it writes PNGs of the same drawings instead, for looking at them.
#include "effects/drawKit.h"
#include "particles/particleEmitter.h"
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/jpegEncoder.h"
#include "platform/files/loadError.h"
#include "platform/files/pngWriter.h"
#include "render/mesh.h"
#include "textures/texture.h"
#include "timeline/demoTimeline.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int pictureSize = 256;

RenderWindow& renderWindow()
{
    static RenderWindow window;
    return window;
}

bool openContext()
{
    static PlatformOffscreen offscreen;
    if (offscreen.context != nullptr) {
        return true;
    }
    std::string error;
    if (!createOffscreenRenderWindow(pictureSize, pictureSize, renderWindow(), offscreen, error)) {
        std::fprintf(stderr, "no offscreen GL context: %s\n", error.c_str());
        return false;
    }
    setDemoRunState();
    return true;
}

// A soft radial spot, for particles and as an environment map.
TextureId spotTexture()
{
    static TextureId name = 0;
    if (name != 0) {
        return name;
    }
    std::vector<std::uint8_t> texels(64 * 64 * 3);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float dx = (x - 31.5f) / 32.0f, dy = (y - 31.5f) / 32.0f;
            const float level = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
            std::uint8_t* t = &texels[(y * 64 + x) * 3];
            t[0] = static_cast<std::uint8_t>(255 * level);
            t[1] = static_cast<std::uint8_t>(200 * level * level + 40 * (1 - level));
            t[2] = static_cast<std::uint8_t>(120 + 135 * level);
        }
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    name = id;
    return name;
}

void sphereCamera()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 10.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 280.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    const float lightPosition[4] = {100.0f, 150.0f, 300.0f, 1.0f};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHT0);
}

// The sphere as the effects hold it: level 4, radius 70, normal length 0.75, flags 0x3CB.
Mesh& sphere()
{
    static Mesh mesh(2);
    if (mesh.vertexCount == 0) {
        mesh.buildGeosphere(70.0f, 4, 0.75f);
        mesh.flags = 0x3CB;
        mesh.context = &renderWindow();
        mesh.diffuse[0] = 0.6f;
        mesh.diffuse[1] = 0.7f;
    }
    mesh.envTexture = spotTexture();
    return mesh;
}

void wobble(Mesh& mesh, float time)
{
    mesh.wobbleMesh(1, 0, 0.5f, 140.0f, time * 40.0f, time * 30.0f, time * 20.0f);
    mesh.computeFaceNormals(1, 0.5f);
    mesh.computeVertexNormals(1, 6);
}

// An emitter as the scene effects run it: 300 per second living 6 to 7 seconds, brought
// to its steady state of about two thousand particles. clock is the emitter's own time,
// advanced by whoever updates it, so repeated runs keep the population steady.
void updateEmitter(ParticleEmitter& emitter, float& clock)
{
    emitter.position[0] = std::sin(clock) * 20.0f;
    emitter.update(300.0f, -10, 10, 0, 20, -10, 10, 0.5f, 1, 0.3f, 0.6f, 0.1f, 0.3f, 6.0f, 7.0f, clock + 1.0f / 60.0f,
                   clock);
    clock += 1.0f / 60.0f;
}

ParticleEmitter& warmEmitter(float*& clock)
{
    static ParticleEmitter emitter;
    static float now = 0.0f;
    if (now == 0.0f) {
        emitter.size = 1.5f;
        emitter.acceleration[1] = -2.0f;
        for (int frame = 0; frame < 8 * 60; ++frame) {
            updateEmitter(emitter, now);
        }
    }
    emitter.texture = spotTexture();
    clock = &now;
    return emitter;
}

int particleCount(const ParticleEmitter& emitter)
{
    int count = 0;
    for (const Particle* p = emitter.head; p->next != nullptr; p = p->next) {
        ++count;
    }
    return count;
}

void particleCamera()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 30.0, 150.0, 0.0, 30.0, 0.0, 0.0, 1.0, 0.0);
}

void BM_DrawGeosphereLevel4(benchmark::State& state)
{
    if (!openContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    Mesh& mesh = sphere();
    sphereCamera();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        mesh.draw();
        glFinish();
    }
    state.counters["triangles"] = mesh.faceCount;
}
BENCHMARK(BM_DrawGeosphereLevel4)->Unit(benchmark::kMillisecond);

void BM_WobbleAndNormalsLevel4(benchmark::State& state)
{
    Mesh mesh(2);
    mesh.buildGeosphere(70.0f, 4, 0.75f);
    float time = 0.0f;
    for (auto _ : state) {
        wobble(mesh, time);
        time += 1.0f / 60.0f;
        benchmark::DoNotOptimize(mesh.vertexNormals[1][0]);
    }
}
BENCHMARK(BM_WobbleAndNormalsLevel4)->Unit(benchmark::kMicrosecond);

void BM_BuildGeosphereLevel4(benchmark::State& state)
{
    for (auto _ : state) {
        Mesh mesh(2);
        mesh.buildGeosphere(70.0f, 4, 0.75f);
        benchmark::DoNotOptimize(mesh.faces[0]);
    }
}
BENCHMARK(BM_BuildGeosphereLevel4)->Unit(benchmark::kMillisecond);

void BM_UpdateEmitter2000(benchmark::State& state)
{
    float* clock = nullptr;
    ParticleEmitter& emitter = warmEmitter(clock);
    for (auto _ : state) {
        updateEmitter(emitter, *clock);
    }
    state.counters["particles"] = particleCount(emitter);
}
BENCHMARK(BM_UpdateEmitter2000)->Unit(benchmark::kMicrosecond);

void BM_DrawEmitter2000(benchmark::State& state)
{
    if (!openContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    float* clock = nullptr;
    ParticleEmitter& emitter = warmEmitter(clock);
    particleCamera();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushMatrix();
        emitter.draw(GL_ONE, GL_ONE);
        glPopMatrix();
        glFinish();
    }
    state.counters["particles"] = particleCount(emitter);
}
BENCHMARK(BM_DrawEmitter2000)->Unit(benchmark::kMillisecond);

// Two 512 x 512 JPEGs (colour and grey mask) of smooth content, made once.
bool maskedPair(std::string& picture, std::string& mask)
{
    picture = "/tmp/kesu-bench-picture.jpg";
    mask = "/tmp/kesu-bench-mask.jpg";
    static bool made = false;
    if (made) {
        return true;
    }
    std::vector<std::uint8_t> rgb(512 * 512 * 3), grey(512 * 512);
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            std::uint8_t* p = &rgb[(y * 512 + x) * 3];
            p[0] = static_cast<std::uint8_t>(x / 2);
            p[1] = static_cast<std::uint8_t>(y / 2);
            p[2] = static_cast<std::uint8_t>(128 + 127 * std::sin(x * 0.05f) * std::cos(y * 0.05f));
            grey[y * 512 + x] = static_cast<std::uint8_t>((x ^ y) & 0xFF);
        }
    }
    std::string error;
    if (!encodeJpeg(picture, rgb.data(), 512, 512, 3, 90, false, error) ||
        !encodeJpeg(mask, grey.data(), 512, 512, 1, 90, false, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    made = true;
    return true;
}

void BM_DecodeAndUploadMasked512(benchmark::State& state)
{
    std::string picture, mask;
    if (!openContext() || !maskedPair(picture, mask)) {
        state.SkipWithError("no GL context or no test pictures");
        return;
    }
    for (auto _ : state) {
        LoadError error;
        GLuint name = loadMaskedTexture(renderWindow(), picture, mask, error);
        if (name == 0) {
            state.SkipWithError(formatLoadError(error).c_str());
            break;
        }
        glFinish();
        glDeleteTextures(1, &name);
    }
}
BENCHMARK(BM_DecodeAndUploadMasked512)->Unit(benchmark::kMillisecond);

bool savePicture(const std::string& path)
{
    std::vector<std::uint8_t> rgba(pictureSize * pictureSize * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, pictureSize, pictureSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::string error;
    if (!writePng(path, rgba.data(), pictureSize, pictureSize, true, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::printf("wrote %s\n", path.c_str());
    return true;
}

int writePictures(const std::string& folder)
{
    if (!openContext()) {
        return 1;
    }
    bool ok = true;
    glClearColor(0.05f, 0.05f, 0.1f, 1.0f);

    Mesh& mesh = sphere();
    sphereCamera();
    wobble(mesh, 1.3f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    mesh.draw();
    glDisable(GL_LIGHTING);
    ok = savePicture(folder + "/geosphere-wobbled.png") && ok;

    float* clock = nullptr;
    ParticleEmitter& emitter = warmEmitter(clock);
    particleCamera();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    emitter.draw(GL_ONE, GL_ONE);
    glPopMatrix();
    ok = savePicture(folder + "/particles-2000.png") && ok;

    std::string picture, mask;
    LoadError error;
    TextureId masked = maskedPair(picture, mask) ? loadMaskedTexture(renderWindow(), picture, mask, error) : 0;
    if (masked == 0) {
        std::fprintf(stderr, "%s\n", formatLoadError(error).c_str());
        return 1;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.2, 1.2, -1.2, 1.2, -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, masked);
    drawWarpGrid(2.0f, 2.0f, 1.0f, 1.0f, 40, 30, 0.03f, 0.03f, 2.0f, 3.0f, 0.1f, 0.2f);
    glDisable(GL_TEXTURE_2D);
    ok = savePicture(folder + "/warp-grid.png") && ok;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawScreenTexture(masked, -0.9f, 0.9f, 0.9f, -0.9f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    ok = savePicture(folder + "/masked-texture.png") && ok;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 2000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 250.0, 500.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glDisable(GL_DEPTH_TEST);
    drawRibbon(150, 1, 0, 30, 3, 0.5f, 60, 2, 1, 20, 5, 0, 150, 1, 1.5707963f, 30, 4, 0, 60, 0.0f, spotTexture());
    ok = savePicture(folder + "/ribbon.png") && ok;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    setSpriteTexture(spotTexture());
    setSpriteTexRect(0.0f, 0.0f, 1.0f, 1.0f);
    setSpriteSize(0.3f, 0.3f);
    setSpriteStart(-0.8f, -0.5f);
    setSpriteEnd(0.5f, 0.5f);
    setSpriteAlpha(0.1f, 1.0f);
    setSpriteCount(8);
    drawSpriteTrail();
    ok = savePicture(folder + "/sprite-trail.png") && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--pictures") == 0) {
        return writePictures(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
