# The WAVE reader's fuzz target, built with clang's libFuzzer whatever
# compiler builds the rest: each source is compiled by clang++ directly with
# coverage and AddressSanitizer/UndefinedBehaviorSanitizer, then linked with
# the fuzzer's main. Skipped, with a note, when clang or libFuzzer is missing.

find_program(SONABEL_CLANGXX NAMES clang++ clang++-14)
set(fuzz_runtime "")
if(SONABEL_CLANGXX)
  execute_process(COMMAND ${SONABEL_CLANGXX} --print-runtime-dir OUTPUT_VARIABLE fuzz_runtime_dir
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(EXISTS "${fuzz_runtime_dir}/libclang_rt.fuzzer-x86_64.a" OR EXISTS "${fuzz_runtime_dir}/libclang_rt.fuzzer.a")
    set(fuzz_runtime "${fuzz_runtime_dir}")
  endif()
endif()

if(NOT fuzz_runtime)
  message(STATUS "clang++ with libFuzzer not found: the WAVE reader fuzz target is not built")
  return()
endif()

set(fuzz_name sonabel_wave_fuzzer)
set(fuzz_dir ${CMAKE_CURRENT_BINARY_DIR}/${fuzz_name}.dir)
set(fuzz_flags -std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined
               -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wpedantic -I${PROJECT_SOURCE_DIR})
if(SONABEL_WERROR)
  list(APPEND fuzz_flags -Werror)
endif()

# What the reader needs: the core, the WAVE format and the reader.
file(GLOB fuzz_core_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/core/*.cpp)
set(fuzz_sources ${fuzz_core_sources} ${PROJECT_SOURCE_DIR}/io/WaveFileFormat.cpp
                 ${PROJECT_SOURCE_DIR}/io/WaveFileReader.cpp ${CMAKE_CURRENT_SOURCE_DIR}/WaveFileReaderFuzzer.cpp)

set(fuzz_objects "")
foreach(source ${fuzz_sources})
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${source})
  string(REPLACE "/" "_" obj_name "${rel}")
  set(obj ${fuzz_dir}/${obj_name}.o)
  # Coverage guides the fuzzer through the reader; the core (codec loops,
  # logging) is only sanitized, which keeps the runs fast.
  set(coverage "")
  if(NOT rel MATCHES "^core/")
    set(coverage -fsanitize=fuzzer-no-link)
  endif()
  add_custom_command(
    OUTPUT ${obj}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${fuzz_dir}
    COMMAND ${SONABEL_CLANGXX} ${fuzz_flags} ${coverage} -MD -MF ${obj}.d -c ${source} -o ${obj}
    DEPENDS ${source}
    DEPFILE ${obj}.d
    COMMENT "Building fuzz object ${rel}"
    VERBATIM)
  list(APPEND fuzz_objects ${obj})
endforeach()

add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${fuzz_name}
  COMMAND ${SONABEL_CLANGXX} -fsanitize=fuzzer,address,undefined -pthread ${fuzz_objects}
          -o ${CMAKE_CURRENT_BINARY_DIR}/${fuzz_name}
  DEPENDS ${fuzz_objects}
  COMMENT "Linking ${fuzz_name}"
  VERBATIM)
add_custom_target(sonabel_wave_fuzz ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${fuzz_name})

# `cmake --build <dir> --target sonabel_wave_fuzz` builds just this.

# The CI smoke: a short run from a fresh seed corpus.
add_test(NAME wave_fuzz_smoke
         COMMAND ${PROJECT_SOURCE_DIR}/fuzz/run-wave-fuzzer.sh ${CMAKE_CURRENT_BINARY_DIR}/${fuzz_name} 20
                 ${CMAKE_CURRENT_BINARY_DIR}/wave-fuzz-smoke)
set_tests_properties(wave_fuzz_smoke PROPERTIES LABELS fuzz TIMEOUT 90)
