lumbrik_test(tst_startup tst_startup.cpp ${CMAKE_SOURCE_DIR}/app/GivenPath.cpp)
target_link_libraries(tst_startup PRIVATE lumbrik_windows)
# The command-line cases run the program itself.
add_dependencies(tst_startup Lumbrik)
