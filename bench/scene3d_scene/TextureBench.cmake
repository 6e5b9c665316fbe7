# The texture image side: upload on Mesa, scan lines, pixel conversion and resampling (the last
# against the image library's own Lanczos resampler).
zephor_benchmark(bench_scene3d_texture SOURCES "${CMAKE_CURRENT_LIST_DIR}/TextureBench.cpp"
  LIBS scene3d_scene rastova_core)
