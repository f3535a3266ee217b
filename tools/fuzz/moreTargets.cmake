# libFuzzer targets for "kesu.ini" reading and for the texture loaders, and the program
# that writes their seeds; `make fuzz` (scripts/fuzz.sh) builds and runs them. Included by
# this folder's CMakeLists.txt; built only with KESU_FUZZ. The code under test is compiled
# here again so that it carries the fuzzer's coverage instrumentation; the rest comes from
# the normal libraries.
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
endif()
