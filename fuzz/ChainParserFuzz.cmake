# The command line and chain file parser's fuzz target, built like the WAVE
# reader's: every source compiled by clang++ directly with AddressSanitizer
# and UndefinedBehaviorSanitizer, coverage only where the parsing is (the
# parser, the options, the fuzzer), then linked with libFuzzer's main.
# `cmake --build <dir> --target sonabel_chain_fuzz` builds just this.
# Skipped, with a note, when clang or libFuzzer is missing.

find_program(SONABEL_CLANGXX NAMES clang++ clang++-14)
set(chain_fuzz_runtime "")
if(SONABEL_CLANGXX)
  execute_process(COMMAND ${SONABEL_CLANGXX} --print-runtime-dir OUTPUT_VARIABLE chain_fuzz_runtime_dir
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(EXISTS "${chain_fuzz_runtime_dir}/libclang_rt.fuzzer-x86_64.a" OR EXISTS "${chain_fuzz_runtime_dir}/libclang_rt.fuzzer.a")
    set(chain_fuzz_runtime "${chain_fuzz_runtime_dir}")
  endif()
endif()

if(NOT chain_fuzz_runtime)
  message(STATUS "clang++ with libFuzzer not found: the chain parser fuzz target is not built")
  return()
endif()

set(chain_fuzz_name sonabel_chain_fuzzer)
set(chain_fuzz_dir ${CMAKE_CURRENT_BINARY_DIR}/${chain_fuzz_name}.dir)
set(chain_fuzz_flags -std=c++20 -g -fno-omit-frame-pointer -fsanitize=address,undefined
                     -fno-sanitize-recover=undefined -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
                     -Wpedantic -I${PROJECT_SOURCE_DIR} -I${PROJECT_SOURCE_DIR}/tools)
if(SONABEL_WERROR)
  list(APPEND chain_fuzz_flags -Werror)
endif()

# The catalogue's filters need the core and the wavelet code, nothing of
# the engine's devices or files.
file(GLOB chain_fuzz_library CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/core/*.cpp ${PROJECT_SOURCE_DIR}/wavelet/*.cpp
     ${PROJECT_SOURCE_DIR}/filters/*.cpp)
set(chain_fuzz_covered ${PROJECT_SOURCE_DIR}/filters/FilterChainFile.cpp ${PROJECT_SOURCE_DIR}/tools/render/RenderOptions.cpp
                       ${CMAKE_CURRENT_SOURCE_DIR}/ChainParserFuzzer.cpp)
# The options name sample types and containers through SndFileFormat.
set(chain_fuzz_sources ${chain_fuzz_library} ${PROJECT_SOURCE_DIR}/tools/render/RenderOptions.cpp
                       ${PROJECT_SOURCE_DIR}/io/SndFileFormat.cpp ${PROJECT_SOURCE_DIR}/io/SndFileLibrary.cpp
                       ${PROJECT_SOURCE_DIR}/io/SharedLibrary.cpp
                       ${PROJECT_SOURCE_DIR}/io/WaveFileFormat.cpp
                       ${CMAKE_CURRENT_SOURCE_DIR}/ChainParserFuzzer.cpp)

set(chain_fuzz_objects "")
foreach(source ${chain_fuzz_sources})
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${source})
  string(REPLACE "/" "_" obj_name "${rel}")
  set(obj ${chain_fuzz_dir}/${obj_name}.o)
  # Optimized throughout: at -O1 the Delay filter clears its ring in a
  # checked loop (7 ms a filter). The filters are sanitized, not traced. The
  # parser's comparisons are not traced either: the "did you mean" distances
  # compare in their inner loop, which made a mistyped name cost 1.5 ms; the
  # dictionary gives the names that tracing would find.
  set(coverage -O2)
  if(source MATCHES "FilterChainFile")
    set(coverage -O2 -fsanitize-coverage=inline-8bit-counters,pc-table)
  elseif(source IN_LIST chain_fuzz_covered)
    set(coverage -O2 -fsanitize=fuzzer-no-link)
  endif()
  add_custom_command(
    OUTPUT ${obj}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${chain_fuzz_dir}
    COMMAND ${SONABEL_CLANGXX} ${chain_fuzz_flags} ${coverage} -MD -MF ${obj}.d -c ${source} -o ${obj}
    DEPENDS ${source}
    DEPFILE ${obj}.d
    COMMENT "Building fuzz object ${rel}"
    VERBATIM)
  list(APPEND chain_fuzz_objects ${obj})
endforeach()

add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${chain_fuzz_name}
  COMMAND ${SONABEL_CLANGXX} -fsanitize=fuzzer,address,undefined -pthread ${chain_fuzz_objects}
          -o ${CMAKE_CURRENT_BINARY_DIR}/${chain_fuzz_name}
  DEPENDS ${chain_fuzz_objects}
  COMMENT "Linking ${chain_fuzz_name}"
  VERBATIM)
add_custom_target(sonabel_chain_fuzz ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${chain_fuzz_name})

# The CI smoke: a short run with the grammar's dictionary.
add_test(NAME chain_fuzz_smoke
         COMMAND ${PROJECT_SOURCE_DIR}/fuzz/run-chain-fuzzer.sh ${CMAKE_CURRENT_BINARY_DIR}/${chain_fuzz_name} 20000
                 ${CMAKE_CURRENT_BINARY_DIR}/chain-fuzz-smoke)
set_tests_properties(chain_fuzz_smoke PROPERTIES LABELS fuzz TIMEOUT 300)
