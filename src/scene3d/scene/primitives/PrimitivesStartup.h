#pragma once
// Start-up of the primitives: registers the streamable classes of this folder (sphere, sprite,
// points, lines) by name, so that stored descriptions re-create them.
namespace gl3d {

void RegisterPrimitiveClasses();

}  // namespace gl3d
