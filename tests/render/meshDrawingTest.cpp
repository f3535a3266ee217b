#include "tests/support/glFeedback.h"
#include "tests/support/glFixture.h"

#include "render/mesh.h"

#include <GL/gl.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct Corner {
    float x, y, z;
    float u, v;
};

// A one-texture-coordinate-per-corner mesh of the given triangles, every frame equal, with
// face normals from the positions (length 1) and vertex normals (0, 0, 1) per vertex.
void buildTriangles(Mesh& mesh, const std::vector<std::array<Corner, 3>>& triangles)
{
    const int corners = static_cast<int>(triangles.size()) * 3;
    mesh.allocVertices(static_cast<std::uint16_t>(corners), static_cast<std::uint16_t>(corners));
    mesh.allocFaces(static_cast<std::uint16_t>(triangles.size()), static_cast<std::uint16_t>(triangles.size()));
    for (int i = 0; i < corners; ++i) {
        const Corner& c = triangles[i / 3][i % 3];
        for (int f = 0; f < mesh.frameCount; ++f) {
            mesh.positions[f][3 * i] = c.x;
            mesh.positions[f][3 * i + 1] = c.y;
            mesh.positions[f][3 * i + 2] = c.z;
            mesh.vertexNormals[f][3 * i] = 0.0f;
            mesh.vertexNormals[f][3 * i + 1] = 0.0f;
            mesh.vertexNormals[f][3 * i + 2] = 1.0f;
        }
        mesh.texCoords[3 * i] = c.u;
        mesh.texCoords[3 * i + 1] = c.v;
        mesh.texCoords[3 * i + 2] = 0.0f;
        mesh.faces[i] = mesh.texFaces[i] = static_cast<std::int16_t>(i);
    }
    for (int f = 0; f < mesh.frameCount; ++f) {
        mesh.computeFaceNormals(static_cast<std::int8_t>(f), 1.0f);
    }
    mesh.markChanged();
}

// The lower-right half of the viewport, inside it so that clipping never splits it,
// counter-clockwise on screen (front-facing), at depth z. Covers pixel (40, 24).
std::array<Corner, 3> frontTriangle(float z, float u)
{
    return {Corner{-0.9f, -0.9f, z, u, 0.5f}, Corner{0.9f, -0.9f, z, u, 0.5f}, Corner{0.9f, 0.9f, z, u, 0.5f}};
}

// The same triangle wound clockwise (back-facing).
std::array<Corner, 3> backTriangle(float z, float u)
{
    return {Corner{-0.9f, -0.9f, z, u, 0.5f}, Corner{0.9f, 0.9f, z, u, 0.5f}, Corner{0.9f, -0.9f, z, u, 0.5f}};
}

GLboolean enabled(GLenum capability)
{
    return glIsEnabled(capability);
}

GLint integer(GLenum name)
{
    GLint values[4] = {0, 0, 0, 0};
    glGetIntegerv(name, values);
    return values[0];
}

}  // namespace

class MeshDrawing : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        // The host selects sphere mapping once at start-up; draw only switches it on.
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glDisable(GL_LIGHTING);
        glDepthFunc(GL_LEQUAL);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        if (redGreen == 0) {
            redGreen = makeTexture({255, 0, 0, 0, 255, 0}, 2);
            blue = makeTexture({0, 0, 255}, 1);
        }
        mesh.context = &renderWindow();
        buildTriangles(mesh, {frontTriangle(0.0f, 0.75f)});
        mesh.texture = redGreen;
        mesh.envTexture = blue;
    }

    // An RGB texture one row high, nearest filtering: texel i covers u from i / n to (i + 1) / n.
    static TextureId makeTexture(const std::vector<std::uint8_t>& rgb, int width)
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return name;
    }

    // What every draw leaves reset.
    void expectReset()
    {
        EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
        EXPECT_FALSE(enabled(GL_BLEND));
        EXPECT_FALSE(enabled(GL_CULL_FACE));
        EXPECT_FALSE(enabled(GL_TEXTURE_2D));
        EXPECT_FALSE(enabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(enabled(GL_TEXTURE_GEN_T));
        GLint polygonModes[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, polygonModes);
        EXPECT_EQ(polygonModes[0], GL_FILL);
        EXPECT_EQ(polygonModes[1], GL_FILL);
        EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    }

    static TextureId redGreen;
    static TextureId blue;
    Mesh mesh{1};
};

