// GL 1.1, GLU and multitexture as the drawing code calls them, defined here: each call either
// keeps state for the fixed pipeline's shaders, keeps state both APIs share for the driver (at
// once, or for the depth test and mask, blending, culling and the colour mask when something
// is drawn or cleared: syncDrawingState), or gathers vertices. Whatever changes how gathered
// vertices look draws them first; a call that changes nothing does nothing. Calls the show
// does not make are not defined: a program that makes one does not link.
#include "fixedgl/fixedGl.h"

#include "fixedgl/displayLists.h"
#include "fixedgl/glCalls.h"
#include "fixedgl/glesDriver.h"
#include "fixedgl/layerState.h"
#include "fixedgl/pixelOps.h"
#include "fixedgl/shaderPrograms.h"
#include "fixedgl/streamBuffer.h"
#include "fixedgl/vertexGathering.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>

namespace {

LayerAttributes& state() { return layer.attributes; }

LayerTextureUnit& activeUnit() { return state().texture.units[static_cast<std::size_t>(state().texture.activeUnit)]; }

std::array<float, 4> four(const GLfloat* v) { return {v[0], v[1], v[2], v[3]}; }

// glEnable and glDisable. The drawing code sets the state each drawing needs whether or not it
// is set already; a call that changes nothing draws nothing first and reaches no driver (in a
// browser every call to the driver costs microseconds). The stencil and scissor tests go on to
// the driver now, the depth test, blending and culling when something is drawn.
void changeCapability(GLenum capability, bool on)
{
    bool* flag = capabilityFlag(state(), capability);
    if (!flag) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    if (*flag == on) return;
    flushVertices();
    *flag = on;
    if (capability == GL_STENCIL_TEST || capability == GL_SCISSOR_TEST) {
        if (on) {
            gles.enable(capability);
        } else {
            gles.disable(capability);
        }
    } else if (capability >= GL_LIGHT0 && capability < GL_LIGHT0 + layerLightCount) {
        lightingChanged();
    }
}

// The matrix stack glMatrixMode selects, top first, with what changed it told.
Matrix4& topMatrix()
{
    flushVertices();
    matricesChanged();
    return currentStack().back();
}

LayerLight* lightOf(GLenum light)
{
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + layerLightCount) {
        layerError(GL_INVALID_ENUM);
        return nullptr;
    }
    return &state().lighting.lights[light - GL_LIGHT0];
}

} // namespace

extern "C" {

void APIENTRY glEnable(GLenum capability) { changeCapability(capability, true); }
void APIENTRY glDisable(GLenum capability) { changeCapability(capability, false); }

void APIENTRY glBegin(GLenum mode) { beginPrimitive(mode); }
void APIENTRY glEnd() { endPrimitive(); }

void APIENTRY glVertex2f(GLfloat x, GLfloat y) { emitVertex(x, y, 0.0f, 1.0f); }
void APIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) { emitVertex(x, y, z, 1.0f); }
void APIENTRY glVertex3fv(const GLfloat* v) { emitVertex(v[0], v[1], v[2], 1.0f); }
void APIENTRY glNormal3fv(const GLfloat* v) { setCurrentNormal(v[0], v[1], v[2]); }
void APIENTRY glColor3f(GLfloat r, GLfloat g, GLfloat b) { setCurrentColor(r, g, b, 1.0f); }
void APIENTRY glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { setCurrentColor(r, g, b, a); }
void APIENTRY glColor4fv(const GLfloat* v) { setCurrentColor(v[0], v[1], v[2], v[3]); }
void APIENTRY glTexCoord2f(GLfloat s, GLfloat t) { setCurrentTexCoord(0, s, t); }
void APIENTRY glTexCoord2fv(const GLfloat* v) { setCurrentTexCoord(0, v[0], v[1]); }

void APIENTRY glMultiTexCoord2fvARB(GLenum target, const GLfloat* v)
{
    const int unit = static_cast<int>(target) - GL_TEXTURE0;
    if (unit < 0 || unit >= layerTextureUnits) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    setCurrentTexCoord(unit, v[0], v[1]);
}

