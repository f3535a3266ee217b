// Captures what a drawing routine sends to GL through feedback mode: every primitive that
// survives culling and clipping, with window coordinates, colour and texture coordinates
// per vertex. Lets tests check immediate-mode geometry exactly instead of by pixels.
#pragma once

#include <GL/gl.h>

#include <functional>
#include <vector>

struct FeedbackVertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;   // window coordinates; z in the depth range
    float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float texCoord[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

struct FeedbackPrimitive {
    GLenum token = 0;   // GL_POLYGON_TOKEN, GL_LINE_TOKEN, GL_LINE_RESET_TOKEN or GL_POINT_TOKEN
    std::vector<FeedbackVertex> vertices;
};

// Runs draw in feedback mode and parses the buffer. An overflowing buffer yields no
// primitives, so a test sized too small fails visibly.
inline std::vector<FeedbackPrimitive> captureFeedback(const std::function<void()>& draw, int capacity = 1 << 18)
{
    std::vector<GLfloat> buffer(static_cast<std::size_t>(capacity));
    glFeedbackBuffer(capacity, GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackPrimitive> primitives;
    auto readVertex = [&](GLint& i) {
        FeedbackVertex v;
        v.x = buffer[i++];
        v.y = buffer[i++];
        v.z = buffer[i++];
        for (float& c : v.color) c = buffer[i++];
        for (float& t : v.texCoord) t = buffer[i++];
        return v;
    };
    GLint i = 0;
    while (i < used) {
        const GLenum token = static_cast<GLenum>(buffer[i++]);
        FeedbackPrimitive primitive;
        primitive.token = token;
        int count = 0;
        if (token == GL_POLYGON_TOKEN) {
            count = static_cast<int>(buffer[i++]);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            count = 2;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            count = 1;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        } else {
            break;
        }
        for (int k = 0; k < count; ++k) primitive.vertices.push_back(readVertex(i));
        primitives.push_back(primitive);
    }
    return primitives;
}

// The quads of a GL_QUADS drawing in their sending order. A driver may hand a quad
// (v0, v1, v2, v3) back as one four-vertex polygon or as the triangles (v0, v1, v3) and
// (v1, v2, v3), as Mesa does; both become the four vertices again. Anything else (a clipped
// or culled quad) ends the list, so a test's count check catches it.
inline std::vector<std::vector<FeedbackVertex>> feedbackQuads(const std::vector<FeedbackPrimitive>& primitives)
{
    auto same = [](const FeedbackVertex& a, const FeedbackVertex& b) {
        return a.x == b.x && a.y == b.y && a.z == b.z && a.texCoord[0] == b.texCoord[0] &&
               a.texCoord[1] == b.texCoord[1];
    };
    std::vector<std::vector<FeedbackVertex>> quads;
    std::size_t i = 0;
    while (i < primitives.size()) {
        const FeedbackPrimitive& first = primitives[i];
        if (first.token == GL_POLYGON_TOKEN && first.vertices.size() == 4) {
            quads.push_back(first.vertices);
            ++i;
            continue;
        }
        if (i + 1 >= primitives.size()) break;
        const FeedbackPrimitive& second = primitives[i + 1];
        if (first.vertices.size() != 3 || second.vertices.size() != 3 || !same(first.vertices[1], second.vertices[0]) ||
            !same(first.vertices[2], second.vertices[2])) {
            break;
        }
        quads.push_back({first.vertices[0], first.vertices[1], second.vertices[1], first.vertices[2]});
        i += 2;
    }
    return quads;
}
