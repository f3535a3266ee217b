#include "fixedgl/matrixMath.h"

#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

float& at(Matrix4& m, int row, int column) { return m[static_cast<std::size_t>(4 * column + row)]; }
float at(const Matrix4& m, int row, int column) { return m[static_cast<std::size_t>(4 * column + row)]; }

// GLU's own small helpers, in the precision it keeps its vectors in.
void normalize(float v[3])
{
    const float length = static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    if (length == 0.0f) return;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

void cross(const float a[3], const float b[3], float result[3])
{
    result[0] = a[1] * b[2] - a[2] * b[1];
    result[1] = a[2] * b[0] - a[0] * b[2];
    result[2] = a[0] * b[1] - a[1] * b[0];
}

} // namespace

Matrix4 identityMatrix() { return {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f}; }

Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b)
{
    Matrix4 product{};
    for (int i = 0; i < 4; ++i) {
        const float ai0 = at(a, i, 0), ai1 = at(a, i, 1), ai2 = at(a, i, 2), ai3 = at(a, i, 3);
        for (int j = 0; j < 4; ++j)
            at(product, i, j) = ai0 * at(b, 0, j) + ai1 * at(b, 1, j) + ai2 * at(b, 2, j) + ai3 * at(b, 3, j);
    }
    return product;
}

void translateMatrix(Matrix4& m, float x, float y, float z)
{
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
    m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
}

void scaleMatrix(Matrix4& m, float x, float y, float z)
{
    for (int row = 0; row < 4; ++row) {
        m[static_cast<std::size_t>(row)] *= x;
        m[static_cast<std::size_t>(4 + row)] *= y;
        m[static_cast<std::size_t>(8 + row)] *= z;
    }
}

void rotateMatrix(Matrix4& m, float degrees, float x, float y, float z)
{
    const float s = std::sin(static_cast<float>(degrees * pi / 180.0));
    const float c = std::cos(static_cast<float>(degrees * pi / 180.0));
    Matrix4 r = identityMatrix();
    // A rotation about one axis is written out directly, as GL does, so that its zeros and
    // ones are exact.
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 1, 1) = c;
        at(r, 0, 1) = z < 0.0f ? s : -s;
        at(r, 1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(r, 0, 0) = c;
        at(r, 2, 2) = c;
        at(r, 0, 2) = y < 0.0f ? -s : s;
        at(r, 2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(r, 1, 1) = c;
        at(r, 2, 2) = c;
        at(r, 1, 2) = x < 0.0f ? s : -s;
        at(r, 2, 1) = x < 0.0f ? -s : s;
    } else {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) return;
        x /= length;
        y /= length;
        z /= length;
        const float xx = x * x, yy = y * y, zz = z * z, xy = x * y, yz = y * z, zx = z * x;
        const float xs = x * s, ys = y * s, zs = z * s;
        const float oneMinusC = 1.0f - c;
        at(r, 0, 0) = (oneMinusC * xx) + c;
        at(r, 0, 1) = (oneMinusC * xy) - zs;
        at(r, 0, 2) = (oneMinusC * zx) + ys;
        at(r, 1, 0) = (oneMinusC * xy) + zs;
        at(r, 1, 1) = (oneMinusC * yy) + c;
        at(r, 1, 2) = (oneMinusC * yz) - xs;
        at(r, 2, 0) = (oneMinusC * zx) - ys;
        at(r, 2, 1) = (oneMinusC * yz) + xs;
        at(r, 2, 2) = (oneMinusC * zz) + c;
    }
    m = multiplyMatrices(m, r);
}

void orthoMatrix(Matrix4& m, float left, float right, float bottom, float top, float nearValue, float farValue)
{
    Matrix4 o = identityMatrix();
    at(o, 0, 0) = 2.0f / (right - left);
    at(o, 0, 3) = -(right + left) / (right - left);
    at(o, 1, 1) = 2.0f / (top - bottom);
    at(o, 1, 3) = -(top + bottom) / (top - bottom);
    at(o, 2, 2) = -2.0f / (farValue - nearValue);
    at(o, 2, 3) = -(farValue + nearValue) / (farValue - nearValue);
    m = multiplyMatrices(m, o);
}

void perspectiveMatrix(Matrix4& m, double fovy, double aspect, double zNear, double zFar)
{
    const double radians = fovy / 2 * pi / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    Matrix4 p = identityMatrix();
    at(p, 0, 0) = static_cast<float>(cotangent / aspect);
    at(p, 1, 1) = static_cast<float>(cotangent);
    at(p, 2, 2) = static_cast<float>(-(zFar + zNear) / deltaZ);
    at(p, 3, 2) = -1.0f;
    at(p, 2, 3) = static_cast<float>(-2 * zNear * zFar / deltaZ);
    at(p, 3, 3) = 0.0f;
    m = multiplyMatrices(m, p);
}

void lookAtMatrix(Matrix4& m, double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                  double upX, double upY, double upZ)
{
    float forward[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                        static_cast<float>(centerZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    float side[3];
    normalize(forward);
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    Matrix4 view = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        at(view, 0, i) = side[i];
        at(view, 1, i) = up[i];
        at(view, 2, i) = -forward[i];
    }
    m = multiplyMatrices(m, view);
    translateMatrix(m, static_cast<float>(-eyeX), static_cast<float>(-eyeY), static_cast<float>(-eyeZ));
}

std::array<float, 4> transformPoint(const Matrix4& m, const std::array<float, 4>& point)
{
    std::array<float, 4> result{};
    for (int row = 0; row < 4; ++row) {
        result[static_cast<std::size_t>(row)] = at(m, row, 0) * point[0] + at(m, row, 1) * point[1] +
                                                at(m, row, 2) * point[2] + at(m, row, 3) * point[3];
    }
    return result;
}

std::array<float, 9> normalMatrix(const Matrix4& mv)
{
    const float a = at(mv, 0, 0), b = at(mv, 0, 1), c = at(mv, 0, 2);
    const float d = at(mv, 1, 0), e = at(mv, 1, 1), f = at(mv, 1, 2);
    const float g = at(mv, 2, 0), h = at(mv, 2, 1), i = at(mv, 2, 2);
    // Cofactor c_rc of row r, column c; the inverse transpose is the cofactors over the determinant.
    const float c00 = e * i - f * h, c01 = f * g - d * i, c02 = d * h - e * g;
    const float c10 = c * h - b * i, c11 = a * i - c * g, c12 = b * g - a * h;
    const float c20 = b * f - c * e, c21 = c * d - a * f, c22 = a * e - b * d;
    const float determinant = a * c00 + b * c01 + c * c02;
    if (std::fabs(determinant) < 1e-25f) return {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    const float inverse = 1.0f / determinant;
    return {c00 * inverse, c10 * inverse, c20 * inverse, c01 * inverse, c11 * inverse,
            c21 * inverse, c02 * inverse, c12 * inverse, c22 * inverse};
}
