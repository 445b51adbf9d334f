add_executable(bench_stepping bench_stepping.cpp)
target_link_libraries(bench_stepping PRIVATE lumbrik_windows)
# The metafile is written by the samples' own script when the benchmark runs.
target_compile_definitions(bench_stepping PRIVATE
  LUMBRIK_METAFILE_SAMPLES="${CMAKE_SOURCE_DIR}/tests/data/metafiles")
add_dependencies(bench_stepping lumbrik-decoder)
