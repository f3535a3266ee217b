// Mesh::draw: the last frame of a mesh, its whole fixed-function state taken from the
// mesh's own fields, so a mesh looks the same whoever draws it. The geometry goes out as
// immediate-mode calls or, on the fast path, as a display list recorded from those same calls.
#include "render/mesh.h"

#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "render/drawPath.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The flags that decide which calls a geometry block holds; the rest is state set outside it.
constexpr std::uint32_t geometryFlagMask = MESH_SMOOTH | MESH_LIT | MESH_TEXTURED | MESH_ENVMAP;

// A mesh of at least runMeshFaceCount faces is recorded in runs of runFaceCount consecutive
// faces, so the runs wholly outside the view are not sent at all: most of a meadow lies
// behind or beside the camera. A run of 96 faces is 32 of the meadow's blades, a patch of
// about 5 x 10 m; longer runs skip less, shorter ones cost more calls than they save.
// Smaller meshes are one list.
constexpr int runMeshFaceCount = 4096;
constexpr int runFaceCount = 96;

// A recorded mesh of at least this many faces is handed to the rasteriser as soon as it is
// sent (glFlush), so its pixels are filled while the next drawing is being built rather than
// after the whole frame; the grass blades then cost a software renderer about 4 ms less
// per frame at 640 x 480. Smaller meshes are not worth a flush of their own.
constexpr int flushFaceCount = 2000;

