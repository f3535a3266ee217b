// Mesh::draw: the last frame of a mesh in immediate mode, its whole fixed-function state
// taken from the mesh's own fields, so a mesh looks the same whoever draws it.
#include "render/mesh.h"

#include "platform/renderWindow.h"

#include <GL/gl.h>

namespace {


// One GL_TRIANGLES block of the textured path: texture coordinates always, normals only
// when lit (smooth: per corner from the vertex normals; flat: once per face).
void sendTexturedPass(const Mesh& mesh, const float* positions, const float* vertexNormals, const float* faceNormals)
{
    const bool lit = (mesh.flags & MESH_LIT) != 0;
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < mesh.faceCount; ++k) {
        const std::uint16_t* face = mesh.faces + 3 * k;
        const std::uint16_t* texFace = mesh.texFaces + 3 * k;
        if (lit && !smooth) {
            glNormal3fv(faceNormals + 3 * k);
        }
        for (int j = 0; j < 3; ++j) {
            if (lit && smooth) {
                glNormal3fv(vertexNormals + 3 * face[j]);
            }
            glTexCoord2fv(mesh.texCoords + 3 * texFace[j]);
            glVertex3fv(positions + 3 * face[j]);
        }
    }
    glEnd();
}

// The untextured path, and the two-texture path when the multitexture entry points are
// missing: normals always, no texture coordinates (an environment map is generated).
void sendPlainPass(const Mesh& mesh, const float* positions, const float* vertexNormals, const float* faceNormals)
{
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < mesh.faceCount; ++k) {
        const std::uint16_t* face = mesh.faces + 3 * k;
        if (!smooth) {
            glNormal3fv(faceNormals + 3 * k);
        }
        for (int j = 0; j < 3; ++j) {
            if (smooth) {
                glNormal3fv(vertexNormals + 3 * face[j]);
            }
            glVertex3fv(positions + 3 * face[j]);
        }
    }
    glEnd();
}

// Base texture on unit 1 by explicit coordinates, environment map on unit 0 by generation.
void sendTwoTexturePass(const Mesh& mesh, const float* positions, const float* vertexNormals,
                        const float* faceNormals)
{
    const MultiTexCoord2fvProc multiTexCoord = mesh.context->glMultiTexCoord2fvARB;
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < mesh.faceCount; ++k) {
        const std::uint16_t* face = mesh.faces + 3 * k;
        const std::uint16_t* texFace = mesh.texFaces + 3 * k;
        if (!smooth) {
            glNormal3fv(faceNormals + 3 * k);
        }
        for (int j = 0; j < 3; ++j) {
            if (smooth) {
                glNormal3fv(vertexNormals + 3 * face[j]);
            }
            multiTexCoord(GL_TEXTURE1_ARB, mesh.texCoords + 3 * texFace[j]);
            glVertex3fv(positions + 3 * face[j]);
        }
    }
    glEnd();
}

void enableIf(GLenum capability, bool on)
{
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

}  // namespace

void Mesh::draw() const
{
    const int last = frameCount - 1;
    const float* framePositions = positions[last];
    const float* frameVertexNormals = vertexNormals[last];
    const float* frameFaceNormals = faceNormals[last];
    const bool textured = (flags & MESH_TEXTURED) != 0;
    const bool envMapped = (flags & MESH_ENVMAP) != 0;
    const bool blended = (flags & (MESH_ADDITIVE | MESH_BLEND)) != 0;
    // A driver without GL_ARB_multitexture leaves the entry points null; such a mesh is
    // then drawn with the environment map alone.
    const bool twoTextures = textured && envMapped && context != nullptr && context->glActiveTextureARB != nullptr &&
                             context->glMultiTexCoord2fvARB != nullptr;

    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);

    enableIf(GL_DEPTH_TEST, (flags & (MESH_DEPTH_TEST | MESH_DEPTH_WRITE)) != 0);
    glDepthMask((flags & MESH_DEPTH_WRITE) ? GL_TRUE : GL_FALSE);
    glShadeModel((flags & MESH_SMOOTH) ? GL_SMOOTH : GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, (flags & MESH_FILL) ? GL_FILL : GL_LINE);
    if (flags & MESH_CULL) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    enableIf(GL_LIGHTING, (flags & MESH_LIT) != 0);
    if (blended) {
        if (flags & MESH_ADDITIVE) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        } else {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        glEnable(GL_BLEND);
        glColor4f(1.0f, 1.0f, 1.0f, alpha);
    } else {
        glDisable(GL_BLEND);
    }
    if (twoTextures) {
        context->glActiveTextureARB(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
        context->glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    if (envMapped) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, envTexture);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    }

    if (textured && envMapped) {
        if (twoTextures) {
            sendTwoTexturePass(*this, framePositions, frameVertexNormals, frameFaceNormals);
        } else {
            sendPlainPass(*this, framePositions, frameVertexNormals, frameFaceNormals);
        }
    } else if (!textured) {
        sendPlainPass(*this, framePositions, frameVertexNormals, frameFaceNormals);
    } else {
        // Translucent and unculled: the far side first, so the near side blends over it.
        if ((flags & MESH_BLEND) && !(flags & MESH_CULL)) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            sendTexturedPass(*this, framePositions, frameVertexNormals, frameFaceNormals);
        }
        if (flags & (MESH_BLEND | MESH_CULL)) {
            glCullFace(GL_BACK);
        }
        sendTexturedPass(*this, framePositions, frameVertexNormals, frameFaceNormals);
    }

    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    if (twoTextures) {
        // Unit 1 would otherwise keep texturing whatever is drawn next with multitexture.
        context->glActiveTextureARB(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        context->glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}
