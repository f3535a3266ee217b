// The stencil mask of the opening: draws the animated blinds scene into the stencil buffer
// only, and leaves the stencil test on so that the next drawing (the grass scene) shows only
// where the blinds cover the screen. Holds the scene it is given. Needs a stencil buffer.
#pragma once

struct Scene;

void setBlindsMask(Scene* maskScene);
// The window arrives with each call; draws only while start < t < end.
void drawBlindsMask(float t, float start, float end);
