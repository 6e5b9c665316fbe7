# The render loop on Mesa: an empty-scene frame through the scene buffer against a bare clear and
# read-back on the same context.
zephor_benchmark(bench_scene3d_render SOURCES "${CMAKE_CURRENT_LIST_DIR}/RenderBench.cpp" LIBS scene3d_scene)
