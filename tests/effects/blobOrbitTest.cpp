#include "effects/blobOrbit.h"
#include "render/mesh.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

class BlobOrbit : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static bool configured = false;
        if (!configured) {
            // The set-up builds the blob's sphere, so it runs once per test program.
            setBlobOrbit(solidTexture(128, 128, 128, 255), solidTexture(128, 128, 128, 255),
                         solidTexture(0, 0, 255, 0), solidTexture(255, 255, 255, 255));
            setBlobOrbitWindow(50.0f, 65.0f);
            configured = true;
        }
        fillScreen(0.0f, 1.0f, 0.0f);
    }
};

} // namespace

TEST_F(BlobOrbit, BuildsItsBlobAsALitSphereMappedLevelFourSphere)
{
    const Mesh& blob = blobOrbitMesh();
    EXPECT_EQ(blob.vertexCount, 642);
    EXPECT_EQ(blob.faceCount, 1280);
    EXPECT_EQ(blob.flags, 0x3CBu);
    EXPECT_FLOAT_EQ(blob.emission[0], 0.2f);
    EXPECT_FLOAT_EQ(blob.emission[3], 1.0f);
    EXPECT_FLOAT_EQ(blob.shininess, 1.0f);
}

TEST_F(BlobOrbit, DrawsNothingAtEitherEndOfItsWindow)
{
    glDisable(GL_BLEND);
    drawBlobOrbit(50.0f, 0.0f);
    drawBlobOrbit(65.0f, 0.5f);
    EXPECT_TRUE(pixelNear(readPixel(32, 32), {0, 255, 0, 255}));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
}

TEST_F(BlobOrbit, BackgroundIsTwiceTheProductOfItsTwoLayers)
{
    drawBlobOrbit(57.0f, 0.0f);
    // 128 x 128 x 2 / 255 = 128: the modulate of two mid greys gives mid grey back, where
    // neither a blob nor the banner (transparent here) covers the corner.
    EXPECT_TRUE(pixelNear(readPixel(1, 1), {128, 128, 128, 255}, 3));
}

TEST_F(BlobOrbit, LeavesTexturingAndBlendingOnDepthTestOnLightingOffAndItsCamera)
{
    drawBlobOrbit(55.0f, 0.3f);
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
    EXPECT_TRUE(enabled(GL_BLEND));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_LIGHTING));
    EXPECT_FALSE(enabled(GL_LIGHT0));

    // A 60-degree field of view at aspect 4:3, looking from 38 units down the z axis.
    const std::array<float, 16> projection = matrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(projection[0], 1.2990381f, 1e-5);
    EXPECT_NEAR(projection[5], 1.7320508f, 1e-5);
    EXPECT_NEAR(projection[11], -1.0f, 1e-6);
    EXPECT_NEAR(projection[15], 38.0f, 1e-4);
    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), identity);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
