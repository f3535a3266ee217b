#include "fixedgl/shaderPrograms.h"

#include "fixedgl/glesDriver.h"
#include "fixedgl/layerState.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace {

// GL 1.1's per-vertex work. The light products, the scene colour and the normalised
// directions of directional lights are formed on the CPU, as GL forms them when they are set.
// Normals are transformed and not normalised (GL_NORMALIZE is off); a light's direction and
// the half vector are. The fog distance is the eye-space depth's magnitude, per vertex.
const char* const vertexSource = R"(
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_color;
layout(location = 3) in vec2 a_texCoord0;
layout(location = 4) in vec2 a_texCoord1;
uniform mat4 u_mvp;
uniform mat4 u_modelView;
uniform mat3 u_normalMatrix;
#if LIGHT_COUNT > 0
uniform vec4 u_lightPosition[LIGHT_COUNT];   // positional: xyz, w 1; directional: the unit direction, w 0
uniform vec3 u_lightHalf[LIGHT_COUNT];       // directional, infinite viewer: the unit half vector
uniform vec3 u_ambientProduct[LIGHT_COUNT];
uniform vec3 u_diffuseProduct[LIGHT_COUNT];
uniform vec3 u_specularProduct[LIGHT_COUNT];
#endif
uniform vec4 u_sceneColor;   // emission + model ambient x material ambient; alpha: the diffuse alpha
uniform float u_shininess;
FLAT out vec4 v_color;
out vec2 v_texCoord0;
out vec2 v_texCoord1;
out float v_fogCoord;

vec2 sphereMap(vec3 eyeHat, vec3 normal)
{
    float twoNu = dot(normal, eyeHat);
    twoNu = twoNu + twoNu;
    vec3 r = -twoNu * normal + eyeHat;
    vec3 shifted = r + vec3(0.0, 0.0, 1.0);
    float inverseM = inversesqrt(dot(shifted, shifted)) * 0.5;
    return r.xy * inverseM + 0.5;
}

void main()
{
    gl_Position = u_mvp * a_position;
#if LIGHTING || FOG || SPHERE0 || SPHERE1
    vec4 eye = u_modelView * a_position;
#endif
#if LIGHTING || SPHERE0 || SPHERE1
    vec3 normal = u_normalMatrix * a_normal;
    vec3 eyeHat = normalize(eye.xyz);
#endif
#if LIGHTING
    vec3 color = u_sceneColor.rgb;
#if LIGHT_COUNT > 0
    for (int i = 0; i < LIGHT_COUNT; ++i) {
        vec3 toLight = u_lightPosition[i].xyz;
        if (u_lightPosition[i].w != 0.0) toLight = normalize(u_lightPosition[i].xyz - eye.xyz);
#if LOCAL_VIEWER
        vec3 halfVector = normalize(toLight - eyeHat);
#else
        vec3 halfVector = u_lightPosition[i].w != 0.0 ? normalize(toLight + vec3(0.0, 0.0, 1.0)) : u_lightHalf[i];
#endif
        float nDotL = dot(normal, toLight);
        float nDotH = dot(normal, halfVector);
        float diffuse = max(nDotL, 0.0);
        float specular = 0.0;
        if (nDotL > 0.0) specular = u_shininess == 0.0 ? 1.0 : pow(max(nDotH, 0.0), u_shininess);
        color = color + u_ambientProduct[i];
        color = diffuse * u_diffuseProduct[i] + color;
        color = specular * u_specularProduct[i] + color;
    }
#endif
    v_color = clamp(vec4(color, u_sceneColor.a), 0.0, 1.0);
#else
    v_color = clamp(a_color, 0.0, 1.0);
#endif
#if SPHERE0
    v_texCoord0 = sphereMap(eyeHat, normal);
#else
    v_texCoord0 = a_texCoord0;
#endif
#if SPHERE1
    v_texCoord1 = sphereMap(eyeHat, normal);
#else
    v_texCoord1 = a_texCoord1;
#endif
#if FOG
    v_fogCoord = abs(eye.z);
#else
    v_fogCoord = 0.0;
#endif
}
)";

// Texturing (GL_MODULATE on each unit, in turn), fog, then the alpha test.
const char* const fragmentSource = R"(
FLAT in vec4 v_color;
in vec2 v_texCoord0;
in vec2 v_texCoord1;
in float v_fogCoord;
uniform sampler2D u_texture0;
uniform sampler2D u_texture1;
uniform vec4 u_fogColor;
uniform vec2 u_fogLine;   // the factor is fogCoord x u_fogLine.x + u_fogLine.y, clamped
uniform int u_alphaFunction;
uniform float u_alphaReference;
out vec4 fragColor;

