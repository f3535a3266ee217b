# libFuzzer targets for "kesu.ini" reading and for the texture loaders, and the program
# that writes their seeds. Included by this folder's CMakeLists.txt; built only with
# KESU_FUZZ. The code under test is compiled here again so that it carries the fuzzer's
# coverage instrumentation; the rest comes from the normal libraries.
if(KESU_FUZZ)
  set(fuzzFlags -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

  add_executable(kesu_fuzz_config ${CMAKE_CURRENT_LIST_DIR}/configFuzz.cpp ${CMAKE_SOURCE_DIR}/host/config.cpp)
  target_include_directories(kesu_fuzz_config PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(kesu_fuzz_config PRIVATE ${fuzzFlags})
  target_link_options(kesu_fuzz_config PRIVATE -fsanitize=fuzzer,address,undefined)

  add_executable(kesu_fuzz_texture ${CMAKE_CURRENT_LIST_DIR}/textureFuzz.cpp ${CMAKE_CURRENT_LIST_DIR}/textureFuzzInput.cpp
    ${CMAKE_SOURCE_DIR}/textures/texture.cpp ${CMAKE_SOURCE_DIR}/platform/jpegDecoder.cpp)
  target_include_directories(kesu_fuzz_texture PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(kesu_fuzz_texture PRIVATE ${fuzzFlags})
  target_link_options(kesu_fuzz_texture PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(kesu_fuzz_texture PRIVATE kesu_platform OpenGL::GL)

  add_executable(kesu_fuzz_picture_config_seeds ${CMAKE_CURRENT_LIST_DIR}/pictureConfigSeeds.cpp
    ${CMAKE_CURRENT_LIST_DIR}/textureFuzzInput.cpp)
  target_include_directories(kesu_fuzz_picture_config_seeds PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(kesu_fuzz_picture_config_seeds PRIVATE kesu_platform)

  if(KESU_TESTS)
    # A few seconds of smoke each: the long runs go through `make fuzz`.
    set(moreSeedDir ${CMAKE_CURRENT_BINARY_DIR}/smokeSeeds)
    add_test(NAME fuzz_picture_config_seeds
      COMMAND kesu_fuzz_picture_config_seeds ${moreSeedDir}/config ${moreSeedDir}/texture)
    add_test(NAME fuzz_config_smoke COMMAND kesu_fuzz_config -max_total_time=5 ${moreSeedDir}/config)
    add_test(NAME fuzz_texture_smoke COMMAND kesu_fuzz_texture -max_total_time=5 -rss_limit_mb=2560
      -dict=${CMAKE_CURRENT_LIST_DIR}/texture.dict ${moreSeedDir}/texture)
    set_tests_properties(fuzz_config_smoke fuzz_texture_smoke PROPERTIES
      DEPENDS fuzz_picture_config_seeds TIMEOUT 60
      ENVIRONMENT "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
  endif()
endif()
