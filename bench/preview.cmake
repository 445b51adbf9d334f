add_executable(bench_preview bench_preview.cpp)
target_link_libraries(bench_preview PRIVATE lumbrik_pictures Qt6::Core Qt6::Gui Qt6::Widgets)
