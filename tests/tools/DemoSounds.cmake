# The demo sounds: format (soxi and Python's wave module), content, the
# seamless loop, repeatability and the up-to-date rule.
add_test(NAME DemoSounds
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/check_demo_sounds.py
                 ${PROJECT_SOURCE_DIR}/tools/make_demo_sounds.sh)
set_tests_properties(DemoSounds PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
