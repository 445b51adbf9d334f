lumbrik_test(tst_pictures tst_pictures.cpp)
find_package(JPEG REQUIRED) # CMYK samples are written with libjpeg
target_link_libraries(tst_pictures PRIVATE lumbrik_pictures lumbrik_decoding JPEG::JPEG)
lumbrik_test_as_nobody(tst_pictures badFileIsReported:unreadable)
