# The screenshot test once more under Xvfb with the xcb platform; the
# pictures land in build/screenshots/. Skipped (77) without xvfb-run.
add_test(NAME ui.ScreenshotTest.xvfb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/xvfb_screenshots.sh $<TARGET_FILE:sonabel_ui_ScreenshotTest>
                 ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(ui.ScreenshotTest.xvfb PROPERTIES LABELS sonabel_ui_tests SKIP_RETURN_CODE 77
                     WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
