// Every mesh draw path drawn both ways, the immediate-mode calls and the fast path's
// recording, on a lit, textured, half back-facing sphere: the pictures must be identical, since
// a recording replays the very calls. And a recording follows the mesh it was made from.
#include "tests/support/glFixture.h"

#include "render/drawPath.h"
#include "render/mesh.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<std::uint8_t>;

Picture readPicture()
{
    Picture rgba(GlTest::viewportWidth * GlTest::viewportHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GlTest::viewportWidth, GlTest::viewportHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// "" when equal, else the first pixel that differs.
std::string firstDifference(const Picture& a, const Picture& b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            const std::size_t pixel = i / 4;
            return "pixel (" + std::to_string(pixel % GlTest::viewportWidth) + ", " +
                   std::to_string(pixel / GlTest::viewportWidth) + ") channel " + std::to_string(i % 4) + ": " +
                   std::to_string(a[i]) + " against " + std::to_string(b[i]);
        }
    }
    return "";
}

// A 4 x 4 RGB checker of two colours, nearest filtering.
TextureId checker(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    std::vector<std::uint8_t> texels;
    for (int i = 0; i < 16; ++i) {
        const bool dark = ((i % 4) + (i / 4)) % 2 == 1;
        texels.insert(texels.end(), {dark ? std::uint8_t(r / 4) : r, dark ? std::uint8_t(g / 4) : g,
                                     dark ? std::uint8_t(b / 4) : b});
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

class DrawPaths : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glDepthFunc(GL_LEQUAL);
        const float lightPosition[4] = {0.5f, 1.0f, 2.0f, 0.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
        glEnable(GL_LIGHT0);
        // Turned so that the sphere's seams and back faces fall across the picture.
        glRotatef(35.0f, 1.0f, 0.6f, 0.2f);

        sphere.buildGeosphere(0.8f, 3, 0.75f);
        // Mapped by direction, so the checker runs across the faces.
        for (int i = 0; i < sphere.vertexCount; ++i) {
            sphere.texCoords[3 * i] = sphere.positions[1][3 * i] * 1.5f + 0.5f;
            sphere.texCoords[3 * i + 1] = sphere.positions[1][3 * i + 1] * 1.5f + 0.5f;
        }
        for (int i = 0; i < 3 * sphere.faceCount; ++i) sphere.texFaces[i] = sphere.faces[i];
        sphere.markChanged();
        sphere.context = &renderWindow();
        sphere.texture = checker(255, 64, 0);
        sphere.envTexture = checker(0, 128, 255);
        sphere.alpha = 0.6f;
    }

    void TearDown() override
    {
        setDrawPath(DRAW_PATH_FAST);
        glDisable(GL_LIGHT0);
        GlTest::TearDown();
    }

    Picture drawn(DrawPath path)
    {
        setDrawPath(path);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor4f(0.9f, 0.8f, 0.7f, 1.0f);
        sphere.draw();
        return readPicture();
    }

    Mesh sphere{2};
};

} // namespace

