#include "effects/blobOrbit.h"

#include "effects/drawKit.h"
#include "render/mesh.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

float start = 0.0f;
float end = 0.0f;
TextureId backTexture = 0;
TextureId modulateTexture = 0;
TextureId bannerTexture = 0;
const float lightAmbient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
const float lightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float lightSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// Positional, given in eye coordinates (the model-view holds the identity when it is set).
const float lightPosition[4] = {10.0f, 0.0f, 50.0f, 1.0f};

Mesh blob(2);

} // namespace

void setBlobOrbit(TextureId back, TextureId modulate, TextureId banner, TextureId envTexture)
{
    backTexture = back;
    modulateTexture = modulate;
    bannerTexture = banner;
    blob.envTexture = envTexture;
    blob.shininess = 1.0f;
    blob.emission[0] = blob.emission[1] = blob.emission[2] = 0.2f;
    blob.flags |= 0x3CB;
    blob.buildGeosphere(4.0f, 4, 0.75f);
    blob.changesEveryFrame = true;
}

void setBlobOrbitWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawBlobOrbit(float t, float pulse)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;
    const float d = end - start;

    glClear(GL_DEPTH_BUFFER_BIT);

    // Both the lens and the look-at go onto the projection matrix.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.3333333333333333, 10.0, 100.0);
    gluLookAt(0.0, 0.0, 38.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // At distance 38 with a 60 degree field of view the 60 x 45 grids cover the screen.
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, backTexture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const float phaseS = e * 0.35f;
    const float phaseT = e * 0.21f;
    drawWarpGrid(60.0f, 45.0f, 2.0f, 1.5f, 16, 12, 0.5f, 0.4f, 1.0f, 0.75f, phaseS, phaseT);

    // Twice the product of the two layers: a modulate that can also brighten.
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, modulateTexture);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    drawWarpGrid(60.0f, 45.0f, 2.0f, 1.5f, 16, 12, 0.5f, 0.4f, 1.0f, 0.75f, -phaseS, -phaseT);

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);

    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpecular);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT0);
    // One white light only: a scene drawn earlier may have left others on.
    for (int i = 1; i < 8; ++i) glDisable(GL_LIGHT0 + i);

    // 8, 10 and 12 times pi: four, five and six periods over the window.
    const float phaseX = 5.0f * std::sin(e * 25.132736f / d);
    const float phaseY = 4.0f * std::sin(e * 31.41592f / d);
    const float phaseZ = 5.0f * std::sin(e * 37.699104f / d);
    const float spin = e * 45.0f;

    blob.wobbleMesh(1, 0, 0.5f, 7.0f, phaseX, phaseY, phaseZ);
    blob.computeFaceNormals(1, 0.5f);
    blob.computeVertexNormals(1, 6);

    glLoadIdentity();
    glTranslatef(10.0f, 0.0f, 0.0f);
    // On a beat each blob flattens sideways and stretches along its orbit radius.
    const float squash = std::sin(3.141592f * pulse);
    for (int i = 0; i < 3; ++i) {
        glPushMatrix();
        glRotatef(120.0f * i + spin, 1.0f, -0.3f, 0.0f);
        glTranslatef(0.0f, 0.0f, 18.0f);
        glScalef(1.0f - 0.5f * squash, 1.0f - 0.5f * squash, 1.0f + 2.0f * squash);
        blob.draw();
        glPopMatrix();
    }

    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);

    // One bow across the width whose depth swings between -15 and +15 every 2 seconds; the
    // colour is still the white of the background, so the banner's alpha decides.
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, bannerTexture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float bow = e * 0.5f;
    drawWaveSheet(60.0f, 24.0f, 1.0f, 1.0f, 30, 1, -15.0f * std::cos(6.283184f * bow), 0.0f, 0.5f, 1.0f, 0.0f, 0.0f);
}

const Mesh& blobOrbitMesh() { return blob; }
