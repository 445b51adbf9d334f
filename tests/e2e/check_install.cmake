# Installs the build into a scratch prefix and checks that every file is in its standard place
# and that the desktop entry is valid. Run with -P, given BUILD_DIR, PREFIX and the install
# folders CMAKE_INSTALL_BINDIR, CMAKE_INSTALL_LIBEXECDIR, CMAKE_INSTALL_DATADIR and
# CMAKE_INSTALL_MANDIR.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(icon_sizes 16 32 48 64 128 256)
set(expected
    ${CMAKE_INSTALL_BINDIR}/Lumbrik
    ${CMAKE_INSTALL_LIBEXECDIR}/lumbrik/lumbrik-decoder
    ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/lumbrik.svg
    ${CMAKE_INSTALL_DATADIR}/applications/org.lumbrik.Lumbrik.desktop
    ${CMAKE_INSTALL_DATADIR}/metainfo/org.lumbrik.Lumbrik.metainfo.xml
    ${CMAKE_INSTALL_MANDIR}/man1/Lumbrik.1.gz
    ${CMAKE_INSTALL_DATADIR}/doc/lumbrik/copyright
    ${CMAKE_INSTALL_DATADIR}/doc/lumbrik/changelog.gz)
foreach(size IN LISTS icon_sizes)
  list(APPEND expected ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps/lumbrik.png)
endforeach()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
  message(STATUS "installed: ${file}")
endforeach()
foreach(program ${CMAKE_INSTALL_BINDIR}/Lumbrik ${CMAKE_INSTALL_LIBEXECDIR}/lumbrik/lumbrik-decoder)
  file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${PREFIX}/${program} RESOLVED_DEPENDENCIES_VAR found
       UNRESOLVED_DEPENDENCIES_VAR missing)
  if(missing)
    message(FATAL_ERROR "${program} needs libraries that are not found: ${missing}")
  endif()
  # The viewer decodes nothing itself: the picture libraries are the decoder's alone.
  if(program MATCHES "Lumbrik$" AND found MATCHES "libQt6Svg|libjpeg|libwmf")
    message(FATAL_ERROR "the viewer links a picture decoder's library: ${found}")
  endif()
endforeach()

# Each icon is a PNG of its folder's size; the scalable one is an SVG drawing.
foreach(size IN LISTS icon_sizes)
  file(READ ${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps/lumbrik.png
       header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 32 16 dimensions)
  string(SUBSTRING "${header}" 0 16 signature)
  string(SUBSTRING "${dimensions}" 0 8 w)
  string(SUBSTRING "${dimensions}" 8 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "the ${size}x${size} icon is not a ${size} x ${size} PNG (${w} x ${h})")
  endif()
endforeach()

file(READ ${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/lumbrik.svg svg)
if(NOT svg MATCHES "<svg [^>]*viewBox=\"0 0 32 32\"")
  message(FATAL_ERROR "the scalable icon is not an SVG drawing of the 32-unit icon")
endif()

set(entry ${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/org.lumbrik.Lumbrik.desktop)
find_program(VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${VALIDATE} ${entry} RESULT_VARIABLE status OUTPUT_VARIABLE report
                ERROR_VARIABLE report)
if(NOT status EQUAL 0 OR report)
  message(FATAL_ERROR "desktop-file-validate rejects the entry:\n${report}")
endif()
file(READ ${entry} text)
string(REGEX MATCH "\nExec=[^\n]*" exec "${text}")
string(REGEX MATCH "\nMimeType=[^\n]*" types "${text}")
if(NOT exec STREQUAL "\nExec=Lumbrik %f")
  message(FATAL_ERROR "unexpected ${exec}")
endif()
foreach(type image/gif image/jpeg image/bmp image/x-icon image/vnd.microsoft.icon image/x-wmf
             image/wmf image/x-emf image/emf)
  if(NOT types MATCHES "[=;]${type};")
    message(FATAL_ERROR "the entry does not offer ${type}")
  endif()
endforeach()
message(STATUS "the install into ${PREFIX} is complete and its desktop entry is valid")