TEST_F(DrawPaths, EveryMeshPathRecordedAndReplayedDrawsThePicturesOfItsImmediateCalls)
{
    constexpr std::uint32_t depth = MESH_DEPTH_TEST | MESH_DEPTH_WRITE;
    const std::uint32_t cases[] = {
        0,                                                               // wireframe, no depth
        MESH_FILL | depth,                                               // plain, flat
        MESH_FILL | MESH_SMOOTH | MESH_LIT | MESH_CULL | depth,          // plain, smooth, lit, culled
        MESH_FILL | MESH_TEXTURED | depth,                               // textured, no normals
        MESH_FILL | MESH_TEXTURED | MESH_LIT | MESH_CULL | depth,        // textured, flat normals
        MESH_FILL | MESH_TEXTURED | MESH_LIT | MESH_SMOOTH | depth,      // textured, vertex normals
        MESH_FILL | MESH_TEXTURED | MESH_BLEND,                          // two passes, back faces first
        MESH_FILL | MESH_TEXTURED | MESH_ADDITIVE | MESH_CULL,           // blended, one pass
        MESH_FILL | MESH_ENVMAP | MESH_SMOOTH | MESH_LIT | MESH_CULL | depth,   // the effects' spheres
        MESH_FILL | MESH_TEXTURED | MESH_ENVMAP | MESH_SMOOTH | depth,   // two texture units
        MESH_FILL | MESH_TEXTURED | MESH_ENVMAP | MESH_CULL | depth,     // two texture units, flat
    };
    for (std::uint32_t flags : cases) {
        SCOPED_TRACE("flags 0x" + std::to_string(flags));
        sphere.flags = flags;
        const Picture immediate = drawn(DRAW_PATH_IMMEDIATE);
        const Picture recorded = drawn(DRAW_PATH_FAST);
        const Picture replayed = drawn(DRAW_PATH_FAST);
        EXPECT_EQ(firstDifference(immediate, recorded), "");
        EXPECT_EQ(firstDifference(immediate, replayed), "");
        // The sphere is in each picture: the comparisons are not of empty screens.
        EXPECT_NE(firstDifference(replayed, Picture(viewportWidth * viewportHeight * 4, 0)), "");
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(DrawPaths, ARecordingFollowsChangesToTheMeshItWasMadeFrom)
{
    sphere.flags = MESH_FILL | MESH_TEXTURED | MESH_LIT | MESH_CULL | MESH_DEPTH_WRITE;
    const Picture first = drawn(DRAW_PATH_FAST);

    // Vertices written and announced: the next draw shows them.
    for (int i = 0; i < 3 * sphere.vertexCount; i += 3) sphere.positions[1][i] *= 0.5f;
    sphere.markChanged();
    const Picture squeezed = drawn(DRAW_PATH_FAST);
    EXPECT_NE(firstDifference(first, squeezed), "");
    EXPECT_EQ(firstDifference(squeezed, drawn(DRAW_PATH_IMMEDIATE)), "");

    // A flag that changes which calls the block holds re-records it.
    sphere.flags |= MESH_SMOOTH;
    const Picture smooth = drawn(DRAW_PATH_FAST);
    EXPECT_NE(firstDifference(squeezed, smooth), "");
    EXPECT_EQ(firstDifference(smooth, drawn(DRAW_PATH_IMMEDIATE)), "");

    // Deforming through the mesh's own operations needs no announcement.
    sphere.wobbleMesh(1, 0, 0.5f, 1.0f, 0.2f, 0.0f, 0.1f);
    const Picture wobbled = drawn(DRAW_PATH_FAST);
    EXPECT_NE(firstDifference(smooth, wobbled), "");
    EXPECT_EQ(firstDifference(wobbled, drawn(DRAW_PATH_IMMEDIATE)), "");

    // A write left unannounced is not seen on the fast path: it is the recording that is drawn.
    for (int i = 0; i < 3 * sphere.vertexCount; ++i) sphere.positions[1][i] *= 0.5f;
    EXPECT_EQ(firstDifference(wobbled, drawn(DRAW_PATH_FAST)), "");
}

namespace {

// A mesh large enough to be recorded in runs (a geodesic sphere of radius 1.6 and 8192
// faces around the origin), textured by direction.
void buildLarge(Mesh& large, TextureId texture)
{
    large.buildGeosphere(1.6f, 6, 0.75f);
    ASSERT_GE(large.faceCount, 8192);
    for (int i = 0; i < large.vertexCount; ++i) {
        large.texCoords[3 * i] = large.positions[1][3 * i] + 0.5f;
        large.texCoords[3 * i + 1] = large.positions[1][3 * i + 1] + 0.5f;
    }
    for (int i = 0; i < 3 * large.faceCount; ++i) large.texFaces[i] = large.faces[i];
    large.markChanged();
    large.texture = texture;
}

// Draws the mesh on both paths under the current matrices: the pictures, and the normal
// and texture coordinates each leaves current (set to 9 before).
struct BothPaths {
    Picture pictures[2];
    float current[2][5] = {};
};

BothPaths drawBothPaths(const Mesh& mesh)
{
    BothPaths both;
    for (DrawPath path : {DRAW_PATH_IMMEDIATE, DRAW_PATH_FAST}) {
        setDrawPath(path);
        glNormal3f(9.0f, 9.0f, 9.0f);
        glTexCoord2f(9.0f, 9.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        mesh.draw();
        both.pictures[path] = readPicture();
        float normal[4], texCoord[4];
        glGetFloatv(GL_CURRENT_NORMAL, normal);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord);
        std::copy(normal, normal + 3, both.current[path]);
        std::copy(texCoord, texCoord + 2, both.current[path] + 3);
    }
    return both;
}

void expectSameAndNotEmpty(const BothPaths& both)
{
    EXPECT_EQ(firstDifference(both.pictures[DRAW_PATH_IMMEDIATE], both.pictures[DRAW_PATH_FAST]), "");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(both.current[DRAW_PATH_IMMEDIATE][i], both.current[DRAW_PATH_FAST][i]) << i;
    EXPECT_NE(firstDifference(both.pictures[DRAW_PATH_FAST],
                              Picture(GlTest::viewportWidth * GlTest::viewportHeight * 4, 0)), "");
}

} // namespace

// Half out of the view with its last faces outside: the runs out of view are skipped, and
// the picture and the normal and texture coordinates left current are those of the
// immediate calls.
TEST_F(DrawPaths, ALargeMeshPartlyOutOfViewDrawsAndLeavesWhatItsImmediateCallsDo)
{
    Mesh large{2};
    buildLarge(large, sphere.texture);
    const float* lastCorner = large.positions[1] + 3 * large.faces[3 * large.faceCount - 1];
    glLoadIdentity();
    glTranslatef(0.75f * lastCorner[0], 0.75f * lastCorner[1], 0.75f * lastCorner[2]);
    for (std::uint32_t flags : {MESH_FILL | MESH_TEXTURED | MESH_LIT | MESH_CULL | MESH_DEPTH_WRITE,
                                MESH_FILL | MESH_SMOOTH | MESH_LIT | MESH_DEPTH_WRITE}) {
        SCOPED_TRACE("flags 0x" + std::to_string(flags));
        large.flags = flags;
        expectSameAndNotEmpty(drawBothPaths(large));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// One recording replayed under perspective views that leave runs behind the eye and beyond
// the far plane, and where the near and far planes each cut through runs: what is skipped
// and what the driver clips give the immediate calls' pictures.
TEST_F(DrawPaths, ALargeMeshRecordingReplayedUnderPerspectiveViewsDrawsItsImmediateCalls)
{
    Mesh large{2};
    buildLarge(large, sphere.texture);
    large.flags = MESH_FILL | MESH_TEXTURED | MESH_SMOOTH | MESH_LIT | MESH_DEPTH_TEST | MESH_DEPTH_WRITE;
    struct View {
        const char* name;
        double fieldOfView, nearPlane, farPlane, distance;   // the eye on the z axis, looking at the centre
    };
    const View views[] = {
        // From inside, 0.8 from the centre: the cap behind the eye, and beyond 1.8 the far cap.
        {"inside", 70.0, 0.05, 1.8, 0.8},
        // From 4 away: the near plane at 2.6 cuts the front cap, the far plane at 4.6 the back.
        {"planes cutting", 40.0, 2.6, 4.6, 4.0},
    };
    for (const View& view : views) {
        SCOPED_TRACE(view.name);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(view.fieldOfView, 1.0, view.nearPlane, view.farPlane);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, static_cast<float>(-view.distance));
        expectSameAndNotEmpty(drawBothPaths(large));
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
