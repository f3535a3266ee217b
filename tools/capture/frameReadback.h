// Reading composed frames back without waiting on each one: a frame is read into one of two
// pixel buffer objects as soon as it is composed and handed over one frame later, so the
// software rasteriser fills one frame while the next one is being built. Without buffer
// objects in the driver it reads each frame at once. Needs the capture's GL context current.
#pragma once

#include <cstdint>
#include <vector>

struct FrameReadback {
    int width = 0;
    int height = 0;
    unsigned int buffers[2] = {0, 0};   // pixel buffer objects; 0 when the driver has none
    int next = 0;                       // the buffer the next frame is read into
    bool waiting = false;               // the other buffer holds a frame not handed over yet
    std::vector<std::uint8_t> direct;   // the frame read at once, without buffer objects
};

// Sets up reading frames of width x height.
void startReadback(FrameReadback& readback, int width, int height);

// Starts reading the frame just composed and hands over the frame due, in order: with buffer
// objects the frame before this one, if any; without them this one. A frame handed over is
// copied into pixels (RGBA, bottom row first, width x height x 4 bytes) and true returned.
bool readbackFrame(FrameReadback& readback, std::vector<std::uint8_t>& pixels);

// The last frame started, if it is still waiting: copied into pixels, true.
bool finishReadback(FrameReadback& readback, std::vector<std::uint8_t>& pixels);

// Releases the buffer objects.
void stopReadback(FrameReadback& readback);
