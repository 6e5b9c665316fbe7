#pragma once
// Start-up of the texture side of the scene library, called once by the library's start-up step:
// registers the picture formats "bmp" (TBitmap) and "png" (TPngImage), the multitexture
// coordinator class that every rendering context makes its coordinator from, and, in registries
// made anew, the four texture image classes (blank, persistent, picture-file, cube map, in this
// order) and the graphic extension ".bmp".
namespace gl3d {

void TextureStartup();

}  // namespace gl3d
