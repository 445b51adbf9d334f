# Metafile pictures and the containment of their decoder process.
lumbrik_test(tst_metafiles tst_metafiles.cpp)
# The helper's seal, applied in a child of the suite.
target_sources(tst_metafiles PRIVATE ${CMAKE_SOURCE_DIR}/pictures/metafile/Seal.cpp)
pkg_check_modules(SECCOMP REQUIRED IMPORTED_TARGET libseccomp)
# Qt SVG draws the answers whole, as the layers drawn by the viewer must look.
find_package(Qt6 REQUIRED COMPONENTS Svg)
target_link_libraries(tst_metafiles PRIVATE lumbrik_pictures PkgConfig::SECCOMP Qt6::Svg)
# The suite runs the real helper from the same folder.
add_dependencies(tst_metafiles lumbrik-metafile)
# The EMF+ player, played directly on the EMF+ records of generated files.
set(metafile ${CMAKE_SOURCE_DIR}/pictures/metafile)
target_sources(tst_metafiles PRIVATE ${metafile}/Decoded.cpp ${metafile}/EmfFrame.cpp
  ${metafile}/EmfPlusPlayer.cpp ${metafile}/EmfPlusObjects.cpp ${metafile}/EmfPlusImages.cpp
  ${metafile}/Boxes.cpp ${metafile}/EmfPlusState.cpp ${metafile}/EmfPlusGeometry.cpp
  ${metafile}/EmfPlusDraw.cpp ${metafile}/EmfPlusStyle.cpp ${metafile}/EmfPlusText.cpp ${metafile}/SvgCanvas.cpp
  ${metafile}/SvgText.cpp ${metafile}/Clip.cpp ${metafile}/SymbolFonts.cpp ${metafile}/Charsets.cpp)