bool alphaPasses(float alpha)
{
    if (u_alphaFunction == 0x0200) return false;
    if (u_alphaFunction == 0x0201) return alpha < u_alphaReference;
    if (u_alphaFunction == 0x0202) return alpha == u_alphaReference;
    if (u_alphaFunction == 0x0203) return alpha <= u_alphaReference;
    if (u_alphaFunction == 0x0204) return alpha > u_alphaReference;
    if (u_alphaFunction == 0x0205) return alpha != u_alphaReference;
    if (u_alphaFunction == 0x0206) return alpha >= u_alphaReference;
    return true;
}

void main()
{
    vec4 color = v_color;
#if TEXTURE0
    color = color * texture(u_texture0, v_texCoord0);
#endif
#if TEXTURE1
    color = color * texture(u_texture1, v_texCoord1);
#endif
#if FOG
    float factor = clamp(v_fogCoord * u_fogLine.x + u_fogLine.y, 0.0, 1.0);
    color.rgb = mix(u_fogColor.rgb, color.rgb, factor);
#endif
#if ALPHA_TEST
    if (!alphaPasses(color.a)) discard;
#endif
    fragColor = color;
}
)";

// What decides which program draws: the bits below, packed.
struct ProgramKey {
    bool lighting = false;
    int lightCount = 0;
    bool localViewer = false;
    bool fog = false;
    bool texture[layerTextureUnits] = {};
    bool sphereMap[layerTextureUnits] = {};
    bool flat = false;
    bool alphaTest = false;

    std::uint32_t packed() const
    {
        std::uint32_t bits = static_cast<std::uint32_t>(lightCount);
        bits |= (lighting ? 1u : 0u) << 4;
        bits |= (localViewer ? 1u : 0u) << 5;
        bits |= (fog ? 1u : 0u) << 6;
        bits |= (texture[0] ? 1u : 0u) << 7;
        bits |= (texture[1] ? 1u : 0u) << 8;
        bits |= (sphereMap[0] ? 1u : 0u) << 9;
        bits |= (sphereMap[1] ? 1u : 0u) << 10;
        bits |= (flat ? 1u : 0u) << 11;
        bits |= (alphaTest ? 1u : 0u) << 12;
        return bits;
    }

    // What the vertex stage reads: normals for lighting and sphere maps, the colour when
    // unlit, a unit's coordinates when it is textured by them.
    int attributesRead() const
    {
        int read = 1 << ATTRIBUTE_POSITION;
        if (lighting || sphereMap[0] || sphereMap[1]) read |= 1 << ATTRIBUTE_NORMAL;
        if (!lighting) read |= 1 << ATTRIBUTE_COLOR;
        for (int unit = 0; unit < layerTextureUnits; ++unit) {
            if (texture[unit] && !sphereMap[unit]) read |= 1 << (ATTRIBUTE_TEXCOORD0 + unit);
        }
        return read;
    }
};

enum UniformName {
    U_MVP,
    U_MODEL_VIEW,
    U_NORMAL_MATRIX,
    U_LIGHT_POSITION,
    U_LIGHT_HALF,
    U_AMBIENT_PRODUCT,
    U_DIFFUSE_PRODUCT,
    U_SPECULAR_PRODUCT,
    U_SCENE_COLOR,
    U_SHININESS,
    U_TEXTURE0,
    U_TEXTURE1,
    U_FOG_COLOR,
    U_FOG_LINE,
    U_ALPHA_FUNCTION,
    U_ALPHA_REFERENCE,
    uniformCount
};
const char* const uniformNames[uniformCount] = {
    "u_mvp",           "u_modelView",       "u_normalMatrix",    "u_lightPosition", "u_lightHalf",    "u_ambientProduct",
    "u_diffuseProduct", "u_specularProduct", "u_sceneColor",     "u_shininess",     "u_texture0",     "u_texture1",
    "u_fogColor",      "u_fogLine",         "u_alphaFunction",   "u_alphaReference"};

static_assert(uniformCount == layerUniformCount, "a program keeps the location of every uniform");

GLuint compileStage(GLenum stage, const std::string& source)
{
    const GLuint shader = gles.createShader(stage);
    const char* text = source.c_str();
    gles.shaderSource(shader, 1, &text, nullptr);
    gles.compileShader(shader);
    GLint compiled = 0;
    gles.getShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[2048] = {};
        gles.getShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "kesu: the GL layer's %s shader does not compile: %s\n",
                     stage == GL_VERTEX_SHADER ? "vertex" : "fragment", log);
        gles.deleteShader(shader);
        return 0;
    }
    return shader;
}