// One GL_TRIANGLES block of the textured path: texture coordinates always, normals only
// when lit (smooth: per corner from the vertex normals; flat: once per face).
void sendTexturedPass(const Mesh& mesh, const float* positions, const float* vertexNormals, const float* faceNormals,
                      int first, int end)
{
    const bool lit = (mesh.flags & MESH_LIT) != 0;
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = first; k < end; ++k) {
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
void sendPlainPass(const Mesh& mesh, const float* positions, const float* vertexNormals, const float* faceNormals,
                   int first, int end)
{
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = first; k < end; ++k) {
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
                        const float* faceNormals, int first, int end)
{
    const MultiTexCoord2fvProc multiTexCoord = mesh.context->glMultiTexCoord2fvARB;
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    glBegin(GL_TRIANGLES);
    for (int k = first; k < end; ++k) {
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

// The geometry block of the flags' path for faces first .. end - 1: the two-texture pass,
// the plain pass (which the two-texture path falls back to without its entry points) or the
// textured pass.
void sendBlock(const Mesh& mesh, bool twoTextures, int first, int end)
{
    const int last = mesh.frameCount - 1;
    const float* positions = mesh.positions[last];
    const float* vertexNormals = mesh.vertexNormals[last];
    const float* faceNormals = mesh.faceNormals[last];
    const bool textured = (mesh.flags & MESH_TEXTURED) != 0;
    const bool envMapped = (mesh.flags & MESH_ENVMAP) != 0;
    if (twoTextures) {
        sendTwoTexturePass(mesh, positions, vertexNormals, faceNormals, first, end);
    } else if (!textured || envMapped) {
        sendPlainPass(mesh, positions, vertexNormals, faceNormals, first, end);
    } else {
        sendTexturedPass(mesh, positions, vertexNormals, faceNormals, first, end);
    }
}

// The current normal and texture coordinates the whole block leaves behind, set again after
// a replay that skipped the block's last run, so what is drawn next finds them as the block
// leaves them.
void sendTrailingAttributes(const Mesh& mesh, bool twoTextures)
{
    if (mesh.faceCount == 0) return;
    const int k = mesh.faceCount - 1;
    const int last = mesh.frameCount - 1;
    const std::uint16_t corner = mesh.faces[3 * k + 2];
    const bool smooth = (mesh.flags & MESH_SMOOTH) != 0;
    const bool textured = (mesh.flags & MESH_TEXTURED) != 0;
    const bool envMapped = (mesh.flags & MESH_ENVMAP) != 0;
    const bool texturedPass = !twoTextures && textured && !envMapped;
    if (!texturedPass || (mesh.flags & MESH_LIT)) {
        glNormal3fv(smooth ? mesh.vertexNormals[last] + 3 * corner : mesh.faceNormals[last] + 3 * k);
    }
    const float* texCoord = mesh.texCoords + 3 * mesh.texFaces[3 * k + 2];
    if (twoTextures) {
        mesh.context->glMultiTexCoord2fvARB(GL_TEXTURE1_ARB, texCoord);
    } else if (texturedPass) {
        glTexCoord2fv(texCoord);
    }
}

// The box around the corners of faces first .. end - 1 in the last frame.
RecordedRun boxOfFaces(const Mesh& mesh, int first, int end)
{
    const float* positions = mesh.positions[mesh.frameCount - 1];
    RecordedRun run{};
    for (int c = 0; c < 3; ++c) {
        run.low[c] = positions[3 * mesh.faces[3 * first] + c];
        run.high[c] = run.low[c];
    }
    for (int i = 3 * first; i < 3 * end; ++i) {
        const float* point = positions + 3 * mesh.faces[i];
        for (int c = 0; c < 3; ++c) {
            run.low[c] = std::min(run.low[c], point[c]);
            run.high[c] = std::max(run.high[c], point[c]);
        }
    }
    return run;
}

// True when the whole box lies beyond one plane of the view volume for the matrix that takes
// the mesh's coordinates to clip coordinates (column-major): the driver would then clip
// away every face inside it. Worked in double with a margin, so a box the driver's own
// rounding might still count as touching the volume is kept.
bool outsideViewVolume(const double clip[16], const RecordedRun& run)
{
    unsigned common = 0x3F;
    for (int corner = 0; corner < 8 && common != 0; ++corner) {
        const double x = (corner & 1) ? run.high[0] : run.low[0];
        const double y = (corner & 2) ? run.high[1] : run.low[1];
        const double z = (corner & 4) ? run.high[2] : run.low[2];
        double v[4];
        for (int r = 0; r < 4; ++r) v[r] = clip[r] * x + clip[4 + r] * y + clip[8 + r] * z + clip[12 + r];
        const double w = v[3];
        unsigned outside = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double margin = 1e-4 * (std::fabs(w) + std::fabs(v[axis])) + 1e-6;
            if (v[axis] < -w - margin) outside |= 1u << (2 * axis);
            if (v[axis] > w + margin) outside |= 2u << (2 * axis);
        }
        common &= outside;
    }
    return common != 0;
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
    // the one recording.
    const GLuint list = drawPath() == DRAW_PATH_FAST ? recordedBlock(twoTextures) : 0;
    auto send = [&] {
        if (list == 0) {
            sendBlock(*this, twoTextures, 0, faceCount);
        } else if (recording.runs.empty()) {
            glCallList(list);
        } else {
            replayRecording(twoTextures);
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

bool Mesh::recordSome(int runs) const
{
    if (drawPath() != DRAW_PATH_FAST || recordRuns(usesTwoTextures(*this), runs) == 0) return true;
    return recording.recordedRuns == recording.runCount;
}

unsigned int Mesh::recordedBlock(bool twoTextures) const { return recordRuns(twoTextures, INT_MAX); }

unsigned int Mesh::recordRuns(bool twoTextures, int runs) const
{
    if (changesEveryFrame) return 0;
    const std::uint64_t contextId = platformCurrentContextId();
    const std::uint32_t geometryFlags = flags & geometryFlagMask;
    const bool current = recording.list != 0 && recording.contextId == contextId && recording.changeCount == changeCount &&
                         recording.geometryFlags == geometryFlags && recording.twoTextures == twoTextures;
    if (!current) {
        // Lists of another context are not ours to delete; they go with that context.
        if (recording.list != 0 && recording.contextId == contextId)
            glDeleteLists(recording.list, static_cast<GLsizei>(recording.runCount));
        recording = MeshRecording{};
        // Without a context of ours or free list names the block goes out call by call.
        if (contextId == 0) return 0;
        const int runCount = faceCount >= runMeshFaceCount ? (faceCount + runFaceCount - 1) / runFaceCount : 1;
        const GLuint list = glGenLists(runCount);
        if (list == 0) return 0;
        recording = MeshRecording{list, contextId, changeCount, geometryFlags, twoTextures, {}, runCount, 0};
    }
    const bool inRuns = faceCount >= runMeshFaceCount;
    for (int r = recording.recordedRuns; r < recording.runCount && runs > 0; ++r, --runs) {
        const int first = inRuns ? r * runFaceCount : 0;
        const int end = inRuns ? std::min(faceCount, first + runFaceCount) : faceCount;
        glNewList(recording.list + static_cast<GLuint>(r), GL_COMPILE);
        sendBlock(*this, twoTextures, first, end);
        glEndList();
        if (inRuns) recording.runs.push_back(boxOfFaces(*this, first, end));
        ++recording.recordedRuns;
    }
    return recording.list;
}

void Mesh::replayRecording(bool twoTextures) const
{
    // Which runs can show, from the matrices the faces are drawn with.
    GLfloat projection[16], modelView[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    double clip[16];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += static_cast<double>(projection[4 * k + row]) * modelView[4 * column + k];
            clip[4 * column + row] = sum;
        }
    }
    bool lastShown = true;
    for (std::size_t r = 0; r < recording.runs.size(); ++r) {
        lastShown = !outsideViewVolume(clip, recording.runs[r]);
        if (lastShown) glCallList(recording.list + static_cast<GLuint>(r));
    }
    if (!lastShown) sendTrailingAttributes(*this, twoTextures);
}
