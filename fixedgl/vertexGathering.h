// Vertices as GL 1.1 sends them: glBegin/glEnd blocks of triangles and quads, each vertex with
// the current normal, colour and texture coordinates, or, while a display list is recorded,
// the list's. Quads are split so that flat shading takes the colour of each quad's last
// vertex, as the fixed pipeline does; under glPolygonMode GL_LINE each polygon's edges are
// drawn as lines, culled as its face would be. Consecutive blocks drawn with the same state go
// to the driver as one draw, at the next call that changes state. Its state is the record's
// (layer.gathering).
#pragma once

#include "fixedgl/layerState.h"

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

// A block's primitives appended to out: triangles as they are, quads as two triangles that
// both end with the quad's last vertex, or with `outlines` every polygon's edges as lines.
void assemblePrimitives(GLenum mode, const std::vector<LayerVertex>& vertices, bool outlines, std::vector<LayerVertex>& out);

// The current normal, colour and texture coordinates; and those of values that `which` names
// (SpecifiedBits) made current.
VertexAttributes currentVertexAttributes();
void makeVertexAttributesCurrent(const VertexAttributes& values, int which);
