// Mesh::draw: the last frame of a mesh, its whole fixed-function state taken from the
// mesh's own fields, so a mesh looks the same whoever draws it. The geometry goes out as
// immediate-mode calls or, on the fast path, as a display list recorded from those same calls.
#include "render/mesh.h"

#include "platform/renderWindow.h"
#include "platform/window.h"
#include "render/drawPath.h"

#include <GL/gl.h>

namespace {

// The flags that decide which calls a geometry block holds; the rest is state set outside it.
constexpr std::uint32_t geometryFlagMask = MESH_SMOOTH | MESH_LIT | MESH_TEXTURED | MESH_ENVMAP;

// A recorded mesh of at least this many faces is handed to the rasteriser as soon as it is
// sent (glFlush), so its pixels are filled while the next drawing is being built rather than
// after the whole frame; the grass blades then cost a software renderer about 4 ms less
// per frame at 640 x 480. Smaller meshes are not worth a flush of their own.
constexpr int flushFaceCount = 2000;

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

// The one geometry block of the flags' path: the two-texture pass, the plain pass (which
// the two-texture path falls back to without its entry points) or the textured pass.
void sendBlock(const Mesh& mesh, bool twoTextures)
{
    const int last = mesh.frameCount - 1;
    const float* positions = mesh.positions[last];
    const float* vertexNormals = mesh.vertexNormals[last];
    const float* faceNormals = mesh.faceNormals[last];
    const bool textured = (mesh.flags & MESH_TEXTURED) != 0;
    const bool envMapped = (mesh.flags & MESH_ENVMAP) != 0;
    if (twoTextures) {
        sendTwoTexturePass(mesh, positions, vertexNormals, faceNormals);
    } else if (!textured || envMapped) {
        sendPlainPass(mesh, positions, vertexNormals, faceNormals);
    } else {
        sendTexturedPass(mesh, positions, vertexNormals, faceNormals);
    }
}

// A driver without GL_ARB_multitexture leaves the entry points null; such a mesh is then
// drawn with the environment map alone.
bool usesTwoTextures(const Mesh& mesh)
{
    const RenderWindow* context = mesh.context;
    return (mesh.flags & MESH_TEXTURED) && (mesh.flags & MESH_ENVMAP) && context != nullptr &&
           context->glActiveTextureARB != nullptr && context->glMultiTexCoord2fvARB != nullptr;
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
    const bool textured = (flags & MESH_TEXTURED) != 0;
    const bool envMapped = (flags & MESH_ENVMAP) != 0;
    const bool blended = (flags & (MESH_ADDITIVE | MESH_BLEND)) != 0;
    const bool twoTextures = usesTwoTextures(*this);

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

    // Recorded, when stale, before the first pass: both passes of a two-pass mesh replay
    // the one list.
    const GLuint list = drawPath() == DRAW_PATH_FAST ? recordedBlock(twoTextures) : 0;
    auto send = [&] {
        if (list != 0) {
            glCallList(list);
        } else {
            sendBlock(*this, twoTextures);
        }
    };
    // Translucent, textured and unculled: the far side first, so the near side blends over it.
    if (textured && !envMapped) {
        if ((flags & MESH_BLEND) && !(flags & MESH_CULL)) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            send();
        }
        if (flags & (MESH_BLEND | MESH_CULL)) {
            glCullFace(GL_BACK);
        }
    }
    send();
    if (list != 0 && faceCount >= flushFaceCount) glFlush();

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

void Mesh::record() const
{
    if (drawPath() == DRAW_PATH_FAST) recordedBlock(usesTwoTextures(*this));
}

unsigned int Mesh::recordedBlock(bool twoTextures) const
{
    if (changesEveryFrame) return 0;
    const std::uint64_t contextId = platformCurrentContextId();
    const std::uint32_t geometryFlags = flags & geometryFlagMask;
    if (recording.list != 0 && recording.contextId == contextId && recording.changeCount == changeCount &&
        recording.geometryFlags == geometryFlags && recording.twoTextures == twoTextures) {
        return recording.list;
    }
    // A list of another context is not ours to delete; it goes with that context.
    if (recording.list != 0 && recording.contextId == contextId) glDeleteLists(recording.list, 1);
    recording = MeshRecording{};
    // Without a context of ours or a free list name the block goes out call by call.
    if (contextId == 0) return 0;
    const GLuint list = glGenLists(1);
    if (list == 0) return 0;
    glNewList(list, GL_COMPILE);
    sendBlock(*this, twoTextures);
    glEndList();
    recording = MeshRecording{list, contextId, changeCount, geometryFlags, twoTextures};
    return list;
}
