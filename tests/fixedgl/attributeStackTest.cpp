// The layer's glPushAttrib and glPopAttrib against GL's table of attribute groups, read from
// the layer's own record: each bit puts back the state its group names and nothing else, and
// the enable bit every capability GL's table lists for it, each of them also put back by its
// own group. This test program draws through the layer, not the system's GL.
#include "fixedgl/layerState.h"
#include "tests/support/glFixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Each group's part of the record, by GL's table: the bit, where the part lies, and the part
// copied from one record to another as an assignment copies it (a part's padding is no state).
struct GroupPart {
    const char* name;
    GLbitfield bit;
    std::size_t offset;
    std::size_t size;
    void (*copy)(LayerAttributes& to, const LayerAttributes& from);
};
#define GROUP_PART(bit, part)                                                                            \
    {#bit, bit, offsetof(LayerAttributes, part), sizeof(LayerAttributes::part),                         \
     [](LayerAttributes& to, const LayerAttributes& from) { to.part = from.part; }}
const GroupPart groupParts[] = {
    GROUP_PART(GL_CURRENT_BIT, current),         GROUP_PART(GL_LIGHTING_BIT, lighting),
    GROUP_PART(GL_FOG_BIT, fog),                 GROUP_PART(GL_DEPTH_BUFFER_BIT, depth),
    GROUP_PART(GL_COLOR_BUFFER_BIT, colorBuffer), GROUP_PART(GL_STENCIL_BUFFER_BIT, stencil),
    GROUP_PART(GL_POLYGON_BIT, polygon),         GROUP_PART(GL_SCISSOR_BIT, scissor),
    GROUP_PART(GL_TEXTURE_BIT, texture),         GROUP_PART(GL_TRANSFORM_BIT, transform),
    GROUP_PART(GL_VIEWPORT_BIT, viewport),       GROUP_PART(GL_HINT_BIT, hints),
};
#undef GROUP_PART

// Every byte 1: each bool of the record then reads true, as a sanitized build asks of a bool.
const unsigned char scribble = 0x01;

// Every capability GL_ENABLE_BIT names in GL's table that the layer takes, with its own group
// and where the record keeps it, for each texture unit where it is one a unit.
struct Enable {
    std::string name;
    GLenum capability;
    int unit;   // -1: not a texture unit's
    GLbitfield group;
    std::function<bool&(LayerAttributes&)> flag;
};

std::vector<Enable> enablesOfGlsTable()
{
    std::vector<Enable> enables = {
        {"GL_LIGHTING", GL_LIGHTING, -1, GL_LIGHTING_BIT, [](LayerAttributes& a) -> bool& { return a.lighting.enabled; }},
        {"GL_FOG", GL_FOG, -1, GL_FOG_BIT, [](LayerAttributes& a) -> bool& { return a.fog.enabled; }},
        {"GL_DEPTH_TEST", GL_DEPTH_TEST, -1, GL_DEPTH_BUFFER_BIT, [](LayerAttributes& a) -> bool& { return a.depth.test; }},
        {"GL_ALPHA_TEST", GL_ALPHA_TEST, -1, GL_COLOR_BUFFER_BIT, [](LayerAttributes& a) -> bool& { return a.colorBuffer.alphaTest; }},
        {"GL_BLEND", GL_BLEND, -1, GL_COLOR_BUFFER_BIT, [](LayerAttributes& a) -> bool& { return a.colorBuffer.blend; }},
        {"GL_STENCIL_TEST", GL_STENCIL_TEST, -1, GL_STENCIL_BUFFER_BIT, [](LayerAttributes& a) -> bool& { return a.stencil.test; }},
        {"GL_CULL_FACE", GL_CULL_FACE, -1, GL_POLYGON_BIT, [](LayerAttributes& a) -> bool& { return a.polygon.cullFace; }},
        {"GL_SCISSOR_TEST", GL_SCISSOR_TEST, -1, GL_SCISSOR_BIT, [](LayerAttributes& a) -> bool& { return a.scissor.test; }},
    };
    for (int i = 0; i < layerLightCount; ++i) {
        enables.push_back({"GL_LIGHT" + std::to_string(i), static_cast<GLenum>(GL_LIGHT0 + i), -1, GL_LIGHTING_BIT,
                           [i](LayerAttributes& a) -> bool& { return a.lighting.lights[static_cast<std::size_t>(i)].enabled; }});
    }
    for (int u = 0; u < layerTextureUnits; ++u) {
        const std::size_t unit = static_cast<std::size_t>(u);
        const std::string of = " of unit " + std::to_string(u);
        enables.push_back({"GL_TEXTURE_2D" + of, GL_TEXTURE_2D, u, GL_TEXTURE_BIT,
                           [unit](LayerAttributes& a) -> bool& { return a.texture.units[unit].enabled; }});
        enables.push_back({"GL_TEXTURE_GEN_S" + of, GL_TEXTURE_GEN_S, u, GL_TEXTURE_BIT,
                           [unit](LayerAttributes& a) -> bool& { return a.texture.units[unit].generateS; }});
        enables.push_back({"GL_TEXTURE_GEN_T" + of, GL_TEXTURE_GEN_T, u, GL_TEXTURE_BIT,
                           [unit](LayerAttributes& a) -> bool& { return a.texture.units[unit].generateT; }});
    }
    return enables;
}

