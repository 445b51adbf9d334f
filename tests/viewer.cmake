lumbrik_test(tst_viewer tst_viewer.cpp)
target_link_libraries(tst_viewer PRIVATE lumbrik_windows)

# Once more on two screens side by side: the viewer opens on the browser's screen.
set(viewer_two_screens ${CMAKE_CURRENT_BINARY_DIR}/two-screens.json)
file(WRITE ${viewer_two_screens} [=[{"screens":[
  {"name":"S1","x":0,"y":0,"width":1920,"height":1080,"logicalDpi":96,"dpr":1},
  {"name":"S2","x":1920,"y":0,"width":1280,"height":1024,"logicalDpi":96,"dpr":1}]}
]=])
set(viewer_two_screens_env ${LUMBRIK_TEST_ENV})
list(FILTER viewer_two_screens_env EXCLUDE REGEX "^QT_QPA_PLATFORM=")
list(APPEND viewer_two_screens_env "QT_QPA_PLATFORM=offscreen:configfile=${viewer_two_screens}")
add_test(NAME tst_viewer_two_screens COMMAND tst_viewer theViewerOpensOnTheBrowsersScreen)
set_tests_properties(tst_viewer_two_screens PROPERTIES ENVIRONMENT "${viewer_two_screens_env}"
  TIMEOUT 300)
