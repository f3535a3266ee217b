// The fixed pipeline's matrix arithmetic on the CPU, in single precision and in the order the
// system's GL and GLU form their products, so that the matrices the layer hands its shaders
// (and glGetFloatv returns) are the ones GL 1.1 would hold. Column-major: element 4c + r is
// row r, column c.
#pragma once

#include <array>

using Matrix4 = std::array<float, 16>;

Matrix4 identityMatrix();
// a x b.
Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b);

// The current matrix times a translation, a scale or a rotation of `degrees` about (x, y, z).
void translateMatrix(Matrix4& m, float x, float y, float z);
void scaleMatrix(Matrix4& m, float x, float y, float z);
void rotateMatrix(Matrix4& m, float degrees, float x, float y, float z);
// glOrtho's and gluPerspective's matrices, multiplied in; gluLookAt's view, multiplied in.
void orthoMatrix(Matrix4& m, float left, float right, float bottom, float top, float nearValue, float farValue);
void perspectiveMatrix(Matrix4& m, double fovy, double aspect, double zNear, double zFar);
void lookAtMatrix(Matrix4& m, double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                  double upX, double upY, double upZ);

// (x, y, z, w) transformed by m.
std::array<float, 4> transformPoint(const Matrix4& m, const std::array<float, 4>& point);

// The matrix that takes normals into eye coordinates: the inverse transpose of the upper left
// 3 x 3 of the model-view, column-major; the identity when that is singular.
std::array<float, 9> normalMatrix(const Matrix4& modelView);
