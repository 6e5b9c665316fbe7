# The editor's preview mesh: building it against copying its data, the first frame after a rebuild
# against bare buffer uploads, and a 257 x 257 textured grid frame against the same frame drawn by
# bare GL calls.
zephor_benchmark(bench_scene3d_mesh SOURCES "${CMAKE_CURRENT_LIST_DIR}/MeshBench.cpp" LIBS scene3d_scene)
