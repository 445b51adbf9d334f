lumbrik_test(tst_deletion tst_deletion.cpp)
target_link_libraries(tst_deletion PRIVATE lumbrik_windows)
lumbrik_test_as_nobody(tst_deletion "torture:folder without write permission")
