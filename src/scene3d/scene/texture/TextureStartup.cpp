#include "scene3d/scene/texture/TextureStartup.h"

#include "scene3d/gl/GLContext.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTextureImage.h"
#include "scene3d/scene/texture/picture/Bitmap.h"
#include "scene3d/scene/texture/picture/Picture.h"
#include "scene3d/scene/texture/picture/PngImage.h"

namespace gl3d {

void TextureStartup() {
  TPicture::RegisterFileFormat("bmp", "Bitmaps", &TBitmap::Create);
  TPicture::RegisterFileFormat("png", "Portable Network Graphics", &TPngImage::Create);
  RegisterMultitextureCoordinatorClass(&CreateMultitextureCoordinator);
  ResetTextureImageRegistries();
  RegisterTextureImageClass(TGLBlankImage::StaticClass());
  RegisterTextureImageClass(TGLPersistentImage::StaticClass());
  RegisterTextureImageClass(TGLPicFileImage::StaticClass());
  RegisterTextureImageClass(TGLCubeMapImage::StaticClass());
  RegisterGraphicFileExtension(".bmp", &TBitmap::Create);
}

}  // namespace gl3d
