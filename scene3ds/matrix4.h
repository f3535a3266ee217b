// Column-major 4 x 4 float matrices (element 4c + r is row r, column c) built the way the
// GL fixed-function calls build them, so load-time products need no GL context.
#pragma once

void identityMatrix(float out[16]);
// out = a . b, as glMultMatrixf(b) does to a current matrix a; out may alias a or b.
void multiplyMatrices(const float a[16], const float b[16], float out[16]);
// glRotatef's matrix: degrees about the axis, normalised first; an axis shorter than
// 1e-4 gives the identity, as the GL implementation does.
void rotationMatrix(float degrees, float x, float y, float z, float out[16]);
void scaleMatrix(float x, float y, float z, float out[16]);
void translationMatrix(float x, float y, float z, float out[16]);
