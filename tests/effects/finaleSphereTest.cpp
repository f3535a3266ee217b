#include "effects/finaleSphere.h"
#include "particles/particleEmitter.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

class FinaleSphere : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static std::unique_ptr<Scene> last;
        if (!last) {
            last = loadScene(stillScene({facingSquare("floor", -20.0f, -20.0f, 20.0f, 20.0f)}), "last");
            setFinaleSphere(last.get(), solidTexture(255, 255, 255, 255), solidTexture(255, 0, 0, 255));
            setFinaleSphereWindow(135.0f, 169.0f);
        }
        fillScreen(0.0f, 0.0f, 1.0f);
    }
};

} // namespace

TEST_F(FinaleSphere, BuildsAShellOfOneParticlePerVertexOfItsSphere)
{
    const Mesh& sphere = finaleSphereMesh();
    EXPECT_EQ(sphere.vertexCount, 642);
    EXPECT_EQ(listLength(finaleSphereShell()), sphere.vertexCount);
}

TEST_F(FinaleSphere, DrawsNothingAtEitherEndOfItsWindow)
{
    drawFinaleSphere(135.0f, 0.0f);
    drawFinaleSphere(169.0f, 0.0f);
    EXPECT_TRUE(pixelNear(readPixel(60, 60), {0, 0, 255, 255}));
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
}

TEST_F(FinaleSphere, PutsTheLogoColumnAtTheRightEdge)
{
    drawFinaleSphere(150.0f, 0.0f);
    // Sprite centres at x = 0.8 and y = -0.75, -0.25, 0.25, 0.75: pixel column 57.6.
    for (int row : {8, 24, 40, 56}) {
        const std::array<int, 4> logo = readPixel(57, row);
        EXPECT_GT(logo[0], 200) << "row " << row;
    }
    // Between the sprites the background stays.
    EXPECT_LT(readPixel(57, 16)[0], 200);
}

TEST_F(FinaleSphere, LeavesDepthTestBlendingAndTexturingOffAndAnIdentityProjection)
{
    drawFinaleSphere(150.0f, 0.4f);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_FALSE(enabled(GL_TEXTURE_2D));
    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), identity);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
