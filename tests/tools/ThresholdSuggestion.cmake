# --suggest-threshold's noise level and threshold against numpy and PyWavelets.
add_test(NAME RendererThresholdSuggestionNumpyOracle
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/threshold_oracle.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererThresholdSuggestionNumpyOracle PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
