# The renderer's tests link its library, and an oracle script checks its
# output with sox and numpy.
target_link_libraries(${name} PRIVATE sonabel_render)
add_test(NAME RendererSoxNumpyOracle
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/render_oracle.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererSoxNumpyOracle PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
# Real SIGINT, SIGTERM and SIGKILL in the middle of a render.
add_test(NAME RendererSignals
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/render_signals.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererSignals PROPERTIES LABELS sonabel_tools_tests TIMEOUT 600)
# The familiar wavelet names against PyWavelets' taps.
add_test(NAME RendererWaveletAliasesPywtOracle
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/alias_oracle.py $<TARGET_FILE:sonabel-render>
                 $<TARGET_FILE:sonabel_wavelet_dump>)
set_tests_properties(RendererWaveletAliasesPywtOracle PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
# Expected listings, compared byte for byte.
target_compile_definitions(${name} PRIVATE SONABEL_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tools/golden")
# The offline path loads no sound-system library; the live path loads it on
# first use and survives its absence.
add_test(NAME RendererLoadsSoundLibrariesOnlyToPlay
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/render_libraries.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererLoadsSoundLibrariesOnlyToPlay PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
