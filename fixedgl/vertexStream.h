// Vertices as GL 1.1 sends them: glBegin/glEnd blocks of triangles and quads, each vertex with
// the current normal, colour and texture coordinates, and display lists recorded from the same
// calls and replayed from buffers of their own. Quads are split so that flat shading takes the
// colour of each quad's last vertex, as the fixed pipeline does; under glPolygonMode GL_LINE
// each polygon's edges are drawn as lines, culled as its face would be. Consecutive blocks
// drawn with the same state go to the driver as one draw, at the next call that changes state.
#pragma once

#include <GL/gl.h>

// The buffers the stream draws from; with the ES 3 context current.
void startVertexStream();

// A vertex with the current attributes; x, y, z, w in object coordinates.
void emitVertex(float x, float y, float z, float w);
// The current attributes, or, while a list is being recorded, the list's.
void setCurrentNormal(float x, float y, float z);
void setCurrentColor(float r, float g, float b, float a);
void setCurrentTexCoord(int unit, float s, float t);

void beginPrimitive(GLenum mode);
void endPrimitive();

// What is gathered goes to the driver now: before any change of the state it is drawn with,
// and before anything reads the picture.
void flushVertices();

GLuint generateLists(GLsizei range);
void deleteLists(GLuint first, GLsizei range);
void startList(GLuint list, GLenum mode);
void finishList();
void callList(GLuint list);
bool recordingList();
