add_executable(bench_metafiles bench_metafiles.cpp)
target_link_libraries(bench_metafiles PRIVATE lumbrik_pictures Qt6::Core Qt6::Gui)
target_compile_definitions(bench_metafiles PRIVATE
  LUMBRIK_METAFILE_SAMPLES="${CMAKE_SOURCE_DIR}/tests/data/metafiles")
# Loading runs the real helper, found beside this program.
add_dependencies(bench_metafiles lumbrik-decoder)
