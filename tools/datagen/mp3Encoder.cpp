#include "tools/datagen/mp3Encoder.h"

#include "tools/datagen/music.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <memory>

bool encodeMp3(const std::string& path, const std::vector<std::int16_t>& pcm, std::string& error)
{
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> encoder(lame_init(), lame_close);
    if (!encoder) {
        error = path + ": lame_init failed";
        return false;
    }
    lame_global_flags* flags = encoder.get();
    lame_set_in_samplerate(flags, MUSIC_SAMPLE_RATE);
    lame_set_out_samplerate(flags, MUSIC_SAMPLE_RATE);
    lame_set_num_channels(flags, 2);
    lame_set_mode(flags, JOINT_STEREO);
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, 160);
    lame_set_quality(flags, 5);
    // The info tag carries the encoder delay and padding that gapless decoding removes.
    lame_set_bWriteVbrTag(flags, 1);
    lame_set_write_id3tag_automatic(flags, 0);
    if (lame_init_params(flags) < 0) {
        error = path + ": lame_init_params rejected the settings";
        return false;
    }
    const int frames = static_cast<int>(pcm.size() / 2);
    std::vector<unsigned char> mp3(static_cast<std::size_t>(frames) * 5 / 4 + 7200 + 16384);
    int size = lame_encode_buffer_interleaved(flags, const_cast<short*>(pcm.data()), frames, mp3.data(),
                                              static_cast<int>(mp3.size()));
    if (size < 0) {
        error = path + ": lame_encode_buffer_interleaved failed with code " + std::to_string(size);
        return false;
    }
    const int flushed = lame_encode_flush(flags, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    if (flushed < 0) {
        error = path + ": lame_encode_flush failed with code " + std::to_string(flushed);
        return false;
    }
    size += flushed;
    // The first frame of the stream is a placeholder; the finished tag replaces it.
    unsigned char tag[8192];
    const std::size_t tagSize = lame_get_lametag_frame(flags, tag, sizeof tag);
    if (tagSize == 0 || tagSize > static_cast<std::size_t>(size)) {
        error = path + ": lame_get_lametag_frame gave no info tag";
        return false;
    }
    std::copy(tag, tag + tagSize, mp3.begin());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create the file";
        return false;
    }
    const bool written = std::fwrite(mp3.data(), 1, static_cast<std::size_t>(size), file) ==
                         static_cast<std::size_t>(size);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}
