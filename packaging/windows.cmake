# The Windows edition: Varnoscape.scr on the Win32 backend, a ZIP of it with
# the README and the licence, and a per-user installer of the same files
# (`cpack` in the build folder makes both; `-G ZIP` or `-G NSIS` one).

vs_library(vs_win32 platform/win32 vs_pictures vs_forms)
target_link_libraries(vs_win32 PUBLIC user32 gdi32 shell32 ole32 oleaut32 uuid windowscodecs
                      comctl32 shlwapi)
# Wide-character calls everywhere, and no min/max macros.
target_compile_definitions(vs_win32 PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                           _WIN32_WINNT=0x0A00)
# The system layer every backend of the edition builds on (the tests'
# offscreen backend too).
add_library(vs_native ALIAS vs_win32)
vs_library(vs_offscreen platform/offscreen vs_native)

set(rc ${SRC}/platform/win32/varnoscape.rc)
add_executable(Varnoscape WIN32 ${SRC}/apps/varnoscape_scr.cpp ${rc})
set_target_properties(Varnoscape PROPERTIES SUFFIX ".scr")
target_link_libraries(Varnoscape PRIVATE vs_startup vs_dialog vs_win32)
# A release carries no symbols: they would more than double the file.
target_link_options(Varnoscape PRIVATE $<$<CONFIG:Release>:-s>)
target_include_directories(Varnoscape PRIVATE ${SRC}/platform/win32)
set_property(SOURCE ${rc} APPEND PROPERTY COMPILE_DEFINITIONS
             "VS_VERSION_NUMBERS=${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0"
             "VS_VERSION_TEXT=\\\"${PROJECT_VERSION}\\\"")
set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
             ${SRC}/platform/win32/varnoscape.ico ${SRC}/platform/win32/varnoscape.manifest)

# Pictures decoded as the saver decodes them, written as BMPs: the editions'
# pictures compared (tests/e2e/pictures_across_editions.sh in the Linux build).
add_executable(decode-pictures tools/decode_pictures.cpp)
target_link_libraries(decode-pictures PRIVATE vs_offscreen)
# It decodes through the saver beside it, as the saver does.
add_dependencies(decode-pictures Varnoscape)

install(TARGETS Varnoscape RUNTIME DESTINATION .)
install(FILES README.md LICENSE DESTINATION .)
set(CPACK_PACKAGE_NAME Varnoscape)
set(CPACK_PACKAGE_VENDOR Varnoscape)
set(CPACK_PACKAGE_FILE_NAME "Varnoscape-${PROJECT_VERSION}-windows")
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The installer is our own script (packaging/varnoscape.nsi, run by Debian's
# makensis, package nsis): CPack's generator stages the files and takes its
# template from packaging/, which hands the script those files and names.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(CPACK_VS_INSTALLER_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/packaging/varnoscape.nsi)
set(CPACK_VS_ICON ${SRC}/platform/win32/varnoscape.ico)
set(CPACK_VS_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
# The installer's own name: CPack reads this file once per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack-options.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} @ONLY CONTENT [[
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "Varnoscape-@PROJECT_VERSION@-setup")
endif()
]])
include(CPack)

# The end-to-end tests' stand-in for the control panel's preview window.
if(VS_TESTS)
  add_executable(e2e-host-window WIN32 tests/e2e/tools/win32_host_window.cpp)
  # A GUI program that still prints the handle to whoever started it.
  target_link_options(e2e-host-window PRIVATE -mconsole)
endif()

# What the picture decoder process costs under Wine (or on Windows):
# scripts/wine-run.sh build-windows/picture-decoder-bench.exe [repetitions].
add_executable(picture-decoder-bench bench/win32/picture_decoder_bench.cpp)
target_link_libraries(picture-decoder-bench PRIVATE vs_offscreen)
add_dependencies(picture-decoder-bench Varnoscape)
