// Small scenes drawn with GL 1.1 calls, one program built twice: linked with the system's GL,
// and with the fixed-function layer over OpenGL ES 3. Each scene is drawn into a 64 x 64
// offscreen picture and written as raw RGBA (bottom row first) to FOLDER/NAME.rgba, for the
// layer's test to compare the two programs' pictures.
//
//   layerScenes_gl FOLDER [SCENE...]
#include "platform/display/glExtensions.h"
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int size = 64;
RenderWindow renderWindow;

// Every piece of state the scenes touch, back at a plain start: depth test with GL_LEQUAL,
// everything else off, identity matrices, smooth shading, white, a black picture.
void reset()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (GLenum capability : {GL_LIGHTING, GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_FOG, GL_TEXTURE_2D, GL_TEXTURE_GEN_S,
                              GL_TEXTURE_GEN_T, GL_BLEND, GL_CULL_FACE, GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_ALPHA_TEST}) {
        glDisable(capability);
    }
    renderWindow.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    renderWindow.glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glCullFace(GL_BACK);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// A checker of two colours, 16 x 16, as a texture.
GLuint checkerTexture(const unsigned char a[3], const unsigned char b[3])
{
    std::vector<unsigned char> pixels(16 * 16 * 3);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const unsigned char* c = ((x / 4 + y / 4) % 2) ? a : b;
            std::memcpy(&pixels[static_cast<std::size_t>((y * 16 + x) * 3)], c, 3);
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return name;
}

// A sphere of radius r as smooth triangles with unit normals and texture coordinates.
void sphere(float r, bool texCoords)
{
    constexpr int rings = 12, segments = 16;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            const int corners[6][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j}, {i + 1, j + 1}, {i, j + 1}};
            for (const auto& c : corners) {
                const float theta = 3.141592f * static_cast<float>(c[0]) / rings;
                const float phi = 6.283184f * static_cast<float>(c[1]) / segments;
                const float n[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
                glNormal3fv(n);
                if (texCoords) glTexCoord2f(static_cast<float>(c[1]) / segments, static_cast<float>(c[0]) / rings);
                glVertex3f(r * n[0], r * n[1], r * n[2]);
            }
        }
    }
    glEnd();
}

void perspective()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 50.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, -1.0, 5.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void light(GLenum light, const float position[4], const float diffuse[4], const float specular[4])
{
    const float ambient[4] = {0.05f, 0.05f, 0.05f, 1.0f};
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
    glLightfv(light, GL_POSITION, position);
    glEnable(light);
}