void APIENTRY glActiveTextureARB(GLenum texture)
{
    const int unit = static_cast<int>(texture) - GL_TEXTURE0;
    if (unit < 0 || unit >= layerTextureUnits) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    if (state().texture.activeUnit == unit) return;
    flushVertices();
    state().texture.activeUnit = unit;
    gles.activeTexture(texture);
}

void APIENTRY glMatrixMode(GLenum mode)
{
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    state().transform.matrixMode = mode;
}

void APIENTRY glLoadIdentity() { topMatrix() = identityMatrix(); }
void APIENTRY glLoadMatrixf(const GLfloat* m) { std::copy(m, m + 16, topMatrix().begin()); }

void APIENTRY glMultMatrixf(const GLfloat* m)
{
    Matrix4 factor;
    std::copy(m, m + 16, factor.begin());
    Matrix4& top = topMatrix();
    top = multiplyMatrices(top, factor);
}

void APIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z) { translateMatrix(topMatrix(), x, y, z); }
void APIENTRY glScalef(GLfloat x, GLfloat y, GLfloat z) { scaleMatrix(topMatrix(), x, y, z); }
void APIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { rotateMatrix(topMatrix(), angle, x, y, z); }

void APIENTRY glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearValue, GLdouble farValue)
{
    orthoMatrix(topMatrix(), static_cast<float>(left), static_cast<float>(right), static_cast<float>(bottom),
                static_cast<float>(top), static_cast<float>(nearValue), static_cast<float>(farValue));
}

void APIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    perspectiveMatrix(topMatrix(), fovy, aspect, zNear, zFar);
}

void APIENTRY gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                        GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ)
{
    lookAtMatrix(topMatrix(), eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ);
}

void APIENTRY glPushMatrix()
{
    std::vector<Matrix4>& stack = currentStack();
    const std::size_t depth = state().transform.matrixMode == GL_PROJECTION ? layerProjectionDepth : layerModelViewDepth;
    if (stack.size() >= depth) {
        layerError(GL_STACK_OVERFLOW);
        return;
    }
    stack.push_back(stack.back());
}

void APIENTRY glPopMatrix()
{
    std::vector<Matrix4>& stack = currentStack();
    if (stack.size() <= 1) {
        layerError(GL_STACK_UNDERFLOW);
        return;
    }
    flushVertices();
    stack.pop_back();
    matricesChanged();
}

void APIENTRY glGetFloatv(GLenum name, GLfloat* values)
{
    switch (name) {
    case GL_MODELVIEW_MATRIX: std::copy(layer.modelView.back().begin(), layer.modelView.back().end(), values); break;
    case GL_PROJECTION_MATRIX: std::copy(layer.projection.back().begin(), layer.projection.back().end(), values); break;
    default: layerError(GL_INVALID_ENUM); break;
    }
}

void APIENTRY glGetIntegerv(GLenum name, GLint* values)
{
    switch (name) {
    case GL_VIEWPORT: std::copy(state().viewport.rectangle.begin(), state().viewport.rectangle.end(), values); break;
    case GL_UNPACK_ALIGNMENT: *values = layer.client.unpackAlignment; break;
    case GL_PACK_ALIGNMENT: *values = layer.client.packAlignment; break;
    default: gles.getIntegerv(name, values); break;
    }
}

GLenum APIENTRY glGetError()
{
    const GLenum own = layer.error;
    layer.error = GL_NO_ERROR;
    const GLenum driver = gles.getError();
    return own != GL_NO_ERROR ? own : driver;
}

void APIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flushVertices();
    state().viewport.rectangle = {x, y, width, height};
    gles.viewport(x, y, width, height);
}

void APIENTRY glClear(GLbitfield mask)
{
    flushVertices();
    syncDrawingState();   // the masks
    gles.clear(mask);
}

void APIENTRY glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    state().colorBuffer.clear = {r, g, b, a};
    gles.clearColor(r, g, b, a);
}

void APIENTRY glClearDepth(GLdouble depth)
{
    state().depth.clear = static_cast<float>(depth);
    gles.clearDepthf(static_cast<float>(depth));
}

void APIENTRY glClearStencil(GLint value)
{
    state().stencil.clear = value;
    gles.clearStencil(value);
}

