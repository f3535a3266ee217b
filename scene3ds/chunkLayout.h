// Which chunks of the .3ds format hold sub-chunks, and how long the fixed part before them
// is: the reader's knowledge of the file's shape, in one table beside the chunk ids, for the
// reader's walk and for the tools that take a file apart into its chunk tree.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of fixed data before the sub-chunks of a chunk that holds sub-chunks (a named
// object's name, a light's position, a camera's 32 bytes, a face array's faces), read from
// the start of its data; -1 for a chunk that holds none, or whose fixed part does not fit in
// size bytes.
long subChunkStart(std::uint16_t id, const std::uint8_t* data, std::size_t size);