TextureId MeshDrawing::redGreen = 0;
TextureId MeshDrawing::blue = 0;

// Each flag word against what draw leaves behind: its depth test, shade model and
// lighting stay; the rest is reset.
TEST_F(MeshDrawing, EachFlagPathLeavesItsStateAndResetsTheRest)
{
    struct Case {
        std::uint32_t flags;
        bool depthTest;
        GLint shadeModel;
        bool lighting;
    };
    const Case cases[] = {
        {0, false, GL_FLAT, false},
        {MESH_DEFAULT_FLAGS, true, GL_FLAT, false},
        {MESH_DEPTH_WRITE, true, GL_FLAT, false},
        {MESH_DEPTH_TEST | MESH_SMOOTH | MESH_LIT | MESH_FILL, true, GL_SMOOTH, true},
        {MESH_FILL | MESH_BLEND, false, GL_FLAT, false},
        {MESH_FILL | MESH_TEXTURED | MESH_LIT, false, GL_FLAT, true},
        {MESH_FILL | MESH_TEXTURED | MESH_BLEND | MESH_ADDITIVE, false, GL_FLAT, false},
        {MESH_FILL | MESH_ENVMAP | MESH_SMOOTH, false, GL_SMOOTH, false},
        {MESH_FILL | MESH_TEXTURED | MESH_ENVMAP | MESH_SMOOTH, false, GL_SMOOTH, false},
        {0x3CB, true, GL_SMOOTH, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("flags 0x" + std::to_string(c.flags));
        glEnable(GL_LIGHTING);
        glShadeModel(c.shadeModel == GL_FLAT ? GL_SMOOTH : GL_FLAT);
        mesh.flags = c.flags;
        mesh.draw();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        expectReset();
        EXPECT_EQ(enabled(GL_DEPTH_TEST), c.depthTest);
        EXPECT_EQ(integer(GL_SHADE_MODEL), c.shadeModel);
        EXPECT_EQ(enabled(GL_LIGHTING), c.lighting);
        if (c.flags & MESH_ENVMAP) {
            EXPECT_EQ(static_cast<TextureId>(integer(GL_TEXTURE_BINDING_2D)), blue);
            GLint mode = 0;
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
            EXPECT_EQ(mode, GL_MODULATE);
        } else if (c.flags & MESH_TEXTURED) {
            EXPECT_EQ(static_cast<TextureId>(integer(GL_TEXTURE_BINDING_2D)), redGreen);
        }
    }
    glDisable(GL_LIGHTING);
}

// Textured, blended and unculled: the far faces go first, both passes with culling on;
// culled, the back faces are not drawn at all.
TEST_F(MeshDrawing, TranslucentTexturedMeshDrawsBackFacesFirstUnlessCulled)
{
    // Listed front first, so that array order alone would draw it first.
    buildTriangles(mesh, {frontTriangle(0.0f, 0.75f), backTriangle(0.0f, 0.25f)});
    mesh.flags = MESH_FILL | MESH_TEXTURED | MESH_BLEND;
    mesh.alpha = 0.5f;

    const std::vector<FeedbackPrimitive> primitives = captureFeedback([&] { mesh.draw(); });
    ASSERT_EQ(primitives.size(), 2u);
    EXPECT_FLOAT_EQ(primitives[0].vertices[0].texCoord[0], 0.25f) << "back face first";
    EXPECT_FLOAT_EQ(primitives[1].vertices[0].texCoord[0], 0.75f) << "front face second";

    glClear(GL_COLOR_BUFFER_BIT);
    mesh.draw();
    // Red back face at half strength, then green front face over it: 0.5 green + 0.25 red
    // (the other order would give 0.5 red + 0.25 green). Alpha blends alike: 0.625.
    EXPECT_TRUE(pixelNear(readPixel(40, 24), {64, 128, 0, 159}, 3));
    expectReset();

    // The additive blend takes the same two passes.
    mesh.flags |= MESH_ADDITIVE;
    EXPECT_EQ(captureFeedback([&] { mesh.draw(); }).size(), 2u);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);

    // Culled, only the front face is drawn, once.
    mesh.flags = MESH_FILL | MESH_TEXTURED | MESH_BLEND | MESH_CULL;
    const std::vector<FeedbackPrimitive> culled = captureFeedback([&] { mesh.draw(); });
    ASSERT_EQ(culled.size(), 1u);
    EXPECT_FLOAT_EQ(culled[0].vertices[0].texCoord[0], 0.75f);
}
