// The factory in grey fog, stuttering back half a second on each beat, the pipes scene over
// it, three darkening smoke streams and a rewind icon that darkens on the beats. Owns the
// three smoke emitters; holds the scenes and textures it is given. The draw needs a current GL context.
#pragma once

#include "particles/particleEmitter.h"
#include "textures/texture.h"

struct Scene;
class ParticleEmitter;

void setFactoryRewind(Scene* factoryScene, Scene* pipesScene, TextureId particleTexture, TextureId rewindTexture);
void setFactoryRewindWindow(float start, float end);
// Draws only while start < t < end.
void drawFactoryRewind(float t, float previousTime, float pulse);
// What a frame at t carries into the next, without drawing and without GL: the smoke
// update. drawFactoryRewind takes the same step.
void stepFactoryRewind(float t, float previousTime);

// Smoke emitter 0, 1 or 2.
const ParticleEmitter& factoryRewindSmoke(int index);

// What the factory carries from frame to frame: its smoke.
struct FactoryRewindState {
    EmitterSnapshot smoke[3];
    std::size_t bytes() const { return smoke[0].bytes() + smoke[1].bytes() + smoke[2].bytes(); }
};
// Its state into `state` (the buffers it holds reused), and back.
void saveFactoryRewind(FactoryRewindState& state);
void restoreFactoryRewind(const FactoryRewindState& state);
