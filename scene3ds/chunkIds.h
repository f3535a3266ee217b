// Chunk ids of the .3ds format: the subset the scene reader acts on, plus the common
// chunks it passes over and the writer produces, so both sides share one table.
#pragma once

#include <cstdint>

// Sub-chunks of colours, percentages and the file's top level.
constexpr std::uint16_t CHUNK_VERSION = 0x0002;            // file version, 32-bit
constexpr std::uint16_t CHUNK_COLOR_FLOAT = 0x0010;        // colour: r, g, b floats
constexpr std::uint16_t CHUNK_COLOR_24 = 0x0011;           // colour: r, g, b bytes, 255 is full
constexpr std::uint16_t CHUNK_LIN_COLOR_24 = 0x0012;       // gamma-corrected colour bytes (passed over)
constexpr std::uint16_t CHUNK_LIN_COLOR_FLOAT = 0x0013;    // gamma-corrected colour floats (passed over)
constexpr std::uint16_t CHUNK_PERCENT_INT = 0x0030;        // percentage: signed 16-bit integer
constexpr std::uint16_t CHUNK_PERCENT_FLOAT = 0x0031;      // percentage: float
constexpr std::uint16_t CHUNK_MASTER_SCALE = 0x0100;       // editor unit scale (passed over)

// Editor data: objects, lights, camera.
constexpr std::uint16_t CHUNK_MAIN = 0x4D4D;               // the whole file
constexpr std::uint16_t CHUNK_EDITOR = 0x3D3D;             // editor data: materials and named objects
constexpr std::uint16_t CHUNK_MESH_VERSION = 0x3D3E;       // editor version (passed over)
constexpr std::uint16_t CHUNK_NAMED_OBJECT = 0x4000;       // object name, then one mesh, light or camera
constexpr std::uint16_t CHUNK_TRIANGLE_MESH = 0x4100;      // mesh sub-chunks only
constexpr std::uint16_t CHUNK_POINT_ARRAY = 0x4110;        // vertex count, then x, y, z floats
constexpr std::uint16_t CHUNK_FACE_ARRAY = 0x4120;         // face count, then a, b, c, flags; then its sub-chunks
constexpr std::uint16_t CHUNK_MATERIAL_GROUP = 0x4130;     // material name, then the faces that use it
constexpr std::uint16_t CHUNK_TEX_VERTS = 0x4140;          // mapping count, then u, v floats
constexpr std::uint16_t CHUNK_SMOOTH_GROUP = 0x4150;       // one 32-bit smoothing mask per face (passed over)
constexpr std::uint16_t CHUNK_LOCAL_AXES = 0x4160;         // X, Y, Z axes and origin, 12 floats
constexpr std::uint16_t CHUNK_OBJECT_COLOR = 0x4165;       // editor colour index (passed over)
constexpr std::uint16_t CHUNK_MAPPING_INFO = 0x4170;       // mapping projection (passed over)
constexpr std::uint16_t CHUNK_LIGHT = 0x4600;              // light position, then its colour and other sub-chunks
constexpr std::uint16_t CHUNK_SPOTLIGHT = 0x4610;          // spotlight target and cone (passed over)
constexpr std::uint16_t CHUNK_CAMERA = 0x4700;             // position, target, bank, lens: 32 bytes, then sub-chunks
constexpr std::uint16_t CHUNK_CAMERA_RANGES = 0x4720;      // near and far clipping distances

// Materials.
constexpr std::uint16_t CHUNK_MATERIAL = 0xAFFF;           // one material block
constexpr std::uint16_t CHUNK_MATERIAL_NAME = 0xA000;      // material name
constexpr std::uint16_t CHUNK_AMBIENT = 0xA010;            // ambient colour sub-chunk
constexpr std::uint16_t CHUNK_DIFFUSE = 0xA020;            // diffuse colour sub-chunk
constexpr std::uint16_t CHUNK_SPECULAR = 0xA030;           // specular colour sub-chunk
constexpr std::uint16_t CHUNK_SHININESS = 0xA040;          // shininess percentage sub-chunk
constexpr std::uint16_t CHUNK_TRANSPARENCY = 0xA050;       // transparency percentage sub-chunk
constexpr std::uint16_t CHUNK_TEXTURE_MAP = 0xA200;        // texture map: strength, then the file name chunk
constexpr std::uint16_t CHUNK_OPACITY_MAP = 0xA210;        // opacity map: strength, then the file name chunk
constexpr std::uint16_t CHUNK_MAP_FILE_NAME = 0xA300;      // map file name
constexpr std::uint16_t CHUNK_MAP_TILING = 0xA351;         // map tiling flags (passed over)

// Keyframer.
constexpr std::uint16_t CHUNK_KEYFRAMER = 0xB000;          // keyframer data: nodes and frame chunks
constexpr std::uint16_t CHUNK_AMBIENT_NODE = 0xB001;       // ambient light node (passed over)
constexpr std::uint16_t CHUNK_OBJECT_NODE = 0xB002;        // mesh object node
constexpr std::uint16_t CHUNK_CAMERA_NODE = 0xB003;        // camera node
constexpr std::uint16_t CHUNK_TARGET_NODE = 0xB004;        // camera target node
constexpr std::uint16_t CHUNK_LIGHT_NODE = 0xB005;         // omni light node
constexpr std::uint16_t CHUNK_SPOT_TARGET_NODE = 0xB006;   // spotlight target node (passed over)
constexpr std::uint16_t CHUNK_SPOT_NODE = 0xB007;          // spotlight node, read as a light node
constexpr std::uint16_t CHUNK_FRAME_SEGMENT = 0xB008;      // start and end frame, 32-bit each
constexpr std::uint16_t CHUNK_CURRENT_FRAME = 0xB009;      // current frame, 32-bit
constexpr std::uint16_t CHUNK_KEYFRAMER_HEADER = 0xB00A;   // revision, file name, animation length (passed over)
constexpr std::uint16_t CHUNK_NODE_HEADER = 0xB010;        // node name, two flag words, hierarchy value
constexpr std::uint16_t CHUNK_INSTANCE_NAME = 0xB011;      // a dummy's name, or which copy of an object a node is
constexpr std::uint16_t CHUNK_PIVOT = 0xB013;              // pivot point, 3 floats
constexpr std::uint16_t CHUNK_BOUNDING_BOX = 0xB014;       // dummy node bounds (passed over)
constexpr std::uint16_t CHUNK_POSITION_TRACK = 0xB020;     // vector track: position
constexpr std::uint16_t CHUNK_ROTATION_TRACK = 0xB021;     // rotation track: angle and axis per key
constexpr std::uint16_t CHUNK_SCALE_TRACK = 0xB022;        // vector track: scale
constexpr std::uint16_t CHUNK_FOV_TRACK = 0xB023;          // scalar track: field of view in degrees
constexpr std::uint16_t CHUNK_ROLL_TRACK = 0xB024;         // scalar track: roll in degrees
constexpr std::uint16_t CHUNK_COLOR_TRACK = 0xB025;        // vector track: light colour
constexpr std::uint16_t CHUNK_NODE_ID = 0xB030;            // node id, 16-bit

// Key flags: each set bit among these five adds one float after the key's flags word,
// in this order, before the key's values.
constexpr std::uint16_t KEY_TENSION = 0x01;
constexpr std::uint16_t KEY_CONTINUITY = 0x02;
constexpr std::uint16_t KEY_BIAS = 0x04;
constexpr std::uint16_t KEY_EASE_TO = 0x08;
constexpr std::uint16_t KEY_EASE_FROM = 0x10;
