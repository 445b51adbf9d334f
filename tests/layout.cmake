lumbrik_test(tst_layout tst_layout.cpp)
target_link_libraries(tst_layout PRIVATE lumbrik_windows)
