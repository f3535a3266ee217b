// The grass scene in linear fog whose colour, like the background, flashes grey on each beat.
// Before its switch time it draws inside the stencil mask left by the blinds; from then on
// it clears the whole screen itself. Holds the scene it is given.
#pragma once

struct Scene;

void setGrassScene(Scene* scene);
void setGrassWindow(float start, float end, float switchTime);
// Draws only while start < t < end; always leaves the stencil test off.
void drawGrassScene(float t, float pulse);
