# Build conventions shared by every unit.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra -Wpedantic -Wno-unused-parameter)
  if(STASHWELL_WERROR)
    add_compile_options(-Werror)
  endif()
endif()

if(STASHWELL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(STASHWELL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(STASHWELL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "STASHWELL_FUZZ needs clang")
  endif()
  # Everything is instrumented for coverage; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

set(STASHWELL_FUZZ_SECONDS 20 CACHE STRING "How long ctest runs each fuzz target")

# Adds every immediate subfolder of DIR that has a CMakeLists.txt.
function(stashwell_add_subfolders dir)
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    return()
  endif()
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# stashwell_add_test(NAME SOURCES ... LIBS ... [GUI])
# A GoogleTest program; its tests are discovered into ctest. GUI tests run
# on the offscreen platform. Every test gets its own temporary root.
function(stashwell_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(env "STASHWELL_TEST=1")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(STASHWELL_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  # gtest_discover_tests splits a list-valued ENVIRONMENT property apart, so
  # the environment comes from a launcher, which also serves discovery.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${env})
  include(GoogleTest)
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST)
endfunction()

# stashwell_add_fuzzer(NAME SOURCES ... LIBS ... [CORPUS dir] [SECONDS n])
# Built only in the fuzz configuration; ctest runs it for a bounded time.
function(stashwell_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT STASHWELL_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS ${STASHWELL_FUZZ_SECONDS})
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(workdir ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  # Joined by blanks: the arguments go through the shell as one command line.
  set(args "-max_total_time=${F_SECONDS} -rss_limit_mb=2048 -timeout=10 -print_final_stats=1")
  if(F_CORPUS)
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              sh -c "mkdir -p '${workdir}' && exec '$<TARGET_FILE:${name}>' ${args} '${workdir}' '${F_CORPUS}'")
  else()
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
              sh -c "mkdir -p '${workdir}' && exec '$<TARGET_FILE:${name}>' ${args} '${workdir}'")
  endif()
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# stashwell_add_bench(NAME SOURCES ... LIBS ...)
function(stashwell_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# stashwell_embed(TARGET SYMBOL FILE)
# Compiles FILE into TARGET as stashwell_embedded::SYMBOL (bytes, with a 0
# after them) and SYMBOL_size; the build redoes it when the file changes.
function(stashwell_embed target symbol file)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUT=${out} -DSYMBOL=${symbol} -P ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    COMMENT "Embedding ${file}")
  target_sources(${target} PRIVATE ${out})
endfunction()

# Whether TARGET links Qt, itself or through the project's libraries it links.
function(_stashwell_links_qt target out)
  get_property(known GLOBAL PROPERTY _stashwell_links_qt_${target} SET)
  if(known)
    get_property(result GLOBAL PROPERTY _stashwell_links_qt_${target})
    set(${out} ${result} PARENT_SCOPE)
    return()
  endif()
  set_property(GLOBAL PROPERTY _stashwell_links_qt_${target} OFF)
  set(result OFF)
  get_target_property(links ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(item IN LISTS links interface)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item MATCHES "^Qt6?::")
      set(result ON)
      break()
    endif()
    if(TARGET ${item})
      get_target_property(imported ${item} IMPORTED)
      if(NOT imported)
        _stashwell_links_qt(${item} sub)
        if(sub)
          set(result ON)
          break()
        endif()
      endif()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY _stashwell_links_qt_${target} ${result})
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Every target defined under the current source folder, in OUT.
function(_stashwell_all_targets out)
  set(all)
  set(dirs ${CMAKE_CURRENT_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    list(APPEND all ${targets})
  endwhile()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# AUTOMOC stays on only for the targets that link Qt: elsewhere it adds a
# scan and an empty compile per target and nothing else.
function(stashwell_automoc_only_with_qt)
  _stashwell_all_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(automoc ${target} AUTOMOC)
    if(automoc AND NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY")
      _stashwell_links_qt(${target} qt)
      if(NOT qt)
        set_target_properties(${target} PROPERTIES AUTOMOC OFF)
      endif()
    endif()
  endforeach()
endfunction()

# moc reads every header a class's header includes, down to the standard
# library's, and spends half its time there; no class here needs a macro of
# the compiler's own folders. Every AUTOMOC target runs moc without them
# (the generated code is the same).
function(stashwell_moc_without_compiler_folders)
  get_target_property(moc Qt6::moc IMPORTED_LOCATION)
  set(patterns)
  foreach(dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
    list(APPEND patterns "-I${dir}")
  endforeach()
  list(JOIN patterns "|" patterns)
  set(wrapper ${CMAKE_BINARY_DIR}/moc-without-compiler-folders)
  file(CONFIGURE OUTPUT ${wrapper} CONTENT [=[#!/bin/sh
# Generated by CMake: moc without the compiler's own include folders.
for arg do
  shift
  case "$arg" in
    @patterns@) ;;
    *) set -- "$@" "$arg" ;;
  esac
done
exec "@moc@" "$@"
]=] @ONLY)
  file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
  _stashwell_all_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(automoc ${target} AUTOMOC)
    if(automoc AND NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY")
      set_target_properties(${target} PROPERTIES AUTOMOC_EXECUTABLE ${wrapper})
    endif()
  endforeach()
endfunction()
