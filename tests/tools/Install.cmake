# `cmake --install` into a temporary prefix: programs, desktop entry, icon
# and demo sounds. Needs the whole build, with the interface.
if(TARGET sonabel AND TARGET sonabel_demo_sounds)
  add_test(NAME InstallTree
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/check_install.py ${PROJECT_BINARY_DIR})
  set_tests_properties(InstallTree PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
endif()
