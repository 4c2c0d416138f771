# The Linux edition: the X11 backend, the POSIX system layer, the picture
# decoder program and the render tool, and their installation.

# The system layer: files, clock, processes, text, and the decoders of GIF,
# JPEG, metafiles, PNG, WebP, HEIF and AVIF, and TIFF by giflib,
# libjpeg-turbo, libwmf, libpng, libwebp, libheif and libtiff, with lcms2 for
# their colour profiles; libseccomp for the decoder's confinement.
vs_library(vs_posix platform/posix vs_pictures vs_platform PkgConfig::PNG PkgConfig::FONTS
           PkgConfig::WMF PkgConfig::KINDS PkgConfig::SECCOMP JPEG::JPEG GIF::GIF)
# The system layer every backend of the edition builds on (the tests'
# offscreen backend too).
add_library(vs_native ALIAS vs_posix)
vs_library(vs_offscreen platform/offscreen vs_native)
vs_library(vs_x11 platform/x11 vs_posix vs_forms PkgConfig::X11)

# The Wayland backend, with the client code of the protocols it speaks made
# by wayland-scanner: xdg-shell from Debian's wayland-protocols, the wlroots
# layer shell from our own description of it.
set(VS_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/wayland-protocols)
set(VS_PROTOCOL_SOURCES)
foreach(xml ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
            ${SRC}/platform/wayland/protocols/wlr-layer-shell-unstable-v1.xml)
  get_filename_component(protocol ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${VS_PROTOCOL_DIR}/${protocol}-client.h ${VS_PROTOCOL_DIR}/${protocol}.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VS_PROTOCOL_DIR}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${VS_PROTOCOL_DIR}/${protocol}-client.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${VS_PROTOCOL_DIR}/${protocol}.c
    DEPENDS ${xml}
    COMMENT "wayland-scanner ${protocol}")
  list(APPEND VS_PROTOCOL_SOURCES ${VS_PROTOCOL_DIR}/${protocol}-client.h
       ${VS_PROTOCOL_DIR}/${protocol}.c)
endforeach()
vs_library(vs_wayland platform/wayland vs_posix vs_forms PkgConfig::WAYLAND)
target_sources(vs_wayland PRIVATE ${VS_PROTOCOL_SOURCES})
target_include_directories(vs_wayland PRIVATE ${VS_PROTOCOL_DIR})

include(GNUInstallDirs)
# Where an installation keeps the picture decoder, seen from the programs.
file(RELATIVE_PATH VS_DECODER_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/varnoscape)
set_property(SOURCE ${SRC}/platform/posix/decoder_process.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS VS_DECODER_FROM_BIN="${VS_DECODER_FROM_BIN}")

add_executable(varnoscape ${SRC}/apps/varnoscape.cpp)
target_link_libraries(varnoscape PRIVATE vs_startup vs_dialog vs_x11 vs_wayland)

# Every picture is decoded in a process of this program.
add_executable(varnoscape-decoder ${SRC}/apps/varnoscape_decoder.cpp)
target_link_libraries(varnoscape-decoder PRIVATE vs_posix)
add_dependencies(varnoscape varnoscape-decoder)

add_executable(varnoscape-render ${SRC}/apps/varnoscape_render.cpp)
target_link_libraries(varnoscape-render PRIVATE vs_saver vs_posix)
add_dependencies(varnoscape-render varnoscape-decoder)

# The sanitizer builds' programs run end to end too: the libraries' own
# lifetime allocations are not leaks of ours there either.
if(VS_SANITIZE)
  foreach(program varnoscape varnoscape-decoder varnoscape-render)
    target_sources(${program} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/sanitizer_suppressions.cpp)
  endforeach()
endif()

# Sample pictures are drawn by the project's own generator at build time.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_samples.cpp)
  add_executable(make-samples tools/make_samples.cpp)
  target_link_libraries(make-samples PRIVATE vs_posix)
  set(VS_SAMPLES_DIR ${CMAKE_BINARY_DIR}/samples)
  add_custom_command(OUTPUT ${VS_SAMPLES_DIR}/.stamp
    COMMAND make-samples ${VS_SAMPLES_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${VS_SAMPLES_DIR}/.stamp
    DEPENDS make-samples
    COMMENT "Drawing sample pictures")
  add_custom_target(samples ALL DEPENDS ${VS_SAMPLES_DIR}/.stamp)
endif()

# Pictures decoded as the saver decodes them, written as BMPs: the editions'
# pictures compared (tests/e2e/pictures_across_editions.sh).
add_executable(decode-pictures tools/decode_pictures.cpp)
target_link_libraries(decode-pictures PRIVATE vs_offscreen)
add_dependencies(decode-pictures varnoscape-decoder)

# A sheet of the dialog's stock images and a mock-up of the dialog built from
# them, for looking at them: `ninja stock-sheet && ./stock-sheet out.png`.
add_executable(stock-sheet EXCLUDE_FROM_ALL tools/stock_sheet.cpp)
target_link_libraries(stock-sheet PRIVATE vs_dialog vs_posix)

include(packaging/install.cmake)


# The Windows edition's icon file, drawn by the same code as the dialog's
# window icon: `ninja make-icon && ./make-icon src/platform/win32/varnoscape.ico`.
add_executable(make-icon EXCLUDE_FROM_ALL tools/make_icon.cpp)
target_link_libraries(make-icon PRIVATE vs_dialog)