void APIENTRY glBlendFunc(GLenum source, GLenum destination)
{
    if (state().colorBuffer.blendSource == source && state().colorBuffer.blendDestination == destination) return;
    flushVertices();
    state().colorBuffer.blendSource = source;
    state().colorBuffer.blendDestination = destination;
}

void APIENTRY glDepthFunc(GLenum function)
{
    if (state().depth.func == function) return;
    flushVertices();
    state().depth.func = function;
}

void APIENTRY glDepthMask(GLboolean on)
{
    if (state().depth.mask == (on != GL_FALSE)) return;
    flushVertices();
    state().depth.mask = on != GL_FALSE;
}

void APIENTRY glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a)
{
    const std::array<bool, 4> mask{r != GL_FALSE, g != GL_FALSE, b != GL_FALSE, a != GL_FALSE};
    if (state().colorBuffer.mask == mask) return;
    flushVertices();
    state().colorBuffer.mask = mask;
}

void APIENTRY glCullFace(GLenum mode)
{
    if (state().polygon.cullMode == mode) return;
    flushVertices();
    state().polygon.cullMode = mode;
}

void APIENTRY glPolygonMode(GLenum face, GLenum mode)
{
    if (face != GL_FRONT_AND_BACK || (mode != GL_FILL && mode != GL_LINE)) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    if (state().polygon.mode == mode) return;
    flushVertices();
    state().polygon.mode = mode;
}

void APIENTRY glShadeModel(GLenum mode)
{
    if (state().lighting.shadeModel == mode) return;
    flushVertices();
    state().lighting.shadeModel = mode;
}

void APIENTRY glStencilFunc(GLenum function, GLint reference, GLuint mask)
{
    flushVertices();
    state().stencil.func = function;
    state().stencil.reference = reference;
    state().stencil.valueMask = mask;
    gles.stencilFunc(function, reference, mask);
}

void APIENTRY glStencilOp(GLenum fail, GLenum depthFail, GLenum pass)
{
    flushVertices();
    state().stencil.fail = fail;
    state().stencil.depthFail = depthFail;
    state().stencil.pass = pass;
    gles.stencilOp(fail, depthFail, pass);
}

void APIENTRY glHint(GLenum target, GLenum mode)
{
    if (target == GL_PERSPECTIVE_CORRECTION_HINT) state().hints.perspective = mode;
    if (target == GL_FOG_HINT) state().hints.fog = mode;
}

void APIENTRY glLightfv(GLenum light, GLenum name, const GLfloat* values)
{
    LayerLight* target = lightOf(light);
    if (!target) return;
    std::array<float, 4>* field = nullptr;
    std::array<float, 4> value = four(values);
    switch (name) {
    case GL_AMBIENT: field = &target->ambient; break;
    case GL_DIFFUSE: field = &target->diffuse; break;
    case GL_SPECULAR: field = &target->specular; break;
    // In eye coordinates, through the model-view current now.
    case GL_POSITION:
        field = &target->position;
        value = transformPoint(layer.modelView.back(), value);
        break;
    default: layerError(GL_INVALID_ENUM); return;
    }
    if (*field == value) return;
    flushVertices();
    *field = value;
    lightingChanged();
}

void APIENTRY glLightModeli(GLenum name, GLint value)
{
    if (name != GL_LIGHT_MODEL_LOCAL_VIEWER) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    flushVertices();
    state().lighting.localViewer = value != 0;
}

void APIENTRY glMaterialfv(GLenum face, GLenum name, const GLfloat* values)
{
    // Without two-sided lighting the front material lights both sides; the back one is unused.
    if (face == GL_BACK) return;
    LayerMaterial& m = state().lighting.material;
    LayerMaterial changed = m;
    switch (name) {
    case GL_AMBIENT: changed.ambient = four(values); break;
    case GL_DIFFUSE: changed.diffuse = four(values); break;
    case GL_SPECULAR: changed.specular = four(values); break;
    case GL_EMISSION: changed.emission = four(values); break;
    case GL_SHININESS: changed.shininess = std::clamp(values[0], 0.0f, 128.0f); break;
    default: layerError(GL_INVALID_ENUM); return;
    }
    if (changed.ambient == m.ambient && changed.diffuse == m.diffuse && changed.specular == m.specular &&
        changed.emission == m.emission && changed.shininess == m.shininess)
        return;
    flushVertices();
    m = changed;
    lightingChanged();
}

