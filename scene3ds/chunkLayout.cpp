#include "scene3ds/chunkLayout.h"

#include "scene3ds/chunkIds.h"

long subChunkStart(std::uint16_t id, const std::uint8_t* data, std::size_t size)
{
    switch (id) {
    case CHUNK_MAIN:
    case CHUNK_EDITOR:
    case CHUNK_TRIANGLE_MESH:
    case CHUNK_MATERIAL:
    case CHUNK_AMBIENT:
    case CHUNK_DIFFUSE:
    case CHUNK_SPECULAR:
    case CHUNK_SHININESS:
    case CHUNK_TRANSPARENCY:
    case CHUNK_TEXTURE_MAP:
    case CHUNK_OPACITY_MAP:
    case CHUNK_KEYFRAMER:
    case CHUNK_AMBIENT_NODE:
    case CHUNK_OBJECT_NODE:
    case CHUNK_CAMERA_NODE:
    case CHUNK_TARGET_NODE:
    case CHUNK_LIGHT_NODE:
    case CHUNK_SPOT_TARGET_NODE:
    case CHUNK_SPOT_NODE: return 0;
    case CHUNK_NAMED_OBJECT:
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == 0) return static_cast<long>(i + 1);
        }
        return -1;
    case CHUNK_LIGHT: return size >= 12 ? 12 : -1;
    case CHUNK_CAMERA: return size >= 32 ? 32 : -1;
    case CHUNK_FACE_ARRAY: {
        if (size < 2) return -1;
        const std::size_t faces = 2 + 8 * static_cast<std::size_t>(data[0] | (data[1] << 8));
        return faces <= size ? static_cast<long>(faces) : -1;
    }
    default: return -1;
    }
}

