# korvex_version_resource(<target>)
#
# Gives an executable the tool's version resource, written from one place:
# the version numbers of the top-level project() and the texts below.
# On Windows the generated .rc is compiled into the executable as usual.
# Elsewhere the .rc goes through the Windows resource compiler all the same,
# the version block is taken out of the .res and placed in the ELF section
# ".korvex_version", where the version reader looks for it.
include_guard(GLOBAL)

# Texts are resource-script string literals in Windows-1252: keep them ASCII
# and write other characters as \x escapes followed by a non-hex character.
set(KORVEX_VR_COMPANY "Zelvo")
set(KORVEX_VR_PRODUCT "Zelvo Korvex\\xAE SQL Server Configuratie")
set(KORVEX_VR_DESCRIPTION "Configuratie van SQL Server-databases en scripts")
set(KORVEX_VR_COPYRIGHT "Copyright \\xA9 Zelvo")
set(KORVEX_VR_COMMENTS "Beheer van databases, scripts en updates")
set(KORVEX_VR_INTERNAL_NAME "KorvexSQL")
set(KORVEX_VR_ORIGINAL_NAME "KorvexSQL.exe")

set(_KORVEX_VR_DIR "${CMAKE_CURRENT_LIST_DIR}")

if(NOT WIN32)
  find_program(KORVEX_WINDRES NAMES x86_64-w64-mingw32-windres windres
    DOC "Windows resource compiler (binutils-mingw-w64-x86-64)")
  find_program(KORVEX_RC_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
endif()

function(korvex_version_resource target)
  # Four numbers, missing ones as 0.
  set(_parts)
  foreach(_p MAJOR MINOR PATCH TWEAK)
    set(_v "${CMAKE_PROJECT_VERSION_${_p}}")
    if(_v STREQUAL "")
      set(_v 0)
    endif()
    list(APPEND _parts ${_v})
  endforeach()
  list(JOIN _parts "," KORVEX_VR_VERSION_COMMAS)
  list(JOIN _parts "." KORVEX_VR_VERSION)

  set(_rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${_KORVEX_VR_DIR}/KorvexSQL.rc.in" "${_rc}" @ONLY NEWLINE_STYLE CRLF)

  if(WIN32)
    target_sources(${target} PRIVATE "${_rc}")
    return()
  endif()

  if(NOT KORVEX_WINDRES)
    message(FATAL_ERROR "korvex_version_resource: no Windows resource compiler found; "
                        "install binutils-mingw-w64-x86-64")
  endif()
  if(NOT KORVEX_RC_PYTHON)
    message(FATAL_ERROR "korvex_version_resource: /usr/bin/python3 not found")
  endif()
  # windres would run the MinGW gcc as preprocessor; the host compiler does
  # the same job.
  set(_res "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.res")
  set(_cpp "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp")
  set(_tool "${_KORVEX_VR_DIR}/../tools/res2versionblock.py")
  string(MAKE_C_IDENTIFIER "korvex_version_block_${target}" _symbol)
  add_custom_command(OUTPUT "${_res}"
    COMMAND "${KORVEX_WINDRES}" "--preprocessor=${CMAKE_C_COMPILER}"
            --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
            -O res -i "${_rc}" -o "${_res}"
    DEPENDS "${_rc}" "${_KORVEX_VR_DIR}/KorvexSQL.rc.in"
    COMMENT "Compiling the version resource of ${target}"
    VERBATIM)
  add_custom_command(OUTPUT "${_cpp}"
    COMMAND "${KORVEX_RC_PYTHON}" "${_tool}" "${_res}" --cpp "${_cpp}"
            --symbol "${_symbol}"
    DEPENDS "${_res}" "${_tool}"
    COMMENT "Embedding the version block of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${_cpp}")
endfunction()
