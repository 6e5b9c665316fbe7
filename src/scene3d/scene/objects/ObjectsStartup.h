#pragma once
// Start-up of the scene's own objects, called once by the library's start-up step: registers the
// classes that stored descriptions name.
namespace gl3d {

void ObjectsStartup();

}  // namespace gl3d
