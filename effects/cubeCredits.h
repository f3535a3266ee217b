// A background scene with a cloud of sparks following its first light, then the cube scene,
// zooming in on each beat, and the credits scene in the same depth buffer. Owns the sparks
// emitter; holds the scenes it is given. The draw needs a current GL context.
#pragma once

#include "particles/particleEmitter.h"
#include "textures/texture.h"

struct Scene;
class ParticleEmitter;

// The background scene must hold a light whose position track has a key; the caller checks
// this before the call.
void setCubeCredits(Scene* backScene, Scene* cubeScene, Scene* creditsScene, TextureId particleTexture);
void setCubeCreditsWindow(float start, float end);
// Draws only while start < t < end.
void drawCubeCredits(float t, float previousTime, float pulse);
// What a frame at t carries into the next, without drawing and without GL: the sparks
// moved to the background scene's first light at the frame's keyframer frame, then
// updated. drawCubeCredits takes the same step.
void stepCubeCredits(float t, float previousTime);

const ParticleEmitter& cubeCreditsSparks();

// What the credits carry from frame to frame: the sparks.
struct CubeCreditsState {
    EmitterSnapshot sparks;
    std::size_t bytes() const { return sparks.bytes(); }
};
// Its state into `state` (the buffers it holds reused), and back.
void saveCubeCredits(CubeCreditsState& state);
void restoreCubeCredits(const CubeCreditsState& state);