std::string definesOf(const ProgramKey& key)
{
    std::string defines = "#version 300 es\nprecision highp float;\n";
    defines += "#define LIGHTING " + std::to_string(key.lighting ? 1 : 0) + "\n";
    defines += "#define LIGHT_COUNT " + std::to_string(key.lighting ? key.lightCount : 0) + "\n";
    defines += "#define LOCAL_VIEWER " + std::to_string(key.localViewer ? 1 : 0) + "\n";
    defines += "#define FOG " + std::to_string(key.fog ? 1 : 0) + "\n";
    defines += "#define TEXTURE0 " + std::to_string(key.texture[0] ? 1 : 0) + "\n";
    defines += "#define TEXTURE1 " + std::to_string(key.texture[1] ? 1 : 0) + "\n";
    defines += "#define SPHERE0 " + std::to_string(key.sphereMap[0] ? 1 : 0) + "\n";
    defines += "#define SPHERE1 " + std::to_string(key.sphereMap[1] ? 1 : 0) + "\n";
    defines += "#define ALPHA_TEST " + std::to_string(key.alphaTest ? 1 : 0) + "\n";
    defines += std::string("#define FLAT ") + (key.flat ? "flat" : "") + "\n";
    return defines;
}

bool buildProgram(const ProgramKey& key, LayerProgram& program)
{
    const std::string defines = definesOf(key);
    const GLuint vertex = compileStage(GL_VERTEX_SHADER, defines + vertexSource);
    const GLuint fragment = compileStage(GL_FRAGMENT_SHADER, defines + fragmentSource);
    if (!vertex || !fragment) return false;
    program.name = gles.createProgram();
    gles.attachShader(program.name, vertex);
    gles.attachShader(program.name, fragment);
    gles.linkProgram(program.name);
    gles.deleteShader(vertex);
    gles.deleteShader(fragment);
    GLint linked = 0;
    gles.getProgramiv(program.name, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[2048] = {};
        gles.getProgramInfoLog(program.name, sizeof log, nullptr, log);
        std::fprintf(stderr, "kesu: the GL layer's program does not link: %s\n", log);
        return false;
    }
    for (int u = 0; u < uniformCount; ++u) program.uniforms[u] = gles.getUniformLocation(program.name, uniformNames[u]);
    gles.useProgram(program.name);
    gles.uniform1i(program.uniforms[U_TEXTURE0], 0);
    gles.uniform1i(program.uniforms[U_TEXTURE1], 1);
    return true;
}

ProgramKey keyOfState(bool flatColors)
{
    const LayerAttributes& a = layer.attributes;
    ProgramKey key;
    key.lighting = a.lighting.enabled;
    if (a.lighting.enabled) {
        for (const LayerLight& light : a.lighting.lights) key.lightCount += light.enabled ? 1 : 0;
        key.localViewer = a.lighting.localViewer;
    }
    key.fog = a.fog.enabled;
    for (int unit = 0; unit < layerTextureUnits; ++unit) {
        const LayerTextureUnit& u = a.texture.units[static_cast<std::size_t>(unit)];
        key.texture[unit] = u.enabled;
        key.sphereMap[unit] = u.enabled && u.generateS && u.generateT && u.modeS == GL_SPHERE_MAP && u.modeT == GL_SPHERE_MAP;
    }
    key.flat = flatColors;
    key.alphaTest = a.colorBuffer.alphaTest && a.colorBuffer.alphaFunc != GL_ALWAYS;
    return key;
}

// Uniforms a variant does not use are dropped by its compiler (location -1) and not uploaded.
void uploadMatrices(const LayerProgram& program)
{
    const Matrix4& modelView = layer.modelView.back();
    const Matrix4 mvp = multiplyMatrices(layer.projection.back(), modelView);
    gles.uniformMatrix4fv(program.uniforms[U_MVP], 1, GL_FALSE, mvp.data());
    if (program.uniforms[U_MODEL_VIEW] >= 0)
        gles.uniformMatrix4fv(program.uniforms[U_MODEL_VIEW], 1, GL_FALSE, modelView.data());
    if (program.uniforms[U_NORMAL_MATRIX] >= 0) {
        const std::array<float, 9> normals = normalMatrix(modelView);
        gles.uniformMatrix3fv(program.uniforms[U_NORMAL_MATRIX], 1, GL_FALSE, normals.data());
    }
}

