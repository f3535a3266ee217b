// The GL window the fuzz targets that draw or upload share: the offscreen driver, one
// rasteriser thread (worker threads only make runs slower and reports noisier), made once in
// LLVMFuzzerInitialize. A target that cannot have one stops with the reason.
#pragma once

struct RenderWindow;

RenderWindow& fuzzRenderWindow(const char* target, int width, int height);
