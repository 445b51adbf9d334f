# Metafile pictures, the decoder process and its seal.
lumbrik_test(tst_metafiles tst_metafiles.cpp)
target_link_libraries(tst_metafiles PRIVATE lumbrik_pictures lumbrik_decoding)
add_dependencies(tst_metafiles lumbrik-decoder)
target_compile_definitions(tst_metafiles PRIVATE LUMBRIK_TEST_SOURCES="${CMAKE_CURRENT_SOURCE_DIR}")
