# sonabel-render: runs a filter chain over a WAVE file on the engine.
file(GLOB render_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/render/*.cpp)
list(FILTER render_sources EXCLUDE REGEX "/main\\.cpp$")
add_library(sonabel_render STATIC ${render_sources})
target_include_directories(sonabel_render PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sonabel_render PUBLIC sonabel_engine PRIVATE sonabel_warnings)
add_executable(sonabel-render ${CMAKE_CURRENT_LIST_DIR}/render/main.cpp)
target_link_libraries(sonabel-render PRIVATE sonabel_render sonabel_warnings)
# The C++ runtime is linked into the renderer rather than loaded: loading
# and relocating libstdc++ is about a millisecond of every start. Its
# symbols stay hidden in the program, so the sound-system library that
# --play loads (and RtAudio under it) binds to the system's libstdc++ as
# before. Not under the sanitizers, which replace the allocation operators.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT SONABEL_SANITIZE)
  target_link_options(sonabel-render PRIVATE -static-libstdc++ -static-libgcc
                      LINKER:--exclude-libs,libstdc++.a:libgcc.a:libgcc_eh.a)
endif()
install(TARGETS sonabel-render RUNTIME DESTINATION bin)
target_compile_definitions(sonabel_render PRIVATE SONABEL_VERSION="${PROJECT_VERSION}")
# Its manual page and its bash completion (bash-completion finds a command's
# file by the command's name).
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/docs/sonabel-render.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/completion/sonabel-render.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME sonabel-render)
