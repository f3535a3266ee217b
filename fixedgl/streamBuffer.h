// The buffer gathered vertices stream through to the driver: each draw writes only what its
// program reads, packed (the position as three floats when every w is 1), at increasing
// offsets of one buffer that gets new storage when full, so a draw never waits for the driver
// to finish with an earlier one; smooth quads go as four corners through a shared index buffer.
// A browser copies every byte of it to its GPU process, so the bytes are worth saving. Its
// state is the record's (layer.stream). Needs the ES 3 context.
#pragma once

#include "fixedgl/layerState.h"

// The stream's buffers, made in the context just bound.
void startStreamBuffer();

// The vertices drawn now with the layer's state, as kind says.
void drawStream(PendingKind kind, const std::vector<LayerVertex>& vertices);

// A generic value of the attribute, given to the driver unless it is what it was last given.
void setGeneric(int attribute, const std::array<float, 4>& value);

// The bound vertex array's arrays over a buffer of whole LayerVertex records: the position, and
// of the others those the bits of `specified` name (SpecifiedBits).
void pointWholeVertices(int specified);
