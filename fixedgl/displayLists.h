// Display lists: the triangles of glBegin/glEnd blocks recorded between glNewList and glEndList
// into a buffer of the list's own, replayed under whatever matrices and state are current,
// taking from the current attributes what the list did not set and leaving current what it
// did, as GL does. Its state is the record's (layer.lists). Needs the ES 3 context.
#pragma once

#include <GL/gl.h>

GLuint generateLists(GLsizei range);
void deleteLists(GLuint first, GLsizei range);
void startList(GLuint list, GLenum mode);
void finishList();
void callList(GLuint list);
