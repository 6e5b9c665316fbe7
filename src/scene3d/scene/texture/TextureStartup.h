#pragma once
// Start-up of the texture side of the scene library, called once by the library's start-up step:
// registers the picture formats "bmp" (TBitmap) and "png" (TPngImage) and the multitexture
// coordinator class that every rendering context makes its coordinator from.
namespace gl3d {

void TextureStartup();

}  // namespace gl3d