void material(const float diffuse[4], const float specular[4], const float emission[4], float shininess)
{
    const float ambient[4] = {0.3f, 0.2f, 0.1f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
}

// A positional light placed under one model-view and a directional one under another, the
// sphere drawn under a third, with the local viewer on: the lights stay where they were set.
void lights()
{
    perspective();
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glPushMatrix();
    glRotatef(40.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(1.0f, 0.5f, 0.0f);
    const float near[4] = {0.0f, 0.0f, 3.0f, 1.0f};
    const float warm[4] = {1.0f, 0.7f, 0.4f, 1.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    light(GL_LIGHT0, near, warm, white);
    glPopMatrix();
    glPushMatrix();
    glRotatef(-70.0f, 1.0f, 0.0f, 0.0f);
    const float far[4] = {-1.0f, 1.0f, 1.0f, 0.0f};
    const float blue[4] = {0.2f, 0.3f, 0.9f, 1.0f};
    light(GL_LIGHT1, far, blue, blue);
    glPopMatrix();
    const float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f}, specular[4] = {0.9f, 0.9f, 0.9f, 1.0f};
    const float none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    material(diffuse, specular, none, 24.0f);
    glRotatef(25.0f, 0.0f, 0.0f, 1.0f);
    sphere(1.6f, false);
}

// Emission and shininess: three spheres, an infinite viewer, one light from behind the eye.
void materials()
{
    perspective();
    glEnable(GL_LIGHTING);
    const float from[4] = {2.0f, 3.0f, 4.0f, 0.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    light(GL_LIGHT0, from, white, white);
    const float specs[3][4] = {{1.0f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}};
    const float glows[3][4] = {{0.0f, 0.0f, 0.0f, 1.0f}, {0.3f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.25f, 0.1f, 1.0f}};
    const float shininess[3] = {0.0f, 10.0f, 90.0f};
    for (int i = 0; i < 3; ++i) {
        const float diffuse[4] = {0.6f, 0.5f, 0.4f, 0.8f};
        material(diffuse, specs[i], glows[i], shininess[i]);
        glPushMatrix();
        glTranslatef(-1.6f + 1.6f * static_cast<float>(i), 0.3f * static_cast<float>(i), 0.0f);
        sphere(0.75f, false);
        glPopMatrix();
    }
}

// Quads of four colours, flat on the left and smooth on the right, each a trapezoid, and a
// textured trapezoid: a quad's flat colour is its last vertex's, and its inside is
// interpolated across the diagonal the fixed pipeline takes.
void quads()
{
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    const float colors[4][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 0.0f}};
    for (int side = 0; side < 2; ++side) {
        glShadeModel(side == 0 ? GL_FLAT : GL_SMOOTH);
        const float x = side == 0 ? -0.95f : 0.05f;
        glBegin(GL_QUADS);
        const float corners[4][2] = {{x, 0.1f}, {x + 0.9f, 0.1f}, {x + 0.6f, 0.9f}, {x + 0.2f, 0.95f}};
        for (int i = 0; i < 4; ++i) {
            glColor3f(colors[i][0], colors[i][1], colors[i][2]);
            glVertex2f(corners[i][0], corners[i][1]);
        }
        glEnd();
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    const unsigned char a[3] = {250, 40, 20}, b[3] = {20, 60, 240};
    const GLuint texture = checkerTexture(a, b);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (int side = 0; side < 2; ++side) {
        glShadeModel(side == 0 ? GL_FLAT : GL_SMOOTH);
        const float x = side == 0 ? -0.95f : 0.05f;
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(x, -0.9f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(x + 0.9f, -0.95f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(x + 0.6f, -0.1f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(x + 0.1f, -0.2f);
        glEnd();
    }
    glShadeModel(GL_SMOOTH);
    glDisable(GL_TEXTURE_2D);
}

// Linear fog over a floor that runs from before its start to past its end, and over lit
// triangles; the fog colour is the clear colour, as the factory's.
void fog()
{
    perspective();
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, grey);
    glFogf(GL_FOG_DENSITY, 1.0f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 4.0f);
    glFogf(GL_FOG_END, 14.0f);
    glEnable(GL_FOG);
    glBegin(GL_QUADS);
    glColor3f(0.9f, 0.2f, 0.1f);
    glVertex3f(-3.0f, -1.5f, 4.0f);
    glVertex3f(3.0f, -1.5f, 4.0f);
    glColor3f(0.1f, 0.9f, 0.3f);
    glVertex3f(3.0f, -1.5f, -30.0f);
    glVertex3f(-3.0f, -1.5f, -30.0f);
    glEnd();
    glEnable(GL_LIGHTING);
    const float from[4] = {0.0f, 1.0f, 1.0f, 0.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    light(GL_LIGHT0, from, white, white);
    glTranslatef(0.5f, 0.0f, -6.0f);
    sphere(1.2f, false);
}

// Sphere-map coordinates generated on unit 0 over a lit sphere, modulating its colour.
void sphereMap()
{
    perspective();
    glEnable(GL_LIGHTING);
    const float from[4] = {1.0f, 1.0f, 2.0f, 0.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    light(GL_LIGHT0, from, white, white);
    const float diffuse[4] = {0.9f, 0.9f, 0.9f, 1.0f}, none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    material(diffuse, none, none, 0.0f);
    const unsigned char a[3] = {255, 255, 255}, b[3] = {30, 120, 60};
    const GLuint texture = checkerTexture(a, b);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glRotatef(30.0f, 1.0f, 1.0f, 0.0f);
    glScalef(1.0f, 1.3f, 1.0f);
    sphere(1.4f, false);
}

// Two units, as the two-texture path of mesh drawing: an environment map generated on unit 0
// and the base texture on unit 1 with coordinates of its own, each modulating.
void twoUnits()
{
    perspective();
    const unsigned char a[3] = {255, 220, 180}, b[3] = {60, 60, 200};
    const unsigned char c[3] = {255, 255, 255}, d[3] = {200, 30, 30};
    const GLuint environment = checkerTexture(a, b);
    const GLuint base = checkerTexture(c, d);
    renderWindow.glActiveTextureARB(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, base);
    glEnable(GL_TEXTURE_2D);
    renderWindow.glActiveTextureARB(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, environment);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glRotatef(-20.0f, 0.0f, 1.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 12; ++i) {
        for (int k = 0; k < 3; ++k) {
            const float angle = 6.283184f * static_cast<float>(i + (k == 2 ? 1 : 0)) / 12.0f;
            const float r = k == 0 ? 0.0f : 1.8f;
            const float n[3] = {0.3f * std::cos(angle), 0.3f * std::sin(angle), 1.0f};
            glNormal3fv(n);
            const float uv[2] = {0.5f + 0.5f * r / 1.8f * std::cos(angle), 0.5f + 0.5f * r / 1.8f * std::sin(angle)};
            renderWindow.glMultiTexCoord2fvARB(GL_TEXTURE1_ARB, uv);
            glVertex3f(r * std::cos(angle), r * std::sin(angle), k == 0 ? 0.5f : 0.0f);
        }
    }
    glEnd();
    renderWindow.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    renderWindow.glActiveTextureARB(GL_TEXTURE0_ARB);
}

// A list recorded once and replayed under two other matrices, lit; after it, a triangle sent
// with no normal of its own takes the normal the list left current.
void lists()
{
    perspective();
    glEnable(GL_LIGHTING);
    const float from[4] = {0.0f, 0.0f, 1.0f, 0.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    light(GL_LIGHT0, from, white, white);
    const float diffuse[4] = {0.9f, 0.6f, 0.2f, 1.0f}, none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    material(diffuse, none, none, 0.0f);
    const float facing[3] = {0.0f, 0.0f, 1.0f}, tilted[3] = {0.7f, 0.0f, 0.7f};
    glNormal3fv(facing);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    sphere(0.6f, false);
    glBegin(GL_TRIANGLES);
    glNormal3fv(tilted);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.2f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.2f, 0.0f);
    glEnd();
    glEndList();
    glPushMatrix();
    glTranslatef(-1.0f, 0.6f, 0.0f);
    glCallList(list);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(1.0f, 0.4f, -1.0f);
    glRotatef(60.0f, 0.0f, 1.0f, 0.0f);
    glCallList(list);
    glPopMatrix();
    // The normal the list left is (0.7, 0, 0.7), lit dimmer than the (0, 0, 1) set before it.
    glBegin(GL_TRIANGLES);
    glVertex3f(-1.5f, -1.6f, 0.0f);
    glVertex3f(1.5f, -1.6f, 0.0f);
    glVertex3f(0.0f, -0.4f, 0.0f);
    glEnd();
    glDeleteLists(list, 1);
}

// Wire frames: triangles facing both ways as lines, the back ones culled, flat and smooth.
void wireFrames()
{
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    for (int row = 0; row < 2; ++row) {
        glShadeModel(row == 0 ? GL_FLAT : GL_SMOOTH);
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < 4; ++i) {
            const float x = -0.9f + 0.45f * static_cast<float>(i);
            const float y = row == 0 ? 0.1f : -0.9f;
            const bool front = i % 2 == 0;
            glColor3f(1.0f, 0.2f, 0.2f);
            glVertex2f(x, y);
            glColor3f(0.2f, 1.0f, 0.2f);
            glVertex2f(front ? x + 0.4f : x, front ? y : y + 0.7f);
            glColor3f(0.3f, 0.3f, 1.0f);
            glVertex2f(front ? x : x + 0.4f, front ? y + 0.7f : y);
        }
        glEnd();
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// The time bar's bracket (every attribute) and the show surface's (colour buffer and
// scissor), and the client's pixel store: what is set inside is gone after them.
void attributes()
{
    glOrtho(0.0, size, 0.0, size, -1.0, 1.0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glShadeModel(GL_FLAT);
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glPopAttrib();
    glClear(GL_COLOR_BUFFER_BIT);   // green masked, no scissor, the inner clear colour undone
    glPopClientAttrib();
    glPopAttrib();
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    // Blended, flat, unlit and unfogged again: a half-transparent quad over the clear.
    glBegin(GL_QUADS);
    glColor4f(1.0f, 0.0f, 0.0f, 0.5f);
    glVertex2f(8.0f, 8.0f);
    glColor4f(0.0f, 1.0f, 0.0f, 0.5f);
    glVertex2f(40.0f, 8.0f);
    glColor4f(0.0f, 0.0f, 1.0f, 0.5f);
    glVertex2f(40.0f, 40.0f);
    glColor4f(1.0f, 1.0f, 1.0f, alignment == 4 ? 0.5f : 1.0f);
    glVertex2f(8.0f, 40.0f);
    glEnd();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

// Pixels at the raster position, rows of an odd width packed tight, as the time bar puts back
// what it covered; half blended over a quad.
void drawPixels()
{
    glOrtho(0.0, size, 0.0, size, -1.0, 1.0);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.2f, 0.5f, 0.2f);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(64.0f, 0.0f);
    glVertex2f(64.0f, 30.0f);
    glVertex2f(0.0f, 30.0f);
    glEnd();
    constexpr int width = 37, height = 21;
    std::vector<unsigned char> pixels(width * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &pixels[static_cast<std::size_t>((y * width + x) * 4)];
            p[0] = static_cast<unsigned char>(x * 7);
            p[1] = static_cast<unsigned char>(y * 12);
            p[2] = static_cast<unsigned char>((x + y) % 2 ? 255 : 0);
            p[3] = static_cast<unsigned char>(x < 20 ? 255 : 128);
        }
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glRasterPos2i(11, 17);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

// The stencil mask as the grass scene uses it: shapes written into the stencil only, then a
// picture drawn where the stencil is set, additively over a background.
void stencil()
{
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    glColor3f(0.3f, 0.1f, 0.4f);
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.8f, -0.8f);
    glVertex2f(0.7f, -0.6f);
    glVertex2f(-0.2f, 0.8f);
    glEnd();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilFunc(GL_EQUAL, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBegin(GL_QUADS);
    glColor3f(0.6f, 0.4f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glColor3f(0.0f, 0.4f, 0.6f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glColor3f(0.6f, 0.4f, 0.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
}

// A triangle drawn and, with no flush between, the picture copied into a framebuffer object of
// its own and back through the calls fetched by name (glCalls): the triangle is in the copy.
void blit()
{
    const GlCalls& gl = glCalls();
    GLuint framebuffer = 0, colour = 0;
    gl.genFramebuffers(1, &framebuffer);
    gl.genRenderbuffers(1, &colour);
    gl.bindRenderbuffer(GL_RENDERBUFFER, colour);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
    glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
    glBegin(GL_TRIANGLES);
    glColor3f(0.9f, 0.5f, 0.1f);
    glVertex2f(-0.8f, -0.8f);
    glVertex2f(0.8f, -0.6f);
    glVertex2f(0.0f, 0.8f);
    glEnd();
    gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    gl.blitFramebuffer(0, 0, size, size, 0, 0, size, size, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    // The window's picture cleared, and the copy brought back into it.
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    gl.blitFramebuffer(0, 0, size, size, 0, 0, size, size, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
}

struct Scene {
    const char* name;
    void (*draw)();
};
const Scene scenes[] = {
    {"lights", lights},         {"materials", materials},   {"quads", quads},
    {"fog", fog},               {"sphereMap", sphereMap},   {"twoUnits", twoUnits},
    {"lists", lists},           {"wireFrames", wireFrames}, {"attributes", attributes},
    {"drawPixels", drawPixels}, {"stencil", stencil},       {"blit", blit},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [SCENE...]\n", argv[0]);
        return 2;
    }
    PlatformOffscreen offscreen;
    std::string error;
    if (!createOffscreenRenderWindow(size, size, renderWindow, offscreen, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    int failures = 0;
    for (const Scene& scene : scenes) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; ++i) wanted = wanted || std::strcmp(argv[i], scene.name) == 0;
        if (!wanted) continue;
        reset();
        scene.draw();
        const GLenum glError = glGetError();
        if (glError != GL_NO_ERROR) {
            std::fprintf(stderr, "%s: GL error 0x%04X\n", scene.name, glError);
            ++failures;
        }
        std::vector<unsigned char> pixels(size * size * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        const std::string path = std::string(argv[1]) + "/" + scene.name + ".rgba";
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(pixels.data(), 1, pixels.size(), file) != pixels.size()) {
            std::fprintf(stderr, "%s: cannot write\n", path.c_str());
            ++failures;
        }
        if (file) std::fclose(file);
    }
    destroyOffscreenRenderWindow(renderWindow, offscreen);
    return failures == 0 ? 0 : 1;
}
