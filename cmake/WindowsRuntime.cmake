# The Windows build's runtime: the DLLs and Qt plugins the programs load are
# copied into <build>/bin beside KorvexSQL.exe, so that folder runs as it is,
# and installed with it, so `cmake --install` gives the folder to copy to a
# workstation. The libraries come from the prefix of tools/windows/build-sdk.sh.
include_guard(GLOBAL)
if(NOT WIN32)
  return()
endif()

set(_sdk "${KORVEX_WINDOWS_SDK}")
if(NOT _sdk)
  set(_sdk "${QT6_INSTALL_PREFIX}")
endif()
# The libraries and the mingw runtime; the test libraries only serve the tests.
file(GLOB _dlls "${_sdk}/bin/*.dll")
set(_program_dlls ${_dlls})
list(FILTER _program_dlls EXCLUDE REGEX "/(Qt6Test|gtest|gmock)[^/]*\\.dll$")

# The Qt plugins the program uses: the windows platform (offscreen and
# minimal for runs without a desktop), the pictures' jpeg reader, the style.
set(_plugins
  platforms/qwindows.dll platforms/qoffscreen.dll platforms/qminimal.dll
  imageformats/qjpeg.dll styles/qwindowsvistastyle.dll)
set(_plugin_root "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")

set(_out "${CMAKE_BINARY_DIR}/bin")
set(_commands)
foreach(_dll IN LISTS _dlls)
  list(APPEND _commands COMMAND ${CMAKE_COMMAND} -E copy_if_different "${_dll}" "${_out}/")
endforeach()
foreach(_plugin IN LISTS _plugins)
  if(NOT EXISTS "${_plugin_root}/${_plugin}")
    message(FATAL_ERROR "The Qt plugin ${_plugin} is missing from ${_plugin_root}")
  endif()
  get_filename_component(_type "${_plugin}" DIRECTORY)
  list(APPEND _commands
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_out}/${_type}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${_plugin_root}/${_plugin}" "${_out}/${_type}/")
  install(FILES "${_plugin_root}/${_plugin}" DESTINATION "${_type}")
endforeach()
add_custom_target(korvex_windows_runtime ALL ${_commands}
  COMMENT "Copying the DLLs and Qt plugins beside the Windows programs")
install(FILES ${_program_dlls} DESTINATION .)
