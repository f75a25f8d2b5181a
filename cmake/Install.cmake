# The install: one `cmake --install` lays out, under its prefix,
#   <program folder>      keldro, vtxcfg32, the engine, SLW32 (with its message
#                         library) and stashwell-setup side by side; keldro's
#                         help pages in KELDRO/
#                         (STASHWELL_PROGRAM_DIR, by default share/stashwell/PROGRAM,
#                         so the root holding settings and registry is its parent)
#   lib/                  libSLW32.so (versioned, with its soname links), its message
#                         library, the locale library files, pkgconfig/slw32.pc
#   include/slw32.h
#   share/applications/   desktop entries; share/icons/hicolor/scalable/apps/ their icons
# and then runs the first set-up on the root, which writes only what is missing.

set(STASHWELL_PROGRAM_DIR "share/stashwell/PROGRAM" CACHE STRING
    "Program folder, relative to the install prefix or absolute")

if(TARGET keldro OR TARGET vtxcfg32)
  set(_programs ORBEX32 stashwell-setup)
  foreach(t keldro vtxcfg32)
    if(TARGET ${t})
      list(APPEND _programs ${t})
    endif()
  endforeach()
  install(TARGETS ${_programs} RUNTIME DESTINATION ${STASHWELL_PROGRAM_DIR}
                                LIBRARY DESTINATION ${STASHWELL_PROGRAM_DIR})
endif()

# keldro's help: the folder KELDRO beside the program, its contents in
# index.html and one page per window's help keyword.
if(TARGET keldro)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help/KELDRO DESTINATION ${STASHWELL_PROGRAM_DIR})
endif()

if(TARGET SLW32)
  set_target_properties(SLW32 PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS SLW32 SLW32009 LIBRARY DESTINATION lib)
  # The engine loads SLW32 from its own folder: a copy beside it, with the
  # message library; the locale registration keeps naming the files in lib/.
  if(TARGET ORBEX32 AND (TARGET keldro OR TARGET vtxcfg32))
    install(TARGETS SLW32 SLW32009 LIBRARY DESTINATION ${STASHWELL_PROGRAM_DIR})
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/locale/include/slw32.h DESTINATION include)
  # The shipped locale library files, where the build writes them beside the library.
  foreach(sll LOCALE.SLL USA.SLL)
    install(FILES ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/${sll} DESTINATION lib OPTIONAL)
  endforeach()
endif()

set(_desktop_src ${CMAKE_SOURCE_DIR}/resources/desktop)
if(TARGET keldro OR TARGET vtxcfg32)
  install(FILES ${_desktop_src}/stashwell-keldro.svg ${_desktop_src}/stashwell-vtxcfg32.svg
          DESTINATION share/icons/hicolor/scalable/apps)
endif()

# What depends on the prefix given to `cmake --install --prefix` is written at
# install time: the pkg-config file, the desktop entries, and the set-up run.
install(CODE "set(STASHWELL_PROGRAM_DIR \"${STASHWELL_PROGRAM_DIR}\")
set(STASHWELL_DESKTOP_SRC \"${_desktop_src}\")
set(STASHWELL_VERSION \"${PROJECT_VERSION}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallTime.cmake)
