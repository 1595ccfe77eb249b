# The filter box's stress test also runs under ThreadSanitizer (make tsan),
# which must not look into the uninstrumented Qt libraries.
set_tests_properties(ui.FilterBoxStressTest PROPERTIES LABELS "sonabel_ui_tests;sonabel_ui_stress")
if(SONABEL_SANITIZE MATCHES "thread")
  set_tests_properties(ui.FilterBoxStressTest PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tsan_qt.supp")
endif()
