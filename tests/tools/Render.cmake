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
# Formats through libsndfile: empty-chain renders against sox's samples,
# soxi on every output, the handover line and the clip count.
add_test(NAME RendererFormatsSoxOracle
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/format_oracle.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererFormatsSoxOracle PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
# Pipes both ways (checked by sox and Python's wave), what stdout carries,
# where the log goes, and the error texts of golden/errors.txt.
add_test(NAME RendererStreamsSoxPythonOracle
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/stream_oracle.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererStreamsSoxPythonOracle PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
# The offline path loads no sound-system library; the live path loads it on
# first use and survives its absence. libsndfile likewise: loaded only for
# files the WAVE classes cannot handle, and its absence said clearly.
add_test(NAME RendererLoadsSoundLibrariesOnlyToPlay
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/render_libraries.py $<TARGET_FILE:sonabel-render>)
set_tests_properties(RendererLoadsSoundLibrariesOnlyToPlay PROPERTIES LABELS sonabel_tools_tests TIMEOUT 120)
