// Three lumpy, sphere-mapped blobs orbiting over two sliding, modulated warp grids, with a
// banner bending like a flag across the middle. Uses no scene. Owns the blob mesh; holds the
// textures it is given. The draw needs a current GL context.
#pragma once

#include "textures/texture.h"

class Mesh;

void setBlobOrbit(TextureId backTexture, TextureId modulateTexture, TextureId bannerTexture, TextureId envTexture);
void setBlobOrbitWindow(float start, float end);
// Draws only while start < t < end.
void drawBlobOrbit(float t, float pulse);

const Mesh& blobOrbitMesh();
