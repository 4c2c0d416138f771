# What `cmake --install` puts where, and the .deb that CPack makes of it
# (`cpack -G DEB` in the build folder).

install(TARGETS varnoscape RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET varnoscape-render)
  install(TARGETS varnoscape-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# Found by the programs at VS_DECODER_FROM_BIN from their own folder.
install(TARGETS varnoscape-decoder RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/varnoscape)

# Manual pages go in compressed, as Debian wants them; -n keeps the name and
# time out of the gzip header, so the same page gives the same bytes.
find_program(VS_GZIP gzip REQUIRED)
set(man_pages varnoscape.1)
if(TARGET varnoscape-render)
  list(APPEND man_pages varnoscape-render.1)
endif()
set(man_outputs)
foreach(page ${man_pages})
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/docs/${page})
  set(copy ${CMAKE_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${VS_GZIP} -9 -n -k -f ${copy}
    DEPENDS ${source}
    COMMENT "Compressing manual page ${page}"
    VERBATIM)
  list(APPEND man_outputs ${copy}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The settings dialog in the desktop's menu.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/varnoscape.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The licence, where Debian keeps each package's.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnoscape RENAME copyright)

# XScreenSaver's description of the hosted mode, for its settings program,
# once the file is there (the glob notices it appearing and configures anew).
file(GLOB xscreensaver_config CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/varnoscape.xml)
if(xscreensaver_config)
  install(FILES ${xscreensaver_config} DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
endif()

# Packages needed at run time beyond the linked libraries (which
# dpkg-shlibdeps finds): the same list scripts/deps.sh installs.
set(runtime_list ${CMAKE_CURRENT_SOURCE_DIR}/packaging/runtime-packages.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${runtime_list})
file(STRINGS ${runtime_list} runtime_lines)
set(runtime_packages)
foreach(line ${runtime_lines})
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line)
    list(APPEND runtime_packages ${line})
  endif()
endforeach()
if(NOT runtime_packages)
  message(FATAL_ERROR "no packages listed in ${runtime_list}")
endif()
list(JOIN runtime_packages ", " runtime_depends)

set(VS_MAINTAINER "Varnoscape maintainers <maintainers@users.noreply.c-seed-b10799f2.example>"
    CACHE STRING "Maintainer named in the .deb")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnoscape)
set(CPACK_PACKAGE_VENDOR "Varnoscape")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VS_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture screen saver that draws pictures as reliefs")
# One string; Debian wants the long description in lines of under 80.
set(CPACK_PACKAGE_DESCRIPTION [[
Varnoscape shows the pictures of one folder (BMP, GIF, JPEG, WMF, PNG,
WebP, HEIF, AVIF and TIFF files) on a black full-screen window and draws
each one as a relief that builds up row by row: every pixel is lifted by
its lightness, in its own colour, as a dot or as part of a line. A key, a click or a movement of
the mouse ends it. It also runs inside XScreenSaver.

varnoscape-render draws one picture the same way and saves it as a PNG
poster.]])
# Debian's tools strip their binaries; the debugging data stays in the build.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VS_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ${runtime_depends})
# The settings dialog's folder chooser and the opener of its link; without
# them the dialog says what to install.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog, xdg-utils")
# What starts the saver once the desktop is idle: on X11 a host or xautolock,
# on Wayland swayidle.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xautolock, swayidle")
include(CPack)
