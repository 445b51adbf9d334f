# Builds the Debian package into a scratch folder and checks what it holds: its control fields
# (Depends from the binaries), every installed file under /usr, the metainfo (appstreamcli),
# the packaged program's own answer, and lintian's verdict. Run with -P, given BUILD_DIR,
# SCRATCH and VERSION. Where a tool is missing, that part is skipped and the test says so.
set(skipped "")
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(FILE_PROGRAM file)
foreach(tool DPKG_DEB DPKG_SHLIBDEPS FILE_PROGRAM)
  if(NOT ${tool})
    message("package check skipped: ${tool} not found (packages dpkg-dev, file): no package")
    return()
  endif()
endforeach()

file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB packages ${SCRATCH}/lumbrik_*.deb)
list(LENGTH packages count)
if(NOT status EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} packages (status ${status}):\n${log}")
endif()
message(STATUS "built ${packages}")

function(field name out)
  execute_process(COMMAND ${DPKG_DEB} --field ${packages} ${name} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
foreach(pair "Package=lumbrik" "Version=${VERSION}" "Section=graphics")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 expected)
  field(${name} value)
  if(NOT value STREQUAL expected)
    message(FATAL_ERROR "${name} is '${value}', not '${expected}'")
  endif()
endforeach()
# The libraries of the program and of its helper, each from its Debian package.
field(Depends depends)
message(STATUS "Depends: ${depends}")
foreach(library libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6
                libwmflite-0.2-7)
  if(NOT depends MATCHES "(^|, )${library} \\(>= [^)]+\\)")
    message(FATAL_ERROR "Depends lacks ${library}: ${depends}")
  endif()
endforeach()

execute_process(COMMAND ${DPKG_DEB} --contents ${packages} OUTPUT_VARIABLE contents
                COMMAND_ERROR_IS_FATAL ANY)
set(expected
    "-rwxr-xr-x root/root .* ./usr/bin/Lumbrik"
    "-rwxr-xr-x root/root .* ./usr/libexec/lumbrik/lumbrik-decoder"
    "-rw-r--r-- root/root .* ./usr/share/applications/org.lumbrik.Lumbrik.desktop"
    "-rw-r--r-- root/root .* ./usr/share/metainfo/org.lumbrik.Lumbrik.metainfo.xml"
    "-rw-r--r-- root/root .* ./usr/share/icons/hicolor/scalable/apps/lumbrik.svg"
    "-rw-r--r-- root/root .* ./usr/share/man/man1/Lumbrik.1.gz"
    "-rw-r--r-- root/root .* ./usr/share/doc/lumbrik/copyright"
    "-rw-r--r-- root/root .* ./usr/share/doc/lumbrik/changelog.gz")
foreach(size 16 32 48 64 128 256)
  list(APPEND expected
       "-rw-r--r-- root/root .* ./usr/share/icons/hicolor/${size}x${size}/apps/lumbrik.png")
endforeach()
foreach(line IN LISTS expected)
  if(NOT contents MATCHES "(^|\n)${line}\n")
    message(FATAL_ERROR "the package lacks ${line}:\n${contents}")
  endif()
endforeach()
if(contents MATCHES "(^|\n)[^\n]* \\./(usr/local|[^u])[^\n]*")
  message(FATAL_ERROR "the package installs outside /usr: ${CMAKE_MATCH_0}")
endif()

set(root ${SCRATCH}/root)
execute_process(COMMAND ${DPKG_DEB} --extract ${packages} ${root} COMMAND_ERROR_IS_FATAL ANY)
# The packaged (stripped) program answers without a display.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM ${root}/usr/bin/Lumbrik --version
                OUTPUT_VARIABLE answer RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT answer STREQUAL "Lumbrik ${VERSION}\n")
  message(FATAL_ERROR "the packaged program answers --version with ${status}: ${answer}")
endif()
# The manual page, the changelog and the metainfo's release entry, each written by hand, name
# this version; the first two are compressed as Debian wants them.
find_program(GZIP gzip REQUIRED)
foreach(check "man/man1/Lumbrik.1.gz;\n\\.TH LUMBRIK 1 [^\n]* \"Lumbrik ${VERSION}\""
              "doc/lumbrik/changelog.gz;^lumbrik \\(${VERSION}\\) "
              "metainfo/org.lumbrik.Lumbrik.metainfo.xml;<release version=\"${VERSION}\"")
  list(GET check 0 name)
  list(GET check 1 pattern)
  set(path ${root}/usr/share/${name})
  if(name MATCHES "\\.gz$")
    execute_process(COMMAND ${GZIP} --test ${path} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${GZIP} -dc ${path} OUTPUT_VARIABLE text)
  else()
    file(READ ${path} text)
  endif()
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${name} does not name version ${VERSION}")
  endif()
endforeach()

# appstreamcli checks the metainfo alone, then with the package's tree, where its launchable
# must be the desktop entry the package installs.
set(metainfo ${root}/usr/share/metainfo/org.lumbrik.Lumbrik.metainfo.xml)
# Software centres find the icon by the name the metainfo gives, the one the package installs.
file(READ ${metainfo} text)
if(NOT text MATCHES "<icon type=\"stock\">lumbrik</icon>")
  message(FATAL_ERROR "the metainfo does not name the icon lumbrik")
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  foreach(check "validate;${metainfo}" "validate-tree;${root}")
    list(GET check 0 how)
    list(GET check 1 what)
    execute_process(COMMAND ${APPSTREAMCLI} ${how} --no-net --no-color ${what}
                    RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE report)
    message(STATUS "appstreamcli ${how}: ${report}")
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "appstreamcli ${how} rejects the metainfo")
    endif()
  endforeach()
else()
  string(APPEND skipped " appstreamcli not found (package appstream): metainfo not validated;")
endif()

find_program(LINTIAN lintian)
if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --tag-display-limit 0 ${packages}
                  OUTPUT_VARIABLE report ERROR_VARIABLE report)
  message(STATUS "lintian:\n${report}")
  if(report MATCHES "(^|\n)E: ")
    message(FATAL_ERROR "lintian reports errors")
  endif()
else()
  string(APPEND skipped " lintian not found: the package was not linted;")
endif()
if(skipped)
  message("package check skipped:${skipped} the rest passed")
endif()
