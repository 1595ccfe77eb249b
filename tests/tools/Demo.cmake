# The demo script end to end, and the Makefile's entry points (plain make,
# make demo, make deps as a user).
add_test(NAME DemoScript
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/demo_check.py $<TARGET_FILE:sonabel-render>
                 ${PROJECT_SOURCE_DIR}/tools/demo.sh)
add_test(NAME MakeTargets COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_check.py ${PROJECT_SOURCE_DIR})
set_tests_properties(DemoScript MakeTargets PROPERTIES LABELS sonabel_tools_tests TIMEOUT 600)
