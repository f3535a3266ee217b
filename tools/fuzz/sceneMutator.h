// Structure-aware edits of .3ds files: a file is parsed into its chunk tree, one to three
// edits rearrange whole chunks or rewrite the fields the scene binds by (node names,
// hierarchy values, node ids, counts, key values), and the tree is written back with
// consistent lengths, so that the result gets past the length checks to the binding, the
// matrices and playback. Shared by the scene fuzzer and the tests; needs no GL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace writer3ds {

// The kinds of edit, one of which is drawn per step.
enum SceneEdit {
    EDIT_MOVE,        // a chunk into another container, anywhere among its sub-chunks
    EDIT_DUPLICATE,   // a chunk copied next to itself
    EDIT_DROP,        // a chunk removed
    EDIT_SWAP,        // two siblings exchanged
    EDIT_GRAFT,       // a chunk of the donor file inserted into a container
    EDIT_NODE_NAME,   // a node's or instance's name: another object's, a dummy's, empty or long
    EDIT_HIERARCHY,   // a node header's hierarchy value
    EDIT_NODE_ID,     // a node id chunk's value
    EDIT_COUNT,       // a count that no longer matches its array
    EDIT_VALUE,       // a key, point or pivot float made extreme (zero, huge, infinite, not a number)
    SCENE_EDIT_KINDS
};

// One to three edits of bytes; donor (may be empty) supplies grafted chunks. Returns an
// empty vector when bytes do not parse as chunks or every result exceeds maxSize.
std::vector<std::uint8_t> mutateScene(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& donor,
                                      std::mt19937& random, std::size_t maxSize);

} // namespace writer3ds
