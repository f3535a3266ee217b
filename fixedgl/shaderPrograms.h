// The fixed pipeline as shader programs: one variant for each combination of the state bits
// the show uses (lighting and the number of lights, the local viewer, fog, each texture unit
// and its sphere-map generation, flat shading, the alpha test), compiled the first time it is
// needed and kept. The vertex stage computes what GL 1.1 computes per vertex (the lighting
// equation, the sphere map, the fog distance), with the arithmetic GL states, so a picture
// drawn here can be compared with the system's GL to the pixel. Needs the ES 3 context.
#pragma once

#include "fixedgl/layerState.h"

// Makes the program for the layer's state current, with the state's uniforms: the matrices,
// the lights and material, the fog and the texture units. `flatColors` draws colours
// unvaried across each primitive (flat shading). Answers the attributes the program reads,
// as bits 1 << LayerAttribute (the position always); 0, with the driver's log on stderr, when
// the program does not compile: nothing should be drawn then.
int useLayerProgram(bool flatColors);

// Another program was made current behind the layer's back.
void forgetCurrentProgram();

// The state the uniforms come from has changed: the next useLayerProgram uploads them again.
void matricesChanged();
void lightingChanged();
void otherUniformsChanged();   // the fog and the alpha test