void APIENTRY glMaterialf(GLenum face, GLenum name, GLfloat value) { glMaterialfv(face, name, &value); }

void APIENTRY glFogi(GLenum name, GLint value)
{
    if (name != GL_FOG_MODE || value != GL_LINEAR) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    flushVertices();
    state().fog.mode = value;
}

void APIENTRY glFogf(GLenum name, GLfloat value)
{
    flushVertices();
    switch (name) {
    case GL_FOG_START: state().fog.start = value; break;
    case GL_FOG_END: state().fog.end = value; break;
    case GL_FOG_DENSITY: state().fog.density = value; break;
    default: layerError(GL_INVALID_ENUM); return;
    }
    otherUniformsChanged();
}

void APIENTRY glFogfv(GLenum name, const GLfloat* values)
{
    if (name != GL_FOG_COLOR) {
        glFogf(name, values[0]);
        return;
    }
    flushVertices();
    state().fog.color = four(values);
    otherUniformsChanged();
}

void APIENTRY glTexGeni(GLenum coordinate, GLenum name, GLint mode)
{
    if ((coordinate != GL_S && coordinate != GL_T) || name != GL_TEXTURE_GEN_MODE || mode != GL_SPHERE_MAP) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    flushVertices();
    (coordinate == GL_S ? activeUnit().modeS : activeUnit().modeT) = mode;
}

void APIENTRY glTexEnvi(GLenum target, GLenum name, GLint mode)
{
    if (target != GL_TEXTURE_ENV || name != GL_TEXTURE_ENV_MODE || mode != GL_MODULATE) {
        layerError(GL_INVALID_ENUM);
        return;
    }
    activeUnit().environment = mode;
}

void APIENTRY glGenTextures(GLsizei count, GLuint* names) { gles.genTextures(count, names); }

void APIENTRY glBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D && activeUnit().bound == texture) return;
    flushVertices();
    activeUnit().bound = texture;
    gles.bindTexture(target, texture);
}

void APIENTRY glTexParameteri(GLenum target, GLenum name, GLint value)
{
    flushVertices();
    gles.texParameteri(target, name, value);
}

void APIENTRY glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                           GLint border, GLenum format, GLenum type, const void* pixels)
{
    flushVertices();
    uploadTexture(target, level, internalFormat, width, height, border, format, type, pixels);
}

void APIENTRY glPixelStorei(GLenum name, GLint value)
{
    if (name == GL_PACK_ALIGNMENT) layer.client.packAlignment = value;
    if (name == GL_UNPACK_ALIGNMENT) layer.client.unpackAlignment = value;
    gles.pixelStorei(name, value);
}

void APIENTRY glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    flushVertices();
    gles.readPixels(x, y, width, height, format, type, pixels);
}

void APIENTRY glRasterPos2i(GLint x, GLint y) { setRasterPosition(static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f); }

void APIENTRY glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels)
{
    flushVertices();
    drawPixels(width, height, format, type, pixels);
}

void APIENTRY glPushAttrib(GLbitfield mask)
{
    flushVertices();
    layer.attributeStack.emplace_back(mask, layer.attributes);
}

void APIENTRY glPopAttrib()
{
    if (layer.attributeStack.empty()) {
        layerError(GL_STACK_UNDERFLOW);
        return;
    }
    flushVertices();
    const auto& [mask, saved] = layer.attributeStack.back();
    restoreAttributes(mask, saved);
    layer.attributeStack.pop_back();
    applyDriverState();
    lightingChanged();
    otherUniformsChanged();
}

void APIENTRY glPushClientAttrib(GLbitfield) { layer.clientStack.push_back(layer.client); }

void APIENTRY glPopClientAttrib()
{
    if (layer.clientStack.empty()) {
        layerError(GL_STACK_UNDERFLOW);
        return;
    }
    layer.client = layer.clientStack.back();
    layer.clientStack.pop_back();
    gles.pixelStorei(GL_PACK_ALIGNMENT, layer.client.packAlignment);
    gles.pixelStorei(GL_UNPACK_ALIGNMENT, layer.client.unpackAlignment);
}

