lumbrik_test(tst_viewer tst_viewer.cpp)
target_link_libraries(tst_viewer PRIVATE lumbrik_windows)
