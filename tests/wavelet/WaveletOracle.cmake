# PyWavelets as the external oracle: python scripts drive a small helper that
# prints our filter banks and coefficients. Run with Debian's python3, which
# has python3-pywt and numpy.
add_executable(sonabel_wavelet_dump ${PROJECT_SOURCE_DIR}/tests/wavelet/oracle/WaveletDump.cpp)
target_link_libraries(sonabel_wavelet_dump PRIVATE sonabel_engine sonabel_warnings)

foreach(script pywt_oracle padding_reference)
  add_test(NAME wavelet_${script}
           COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/wavelet/oracle/${script}.py
                   $<TARGET_FILE:sonabel_wavelet_dump>)
  set_tests_properties(wavelet_${script} PROPERTIES LABELS sonabel_wavelet_oracle TIMEOUT 300)
endforeach()