GLuint APIENTRY glGenLists(GLsizei range) { return generateLists(range); }
void APIENTRY glDeleteLists(GLuint list, GLsizei range) { deleteLists(list, range); }
void APIENTRY glNewList(GLuint list, GLenum mode) { startList(list, mode); }
void APIENTRY glEndList() { finishList(); }
void APIENTRY glCallList(GLuint list) { callList(list); }

void APIENTRY glFlush()
{
    flushVertices();
    gles.flush();
}

void APIENTRY glFinish()
{
    flushVertices();
    gles.finish();
}

// Framebuffer and buffer objects, which ES has as GL has them. Each call that could change
// what the gathered vertices draw into, or what is read of them, draws them first.
void APIENTRY glGenFramebuffers(GLsizei count, GLuint* names) { gles.genFramebuffers(count, names); }

void APIENTRY glBindFramebuffer(GLenum target, GLuint framebuffer)
{
    flushVertices();
    gles.bindFramebuffer(target, framebuffer);
}

void APIENTRY glGenRenderbuffers(GLsizei count, GLuint* names) { gles.genRenderbuffers(count, names); }

void APIENTRY glBindRenderbuffer(GLenum target, GLuint renderbuffer)
{
    flushVertices();
    gles.bindRenderbuffer(target, renderbuffer);
}

void APIENTRY glRenderbufferStorage(GLenum target, GLenum format, GLsizei width, GLsizei height)
{
    flushVertices();
    gles.renderbufferStorage(target, format, width, height);
}

void APIENTRY glFramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbufferTarget, GLuint renderbuffer)
{
    flushVertices();
    gles.framebufferRenderbuffer(target, attachment, renderbufferTarget, renderbuffer);
}

GLenum APIENTRY glCheckFramebufferStatus(GLenum target) { return gles.checkFramebufferStatus(target); }

void APIENTRY glBlitFramebuffer(GLint fromX0, GLint fromY0, GLint fromX1, GLint fromY1, GLint toX0, GLint toY0,
                                GLint toX1, GLint toY1, GLbitfield mask, GLenum filter)
{
    flushVertices();
    gles.blitFramebuffer(fromX0, fromY0, fromX1, fromY1, toX0, toY0, toX1, toY1, mask, filter);
}

void APIENTRY glGenBuffers(GLsizei count, GLuint* names) { gles.genBuffers(count, names); }

void APIENTRY glDeleteBuffers(GLsizei count, const GLuint* names)
{
    flushVertices();
    gles.deleteBuffers(count, names);
}

void APIENTRY glBindBuffer(GLenum target, GLuint buffer)
{
    flushVertices();
    gles.bindBuffer(target, buffer);
}

void APIENTRY glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    flushVertices();
    gles.bufferData(target, size, data, usage);
}

void* APIENTRY glMapBuffer(GLenum target, GLenum access)
{
    flushVertices();
    return mapWholeBuffer(target, access);
}

GLboolean APIENTRY glUnmapBuffer(GLenum target)
{
    flushVertices();
    return gles.unmapBuffer ? gles.unmapBuffer(target) : GL_FALSE;
}

} // extern "C"

bool fixedGlBind(FixedGlLookup lookup, int width, int height, const char*& missing)
{
    if (!fetchGlesDriver(lookup, missing)) return false;
    resetLayerState(width, height);
    startStreamBuffer();
    startPixelOps();
    applyDriverState();
    matricesChanged();
    lightingChanged();
    otherUniformsChanged();
    return true;
}

void* fixedGlProc(const char* name)
{
    struct Entry {
        const char* name;
        void* proc;
    };
#define KESU_LAYER_ENTRY(field, Name, Return, Parameters, group) {"gl" #Name, reinterpret_cast<void*>(gl##Name)},
    static const Entry own[] = {KESU_GL_PROGRAM_CALLS(KESU_LAYER_ENTRY)};
#undef KESU_LAYER_ENTRY
    for (const Entry& entry : own) {
        if (std::strcmp(entry.name, name) == 0) return entry.proc;
    }
    return nullptr;
}
