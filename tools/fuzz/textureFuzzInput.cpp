#include "tools/fuzz/textureFuzzInput.h"

const char* const fuzzMaskSeparator = "\n--kesu mask--\n";

FuzzTextureInput splitTextureInput(const std::uint8_t* data, std::size_t size)
{
    FuzzTextureInput input;
    if (size == 0) return input;
    input.masked = (data[0] & FUZZ_TEXTURE_MASKED) != 0;
    const std::string files(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = files.find(fuzzMaskSeparator);
    if (split == std::string::npos) {
        input.colour = files;
        return input;
    }
    input.colour = files.substr(0, split);
    input.maskPresent = true;
    input.mask = files.substr(split + std::char_traits<char>::length(fuzzMaskSeparator));
    return input;
}

std::string joinTextureInput(const FuzzTextureInput& input)
{
    std::string bytes(1, static_cast<char>(input.masked ? FUZZ_TEXTURE_MASKED : 0));
    bytes += input.colour;
    if (input.maskPresent) {
        bytes += fuzzMaskSeparator;
        bytes += input.mask;
    }
    return bytes;
}
