// Where the capture tool's frames go: reading a frame back, PNG files and folders, the MP4's
// preparation (ffmpeg found, the music cut to the span) and contact-sheet files. Failures
// are printed as "kesu-capture: ..." and returned as false.
#pragma once

#include "tools/capture/contactSheet.h"
#include "tools/capture/videoEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

struct CaptureOptions;

// The back buffer as RGBA, bottom row first; pixels holds width x height x 4 bytes.
void readFrame(int width, int height, std::vector<std::uint8_t>& pixels);

// Writes a frame read back by readFrame as an opaque PNG (its alpha is set to 255 in place).
bool writeFramePng(const std::string& path, int width, int height, std::vector<std::uint8_t>& pixels);

bool makeFolder(const std::string& folder);

// Fails early, before minutes of rendering, when the file cannot be written; leaves no file
// behind that was not there before.
bool checkWritable(const std::string& path);

// "at-00012.500.png" in outDir: zero-padded seconds, so the names sort in time order.
std::string pickPath(const std::string& outDir, double time);

// FILE.wav: the span's music alone, as a video of the span carries it; nothing is drawn.
bool writeSpanSound(const CaptureOptions& options, const std::string& dataFolder);

// Before any rendering: ffmpeg is there, the file can be written, and the music is cut to
// the span and written where ffmpeg will read it (settings.audioPath, removed by the caller).
// The music is read from dataFolder.
bool prepareVideo(const CaptureOptions& options, const std::string& dataFolder, VideoSettings& settings);

// PNG, or JPEG for a name ending in .jpg or .jpeg.
bool writeSheet(const std::string& path, const ContactSheet& sheet, std::string& error);
