# SONABEL_SANITIZE=address,undefined or thread instruments every target.
if(SONABEL_SANITIZE)
  if(NOT SONABEL_SANITIZE MATCHES "^(address,undefined|undefined,address|address|undefined|thread)$")
    message(FATAL_ERROR "SONABEL_SANITIZE must be address,undefined or thread, not '${SONABEL_SANITIZE}'")
  endif()
  add_compile_options(-fsanitize=${SONABEL_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${SONABEL_SANITIZE})
  # GCC's flow analysis sees through sanitizer instrumentation badly and
  # warns about the standard library; the instrumented build checks that anyway.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  if(SONABEL_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
