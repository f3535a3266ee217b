#include "render/mesh.h"

#include <cassert>
#include <cmath>
#include <cstring>

Mesh::Mesh() : Mesh(1) {}

Mesh::Mesh(std::int16_t frames)
{
    assert(frames >= 1);
    frameCount = frames;
    positions = new float*[frameCount]();
    vertexNormals = new float*[frameCount]();
    faceNormals = new float*[frameCount]();
}

Mesh::~Mesh()
{
    releaseArrays();
}

void Mesh::releaseArrays()
{
    for (int f = 0; f < frameCount; ++f) {
        delete[] positions[f];
        delete[] vertexNormals[f];
        delete[] faceNormals[f];
    }
    delete[] positions;
    delete[] vertexNormals;
    delete[] faceNormals;
    delete[] texCoords;
    delete[] faces;
    delete[] texFaces;
    positions = vertexNormals = faceNormals = nullptr;
    texCoords = nullptr;
    faces = texFaces = nullptr;
}

void Mesh::allocVertices(std::uint16_t newVertexCount, std::uint16_t newTexCoordCount)
{
    markChanged();
    if (newVertexCount != 0) {
        vertexCount = newVertexCount;
        for (int f = 0; f < frameCount; ++f) {
            delete[] positions[f];
            delete[] vertexNormals[f];
            positions[f] = new float[3 * vertexCount];
            vertexNormals[f] = new float[3 * vertexCount];
        }
    }
    if (newTexCoordCount != 0) {
        texCoordCount = newTexCoordCount;
        delete[] texCoords;
        texCoords = new float[3 * texCoordCount];
    }
}

void Mesh::allocFaces(std::uint16_t newFaceCount, std::uint16_t newTexFaceCount)
{
    markChanged();
    faceCount = newFaceCount;
    texFaceCount = newTexFaceCount;
    delete[] faces;
    delete[] texFaces;
    faces = new std::uint16_t[3 * faceCount];
    texFaces = new std::uint16_t[3 * texFaceCount];
    for (int f = 0; f < frameCount; ++f) {
        delete[] faceNormals[f];
        faceNormals[f] = new float[3 * faceCount];
    }
}

void Mesh::copyFrame(std::int8_t dst, std::int8_t src)
{
    if (src < 0 || dst < 0 || src >= frameCount || dst >= frameCount || src == dst) {
        return;
    }
    markChanged();
    const std::size_t vertexBytes = sizeof(float) * 3 * static_cast<std::size_t>(vertexCount);
    const std::size_t faceBytes = sizeof(float) * 3 * static_cast<std::size_t>(faceCount);
    if (vertexBytes != 0) {
        std::memcpy(positions[dst], positions[src], vertexBytes);
        std::memcpy(vertexNormals[dst], vertexNormals[src], vertexBytes);
    }
    if (faceBytes != 0) {
        std::memcpy(faceNormals[dst], faceNormals[src], faceBytes);
    }
}

void Mesh::computeFaceNormals(std::int8_t frame, float length)
{
    assert(frame >= 0 && frame < frameCount);
    markChanged();
    const float* p = positions[frame];
    float* normals = faceNormals[frame];
    for (int k = 0; k < faceCount; ++k) {
        const float* p0 = p + 3 * faces[3 * k];
        const float* p1 = p + 3 * faces[3 * k + 1];
        const float* p2 = p + 3 * faces[3 * k + 2];
        const float e1x = p1[0] - p0[0], e1y = p1[1] - p0[1], e1z = p1[2] - p0[2];
        const float e2x = p2[0] - p0[0], e2y = p2[1] - p0[1], e2z = p2[2] - p0[2];
        const float nx = e1y * e2z - e1z * e2y;
        const float ny = e1z * e2x - e1x * e2z;
        const float nz = e1x * e2y - e1y * e2x;
        const float magnitude = std::sqrt(nx * nx + ny * ny + nz * nz);
        // A face of zero area has no direction; a zero normal keeps it dark and finite.
        const float factor = magnitude > 0.0f ? length / magnitude : 0.0f;
        normals[3 * k] = nx * factor;
        normals[3 * k + 1] = ny * factor;
        normals[3 * k + 2] = nz * factor;
    }
}

void Mesh::computeVertexNormals(std::int8_t frame, std::int8_t divisor)
{
    assert(frame >= 0 && frame < frameCount);
    assert(divisor != 0);
    markChanged();
    float* normals = vertexNormals[frame];
    const float* perFace = faceNormals[frame];
    std::memset(normals, 0, sizeof(float) * 3 * static_cast<std::size_t>(vertexCount));
    for (int k = 0; k < faceCount; ++k) {
        for (int corner = 0; corner < 3; ++corner) {
            float* n = normals + 3 * faces[3 * k + corner];
            n[0] += perFace[3 * k];
            n[1] += perFace[3 * k + 1];
            n[2] += perFace[3 * k + 2];
        }
    }
    const float scale = static_cast<float>(divisor);
    for (int i = 0; i < 3 * vertexCount; ++i) {
        normals[i] /= scale;
    }
}

void Mesh::wobbleMesh(std::int8_t dstFrame, std::int8_t srcFrame, float amplitude, float wavelength, float phaseX,
                      float phaseY, float phaseZ)
{
    assert(dstFrame >= 0 && dstFrame < frameCount && srcFrame >= 0 && srcFrame < frameCount);
    markChanged();
    const float* source = positions[srcFrame];
    float* target = positions[dstFrame];
    for (int i = 0; i < vertexCount; ++i) {
        const float x = source[3 * i];
        const float y = source[3 * i + 1];
        const float z = source[3 * i + 2];
        // Arguments in single precision with the program's 3.141592; the sines and the
        // factor in double, rounded to float once.
        const double sx = std::sin(static_cast<double>((phaseX + x) * 2.0f * 3.141592f / wavelength));
        const double sy = std::sin(static_cast<double>((phaseY + y) * 2.0f * 3.141592f / wavelength));
        const double sz = std::sin(static_cast<double>((phaseZ + z) * 2.0f * 3.141592f / wavelength));
        const float k = static_cast<float>((sx + sy + sz) / 3.0 * amplitude + 1.0);
        target[3 * i] = k * x;
        target[3 * i + 1] = k * y;
        target[3 * i + 2] = k * z;
    }
}
