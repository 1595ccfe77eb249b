# PyWavelets as the external oracle: python scripts drive a small helper that
# prints our filter banks and coefficients. Run with Debian's python3, which
# has python3-pywt and numpy.
add_executable(sonabel_wavelet_dump ${PROJECT_SOURCE_DIR}/tests/wavelet/oracle/WaveletDump.cpp)
target_link_libraries(sonabel_wavelet_dump PRIVATE sonabel_engine sonabel_warnings)

# Each script runs twice: with the kernels this processor gets, and with the
# portable set, which rounds differently but must meet the same tolerances.
foreach(script pywt_oracle padding_reference)
  foreach(kernels best portable)
    add_test(NAME wavelet_${script}_${kernels}
             COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/wavelet/oracle/${script}.py
                     $<TARGET_FILE:sonabel_wavelet_dump> ${kernels})
    set_tests_properties(wavelet_${script}_${kernels} PROPERTIES LABELS sonabel_wavelet_oracle TIMEOUT 300)
  endforeach()
endforeach()
