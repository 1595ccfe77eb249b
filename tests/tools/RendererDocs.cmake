# The renderer's manual page against its --help, and its bash completion
# against its listings.
add_test(NAME RendererManPage
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/man_check.py $<TARGET_FILE:sonabel-render>
                 ${PROJECT_SOURCE_DIR}/docs/sonabel-render.1)
add_test(NAME RendererBashCompletion
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/completion_check.py $<TARGET_FILE:sonabel-render>
                 ${PROJECT_SOURCE_DIR}/tools/completion/sonabel-render.bash)
set_tests_properties(RendererManPage RendererBashCompletion PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
