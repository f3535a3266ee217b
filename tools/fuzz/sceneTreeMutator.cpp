// The chunk-tree fuzzer's mutators: most inputs are edited as chunk trees, so that the
// mutants keep consistent lengths and reach the binding, the matrices and playback; one in
// eight gets libFuzzer's own byte edits, and inputs that do not parse as chunks get only those.
#include "tools/fuzz/sceneMutator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

std::size_t deliver(const std::vector<std::uint8_t>& mutated, std::uint8_t* out, std::size_t maxSize)
{
    const std::size_t size = std::min(mutated.size(), maxSize);
    std::memcpy(out, mutated.data(), size);
    return size;
}

} // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed)
{
    std::mt19937 random(seed);
    if (random() % 8 != 0) {
        const std::vector<std::uint8_t> mutated =
            writer3ds::mutateScene(std::vector<std::uint8_t>(data, data + size), {}, random, maxSize);
        if (!mutated.empty()) return deliver(mutated, data, maxSize);
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

// Crossover grafts chunks of the second input into the first.
extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* data1, std::size_t size1, const std::uint8_t* data2,
                                                 std::size_t size2, std::uint8_t* out, std::size_t maxOutSize,
                                                 unsigned int seed)
{
    std::mt19937 random(seed);
    const std::vector<std::uint8_t> mutated = writer3ds::mutateScene(
        std::vector<std::uint8_t>(data1, data1 + size1), std::vector<std::uint8_t>(data2, data2 + size2), random, maxOutSize);
    if (!mutated.empty()) return deliver(mutated, out, maxOutSize);
    const std::size_t size = std::min(size1, maxOutSize);
    std::memcpy(out, data1, size);
    return size;
}
