// The opening: the title scene and the elements scene in one picture, with a blue-white and
// an orange particle jet leaving the elements scene's first object in opposite directions.
// Owns the two jets; holds the scenes it is given. The draw needs a current GL context.
#pragma once

#include "particles/particleEmitter.h"
#include "textures/texture.h"

struct Scene;
class ParticleEmitter;

// The elements scene must hold at least one node; the caller checks this before the call.
void setTitleStreams(Scene* titleScene, Scene* elementsScene, TextureId particleTexture);
// The window arrives with each call; draws only while start < t < end.
void drawTitleStreams(float t, float previousTime, float start, float end);
// What a frame at t carries into the next, without drawing and without GL: the jets'
// update. drawTitleStreams takes the same step.
void stepTitleStreams(float t, float previousTime, float start, float end);

const ParticleEmitter& titleStreamsJetA();
const ParticleEmitter& titleStreamsJetB();

// What the opening carries from frame to frame: its jets.
struct TitleStreamsState {
    EmitterSnapshot jetA;
    EmitterSnapshot jetB;
    std::size_t bytes() const { return jetA.bytes() + jetB.bytes(); }
};
// Its state into `state` (the buffers it holds reused), and back.
void saveTitleStreams(TitleStreamsState& state);
void restoreTitleStreams(const TitleStreamsState& state);
