# The display windows once more on a real X server (Xvfb), where windows are
# mapped, painted and grabbed as on a desktop; the pictures land in
# build/screenshots like the offscreen ones.
find_program(SONABEL_XVFB_RUN xvfb-run)
if(SONABEL_XVFB_RUN)
  add_test(NAME ui.DisplayWindowTest.xvfb
           COMMAND ${SONABEL_XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:sonabel_ui_DisplayWindowTest>)
  set_tests_properties(ui.DisplayWindowTest.xvfb PROPERTIES LABELS sonabel_ui_tests
                       ENVIRONMENT "QT_QPA_PLATFORM=xcb;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan_xcb.supp"
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endif()
