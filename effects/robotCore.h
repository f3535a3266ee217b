// The robot sequence: two fogged wave sheets behind the robot scene, and on the robot's core
// node a wobbling, beat-swollen sphere with a ribbon around it and a particle shell on it.
// Owns the sphere mesh and the shell; holds the scene and textures it is given, which it
// does not own. The draw needs a current GL context.
#pragma once

#include "textures/texture.h"

struct Scene;
class Mesh;
class ParticleEmitter;

// The scene must hold a node named "rdzen"; the caller checks this before the call.
void setRobotCore(Scene* scene, TextureId sheetTexture1, TextureId sheetTexture2, TextureId envTexture,
                  TextureId ribbonTexture, TextureId particleTexture);
void setRobotCoreWindow(float start, float end);
// Draws only while start < t < end.
void drawRobotCore(float t, float pulse);

// The effect's own sphere and shell, for inspection.
const Mesh& robotCoreMesh();
const ParticleEmitter& robotCoreShell();
