# cmake -DBRON=<installed folder> -DUIT=<file.nsh> -P Programmabestanden.cmake
# Lists the program's own entries at the top of the installed folder for the
# installer: what it replaces on an upgrade and removes on an uninstall.
file(GLOB _entries RELATIVE "${BRON}" "${BRON}/*")
list(SORT _entries)
set(_text "; Generated from ${BRON}; do not edit.\n")
foreach(_e IN LISTS _entries)
  if(_e MATCHES "[\"$]")
    message(FATAL_ERROR "Unexpected file name in the installed folder: ${_e}")
  endif()
  if(IS_DIRECTORY "${BRON}/${_e}")
    string(APPEND _text "\${ENTRY}Map \"${_e}\"\n")
  else()
    string(APPEND _text "\${ENTRY}Bestand \"${_e}\"\n")
  endif()
endforeach()
file(WRITE "${UIT}" "${_text}")
