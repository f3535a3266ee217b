// The music in a browser: the browser decodes the file itself into the buffer Web Audio plays
// (the page's KesuAudio), at 44100 Hz and on its own time; here the file is read, checked as
// far as its bytes tell (there, not empty, MPEG audio frames in it) and handed over. The
// program holds no PCM of it: the sound output plays the browser's buffer.
#include "platform/sound/mp3Decoder.h"

#include "platform/files/loadError.h"
#include "platform/files/pictureFile.h"

#include <emscripten.h>

namespace {

EM_JS(void, handMusicOver, (const char* path, const unsigned char* bytes, int size), {
    KesuAudio.decode(UTF8ToString(path), HEAPU8.slice(bytes, bytes + size));
});

// Where the first MPEG audio frame header starts: eleven set bits of sync, a known version and
// layer, a bit rate and a sample rate that are not the reserved ones; -1 when there is none.
long long firstFrame(const std::vector<unsigned char>& bytes)
{
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
        const int version = (bytes[i + 1] >> 3) & 3, layer = (bytes[i + 1] >> 1) & 3;
        const int bitRate = bytes[i + 2] >> 4, sampleRate = (bytes[i + 2] >> 2) & 3;
        if (version != 1 && layer != 0 && bitRate != 15 && sampleRate != 3) return static_cast<long long>(i);
    }
    return -1;
}

} // namespace

bool decodeMp3File(const std::string& path, std::vector<std::int16_t>& pcm, LoadError& error)
{
    pcm.clear();
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!readWholeFile(path, bytes, problem)) return failLoad(error, path, -1, -1, problem);
    if (bytes.empty()) return failLoad(error, path, -1, -1, "the file holds no decodable MPEG audio");
    if (firstFrame(bytes) < 0) return failLoad(error, path, 0, -1, "no MPEG audio frame found");
    handMusicOver(path.c_str(), bytes.data(), static_cast<int>(bytes.size()));
    return true;
}