void uploadLighting(const LayerProgram& program)
{
    const LayerAttributes& a = layer.attributes;
    const LayerMaterial& m = a.lighting.material;
    float scene[4];
    for (int c = 0; c < 3; ++c) scene[c] = m.emission[static_cast<std::size_t>(c)] + a.lighting.modelAmbient[static_cast<std::size_t>(c)] * m.ambient[static_cast<std::size_t>(c)];
    scene[3] = m.diffuse[3];
    gles.uniform4fv(program.uniforms[U_SCENE_COLOR], 1, scene);
    gles.uniform1f(program.uniforms[U_SHININESS], m.shininess);
    float positions[layerLightCount * 4], halves[layerLightCount * 3];
    float ambient[layerLightCount * 3], diffuse[layerLightCount * 3], specular[layerLightCount * 3];
    int n = 0;
    for (const LayerLight& light : a.lighting.lights) {
        if (!light.enabled) continue;
        float* position = positions + 4 * n;
        float* half = halves + 3 * n;
        if (light.position[3] != 0.0f) {
            for (int c = 0; c < 3; ++c) position[c] = light.position[static_cast<std::size_t>(c)] / light.position[3];
            position[3] = 1.0f;
            half[0] = half[1] = 0.0f;
            half[2] = 1.0f;
        } else {
            float direction[3] = {light.position[0], light.position[1], light.position[2]};
            float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
            if (length > 0.0f) for (float& c : direction) c /= length;
            for (int c = 0; c < 3; ++c) position[c] = direction[c];
            position[3] = 0.0f;
            float h[3] = {direction[0], direction[1], direction[2] + 1.0f};
            length = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            for (int c = 0; c < 3; ++c) half[c] = length > 0.0f ? h[c] / length : h[c];
        }
        for (int c = 0; c < 3; ++c) {
            const std::size_t k = static_cast<std::size_t>(c);
            ambient[3 * n + c] = light.ambient[k] * m.ambient[k];
            diffuse[3 * n + c] = light.diffuse[k] * m.diffuse[k];
            specular[3 * n + c] = light.specular[k] * m.specular[k];
        }
        ++n;
    }
    if (n == 0) return;
    gles.uniform4fv(program.uniforms[U_LIGHT_POSITION], n, positions);
    gles.uniform3fv(program.uniforms[U_LIGHT_HALF], n, halves);
    gles.uniform3fv(program.uniforms[U_AMBIENT_PRODUCT], n, ambient);
    gles.uniform3fv(program.uniforms[U_DIFFUSE_PRODUCT], n, diffuse);
    gles.uniform3fv(program.uniforms[U_SPECULAR_PRODUCT], n, specular);
}

void uploadOther(const LayerProgram& program)
{
    const LayerAttributes& a = layer.attributes;
    if (program.uniforms[U_FOG_LINE] >= 0) {
        gles.uniform4fv(program.uniforms[U_FOG_COLOR], 1, a.fog.color.data());
        // The linear factor (end - distance) / (end - start) as a line in the distance.
        const float span = a.fog.end - a.fog.start;
        const float scale = span != 0.0f ? -1.0f / span : 0.0f;
        const float bias = span != 0.0f ? a.fog.end / span : 1.0f;
        gles.uniform2f(program.uniforms[U_FOG_LINE], scale, bias);
    }
    if (program.uniforms[U_ALPHA_FUNCTION] >= 0) {
        gles.uniform1i(program.uniforms[U_ALPHA_FUNCTION], static_cast<GLint>(a.colorBuffer.alphaFunc));
        gles.uniform1f(program.uniforms[U_ALPHA_REFERENCE], a.colorBuffer.alphaReference);
    }
}

} // namespace

int useLayerProgram(bool flatColors)
{
    LayerPrograms& programs = layer.programs;
    const ProgramKey key = keyOfState(flatColors);
    LayerProgram& program = programs.variants[key.packed()];
    if (program.failed) return 0;
    if (!program.name && !buildProgram(key, program)) {
        program.failed = true;
        return 0;
    }
    if (programs.current != program.name) {
        gles.useProgram(program.name);
        programs.current = program.name;
    }
    if (program.matrices != programs.matricesVersion) {
        uploadMatrices(program);
        program.matrices = programs.matricesVersion;
    }
    if (key.lighting && program.lighting != programs.lightingVersion) {
        uploadLighting(program);
        program.lighting = programs.lightingVersion;
    }
    if (program.other != programs.otherVersion) {
        uploadOther(program);
        program.other = programs.otherVersion;
    }
    return key.attributesRead();
}

void forgetCurrentProgram() { layer.programs.current = 0; }

void matricesChanged() { ++layer.programs.matricesVersion; }
void lightingChanged() { ++layer.programs.lightingVersion; }
void otherUniformsChanged() { ++layer.programs.otherVersion; }
