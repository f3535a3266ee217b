// How one input of the texture fuzzer holds a picture and its mask, shared by the fuzzer
// and the program that writes its seeds: a loader byte, the colour file's bytes, then the
// separator and the mask file's bytes. Without the separator a masked load finds no mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Bit 0 of the first byte: 1 loads through loadMaskedTexture, 0 through loadTexture.
constexpr std::uint8_t FUZZ_TEXTURE_MASKED = 0x1;

// Between the colour file and the mask file; chosen so it is unlikely inside JPEG data.
extern const char* const fuzzMaskSeparator;

struct FuzzTextureInput {
    bool masked = false;
    std::string colour;
    bool maskPresent = false;   // false: the mask file does not exist
    std::string mask;
};

FuzzTextureInput splitTextureInput(const std::uint8_t* data, std::size_t size);

std::string joinTextureInput(const FuzzTextureInput& input);
