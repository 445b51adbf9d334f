# The real-window suite: the built program under Xvfb and openbox, driven with xdotool.
# It saves its screenshots of the browser and of the full-screen viewer into the build folder.
if(LUMBRIK_E2E)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME e2e
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run_e2e.py
                   $<TARGET_FILE:Lumbrik> ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(e2e PROPERTIES TIMEOUT 120 RUN_SERIAL ON)
endif()

# Installing into a scratch prefix puts every file in its standard place.
add_test(NAME install
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                 -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-check
                 -DCMAKE_INSTALL_BINDIR=${CMAKE_INSTALL_BINDIR}
                 -DCMAKE_INSTALL_LIBEXECDIR=${CMAKE_INSTALL_LIBEXECDIR}
                 -DCMAKE_INSTALL_DATADIR=${CMAKE_INSTALL_DATADIR}
                 -DCMAKE_INSTALL_MANDIR=${CMAKE_INSTALL_MANDIR}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/e2e/check_install.cmake)
set_tests_properties(install PROPERTIES TIMEOUT 60)

# The Debian package, built from the same install rules in a scratch folder, and its metainfo.
# A sanitizer build is no package.
if(NOT LUMBRIK_SANITIZE)
  add_test(NAME package
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DSCRATCH=${CMAKE_CURRENT_BINARY_DIR}/package-check -DVERSION=${PROJECT_VERSION}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/e2e/check_package.cmake)
  set_tests_properties(package PROPERTIES TIMEOUT 300 SKIP_REGULAR_EXPRESSION
                                          "package check skipped:")
endif()
