# kesu_library(NAME DIR [EXCLUDE file...] DEPS dep...)
# One static library per source folder, its sources found by glob so that a new unit
# needs no edit here. A folder with no sources yet becomes an interface library.
function(kesu_library name dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;ONLY;DEPS" ${ARGN})
  if(ARG_ONLY)
    set(sources)
    foreach(f ${ARG_ONLY})
      if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/${f})
        list(APPEND sources ${CMAKE_SOURCE_DIR}/${dir}/${f})
      endif()
    endforeach()
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    foreach(f ${ARG_EXCLUDE})
      list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${dir}/${f})
    endforeach()
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kesu_test_code(TARGET)
# The tests' own code: the folders' paths as KESU_SOURCE_DIR and KESU_BINARY_DIR, no
# optimisation (it runs for milliseconds, but GoogleTest's expansions optimised took most of
# the time of both test builds), and one precompiled header of GoogleTest and the standard
# headers most tests include, made once by the test support library and taken by the rest.
function(kesu_test_code target)
  target_compile_definitions(${target} PRIVATE
    KESU_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KESU_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # A folder's tests compile as one unit; GCC then takes each for a header and would warn of
  # every fixture in an unnamed namespace.
  target_compile_options(${target} PRIVATE -O0 -Wno-subobject-linkage)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
  if(target STREQUAL "kesu_test_support")
    target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <algorithm> <cmath> <filesystem> <fstream>
                              <functional> <string> <vector>)
  else()
    target_precompile_headers(${target} REUSE_FROM kesu_test_support)
  endif()
endfunction()

# kesu_test_folder(FOLDER dep...)
# One GoogleTest executable per tests/ sub-folder; every case is registered with ctest
# and runs headless on the offscreen video driver and the dummy audio driver. The folders
# in KESU_QUICK_TEST_FOLDERS carry the label "quick"; with KESU_QUICK_TESTS_ONLY the others
# are not built.
function(kesu_test_folder folder)
  # Each property takes one value here (the discovered tests' properties are passed on as one
  # list), hence one variable each through ENVIRONMENT and ENVIRONMENT_MODIFICATION.
  set(properties ENVIRONMENT SDL_VIDEODRIVER=offscreen ENVIRONMENT_MODIFICATION SDL_AUDIODRIVER=set:dummy)

  # The folders with the longest tests start first in a fresh build tree, where ctest has no
  # timings of its own yet, so that none of them starts last beside an idle processor.
  if(folder MATCHES "^(capture|host|fixedgl|datagen)$")
    list(APPEND properties COST 100)
  endif()
  if(folder IN_LIST KESU_QUICK_TEST_FOLDERS)
    list(APPEND properties LABELS quick)
  elseif(KESU_QUICK_TESTS_ONLY)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target kesu_tests_${folder})
  add_executable(${target} ${sources})
  # The GL the folder's tests draw with: the system's, unless the folder names another.
  set(gl ${KESU_GL})
  if(DEFINED KESU_TEST_FOLDER_GL)
    set(gl ${KESU_TEST_FOLDER_GL})
  endif()
  target_link_libraries(${target} PRIVATE ${ARGN} kesu_test_support ${gl} GTest::gtest GTest::gtest_main)
  kesu_test_code(${target})
  # The sound clock's tests hold the clock to the sound heard within a few milliseconds and the
  # first picture to its music within 25 ms, which a test beside them on a busy processor
  # would push late: they run alone (a PROCESSORS count above ctest's -j takes every slot).
  # The sanitized build leaves those bounds out, and runs them beside the others. The sound
  # server's cases share one server of each kind, so each kind's run in one process.
  set(others "")
  if(folder STREQUAL "platform")
    # Sanitized, they start first: they wait on the music much of their time, which the tests
    # beside them use.
    set(alone COST 500)
    if(NOT KESU_SANITIZE)
      set(alone PROCESSORS 1024)
    endif()
    foreach(kind PulseAudio PipeWire)
      add_test(NAME Servers/SoundServerRun/${kind} COMMAND ${target} --gtest_filter=Servers/SoundServerRun.*/${kind}
               WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
      set_tests_properties(Servers/SoundServerRun/${kind} PROPERTIES ${properties} ${alone} TIMEOUT 300)
    endforeach()
    gtest_discover_tests(${target}
      TEST_FILTER AudioOutput.*
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      PROPERTIES ${properties} ${alone}
      DISCOVERY_TIMEOUT 60)
    set(others "-Servers/*:AudioOutput.*")
  endif()
  gtest_discover_tests(${target}
    TEST_FILTER "${others}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 60)
endfunction()
