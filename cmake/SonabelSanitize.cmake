# SONABEL_SANITIZE=address,undefined or thread instruments every target.
if(SONABEL_SANITIZE)
  if(NOT SONABEL_SANITIZE MATCHES "^(address,undefined|undefined,address|address|undefined|thread)$")
    message(FATAL_ERROR "SONABEL_SANITIZE must be address,undefined or thread, not '${SONABEL_SANITIZE}'")
  endif()
  add_compile_options(-fsanitize=${SONABEL_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${SONABEL_SANITIZE})
  # Under the sanitizers GCC sees uninitialized members inside std::regex
  # and std::function, and a mismatch in the allocation test's replaced
  # operator new (malloc) and delete (free): false positives that would stop
  # the -Werror build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized -Wno-mismatched-new-delete)
  endif()
  if(SONABEL_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
