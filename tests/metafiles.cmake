# Metafile pictures and the containment of their decoder process.
lumbrik_test(tst_metafiles tst_metafiles.cpp)
target_link_libraries(tst_metafiles PRIVATE lumbrik_pictures)
# The suite runs the real helper from the same folder.
add_dependencies(tst_metafiles lumbrik-metafile)
