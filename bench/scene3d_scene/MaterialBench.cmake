# Materials: Apply and UnApply of an unchanged material against the same setters called on the
# state cache.
zephor_benchmark(bench_scene3d_material SOURCES "${CMAKE_CURRENT_LIST_DIR}/MaterialBench.cpp" LIBS scene3d_scene)