class AttributeStack : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        before = layer.attributes;
    }

    // The record as it was, given to the driver again; the scribbled values reached it too.
    void TearDown() override
    {
        layer.attributes = before;
        applyDriverState();
        while (glGetError() != GL_NO_ERROR) {
        }
        GlTest::TearDown();
    }

    void setCapability(const Enable& enable, bool on)
    {
        if (enable.unit >= 0) renderWindow().glActiveTextureARB(static_cast<GLenum>(GL_TEXTURE0 + enable.unit));
        if (on) {
            glEnable(enable.capability);
        } else {
            glDisable(enable.capability);
        }
        renderWindow().glActiveTextureARB(GL_TEXTURE0);
    }

    LayerAttributes before;
};

} // namespace

// Pushed with one bit, the record scribbled over, popped: the group's part is as pushed, byte
// for byte, and every other part still the scribble. A group the table left out, or one put
// back by another's bit, fails.
TEST_F(AttributeStack, EachBitPutsBackItsGroupWholeAndNoOther)
{
    for (const GroupPart& group : groupParts) {
        SCOPED_TRACE(group.name);
        glPushAttrib(group.bit);
        const LayerAttributes pushed = layer.attributes;
        std::memset(static_cast<void*>(&layer.attributes), scribble, sizeof(LayerAttributes));
        glPopAttrib();
        LayerAttributes expected;
        std::memset(static_cast<void*>(&expected), scribble, sizeof(LayerAttributes));
        group.copy(expected, pushed);
        const auto* now = reinterpret_cast<const unsigned char*>(&layer.attributes);
        const auto* then = reinterpret_cast<const unsigned char*>(&expected);
        EXPECT_EQ(std::memcmp(now + group.offset, then + group.offset, group.size), 0) << "not put back";
        for (const GroupPart& other : groupParts) {
            if (other.bit == group.bit) continue;
            EXPECT_EQ(now[other.offset], scribble) << other.name << " put back too";
        }
        layer.attributes = before;
    }
}

// Each capability on, pushed with GL_ENABLE_BIT and with its own group's bit, turned off, and
// popped: on again. A capability that glEnable does not know, or that the table puts back with
// neither bit, fails.
TEST_F(AttributeStack, TheEnableBitAndItsOwnGroupEachPutBackEveryCapability)
{
    for (const Enable& enable : enablesOfGlsTable()) {
        SCOPED_TRACE(enable.name);
        for (const GLbitfield bit : {static_cast<GLbitfield>(GL_ENABLE_BIT), enable.group}) {
            setCapability(enable, true);
            ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "glEnable does not take it";
            ASSERT_TRUE(enable.flag(layer.attributes));
            glPushAttrib(bit);
            setCapability(enable, false);
            EXPECT_FALSE(enable.flag(layer.attributes));
            glPopAttrib();
            EXPECT_TRUE(enable.flag(layer.attributes)) << "not put back by bit 0x" << std::hex << bit;
            setCapability(enable, false);
        }
    }
}
