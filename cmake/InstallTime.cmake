# Run by `cmake --install` after the files are in place (see Install.cmake):
# writes what depends on the prefix and sets up the root.
set(_prefix "${CMAKE_INSTALL_PREFIX}")
set(_dest "$ENV{DESTDIR}")
if(IS_ABSOLUTE "${STASHWELL_PROGRAM_DIR}")
  set(_programdir "${STASHWELL_PROGRAM_DIR}")
else()
  set(_programdir "${_prefix}/${STASHWELL_PROGRAM_DIR}")
endif()
get_filename_component(_programdir "${_programdir}" ABSOLUTE)
# The root holding the Windows folders and the registry is the program folder's parent.
get_filename_component(_root "${_programdir}" DIRECTORY)

set(STASHWELL_PC_PREFIX "${_prefix}")
set(PROJECT_VERSION "${STASHWELL_VERSION}")
if(EXISTS "${_dest}${_prefix}/include/slw32.h")
  message(STATUS "Installing: ${_dest}${_prefix}/lib/pkgconfig/slw32.pc")
  configure_file("${STASHWELL_DESKTOP_SRC}/slw32.pc.in" "${_dest}${_prefix}/lib/pkgconfig/slw32.pc" @ONLY)
endif()

# Exec arguments quoted as desktop entries quote them: "\", """, "`" and "$"
# escaped inside double quotes, then "\" doubled for the entry's string.
function(desktop_quote out text)
  string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" text "${text}")
  string(REPLACE "\\" "\\\\" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()
desktop_quote(STASHWELL_DESKTOP_ROOT_ARG "STASHWELL_ROOT=${_root}")
foreach(_p keldro vtxcfg32)
  if(EXISTS "${_dest}${_programdir}/${_p}")
    desktop_quote(STASHWELL_DESKTOP_PROGRAM "${_programdir}/${_p}")
    set(_entry "${_dest}${_prefix}/share/applications/stashwell-${_p}.desktop")
    message(STATUS "Installing: ${_entry}")
    configure_file("${STASHWELL_DESKTOP_SRC}/${_p}.desktop.in" "${_entry}" @ONLY)
  endif()
endforeach()

# A package staged under DESTDIR is set up on the machine it lands on.
if(_dest STREQUAL "" AND EXISTS "${_programdir}/stashwell-setup")
  set(ENV{STASHWELL_ROOT} "${_root}")
  execute_process(COMMAND "${_programdir}/stashwell-setup" "${_prefix}/lib" RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "stashwell-setup failed on ${_root}")
  endif()
endif()
