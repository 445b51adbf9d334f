lumbrik_test(tst_forms tst_forms.cpp)
target_link_libraries(tst_forms PRIVATE lumbrik_windows)
