#include "scene3ds/matrix4.h"

#include <cmath>
#include <cstring>

void identityMatrix(float out[16])
{
    for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void multiplyMatrices(const float a[16], const float b[16], float out[16])
{
    float product[16];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[4 * k + row] * b[4 * column + k];
            product[4 * column + row] = sum;
        }
    }
    std::memcpy(out, product, sizeof product);
}

void rotationMatrix(float degrees, float x, float y, float z, float out[16])
{
    identityMatrix(out);
    // The angle goes to radians in double precision, as the GL implementation does.
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    const float s = static_cast<float>(std::sin(radians));
    const float c = static_cast<float>(std::cos(radians));
    const float magnitude = std::sqrt(x * x + y * y + z * z);
    if (magnitude <= 1.0e-4f) return;
    x /= magnitude;
    y /= magnitude;
    z /= magnitude;
    const float oneMinusC = 1.0f - c;
    out[0] = oneMinusC * x * x + c;
    out[4] = oneMinusC * x * y - z * s;
    out[8] = oneMinusC * z * x + y * s;
    out[1] = oneMinusC * x * y + z * s;
    out[5] = oneMinusC * y * y + c;
    out[9] = oneMinusC * y * z - x * s;
    out[2] = oneMinusC * z * x - y * s;
    out[6] = oneMinusC * y * z + x * s;
    out[10] = oneMinusC * z * z + c;
}

void scaleMatrix(float x, float y, float z, float out[16])
{
    identityMatrix(out);
    out[0] = x;
    out[5] = y;
    out[10] = z;
}

void translationMatrix(float x, float y, float z, float out[16])
{
    identityMatrix(out);
    out[12] = x;
    out[13] = y;
    out[14] = z;
}
