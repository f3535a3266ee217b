// The overlay of the grass sequence: a logo with a fading trail in the upper left, then two
// full-screen layers of rippling texture, one brightening and pulsing ten times over the
// window, one translucent and pulsing six times. No scene, no depth buffer; identity
// matrices throughout. Holds the textures it is given.
#pragma once

#include "textures/texture.h"

void setWarpOverlayTextures(TextureId baseTexture, TextureId maskedTexture, TextureId logoTexture);
void setWarpOverlayWindow(float start, float end);
// Draws only while start < t < end.
void drawWarpOverlay(float t);
