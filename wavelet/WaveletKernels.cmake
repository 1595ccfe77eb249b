# The transform's arithmetic is built with -O3 in every configuration, and
# without the compiler's own contraction into fused multiply-add: the kernels
# and the generic loops fuse exactly where they say so, and the optimized and
# generic zero-padding algorithms give the same coefficients bit for bit.
set(wavelet_hot_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernels.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsPortable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx2.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx512.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WaveletTransform.cpp)
set_source_files_properties(${wavelet_hot_sources} TARGET_DIRECTORY sonabel_engine PROPERTIES COMPILE_OPTIONS "-O3;-ffp-contract=off")

# A second copy of the vector kernels for AVX2 with FMA, chosen at run time, so the
# default build stays portable and still runs wide on this kind of machine.
option(SONABEL_WAVELET_AVX2 "Build AVX2 wavelet kernels selected at run time (x86)" ON)
# For a build made on and for the user's own machine only.
option(SONABEL_NATIVE "Compile the wavelet kernels with -march=native" OFF)

if(SONABEL_WAVELET_AVX2 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx2.cpp TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_OPTIONS "-mavx2;-mfma")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx2.cpp ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernels.cpp
               TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_DEFINITIONS SONABEL_AVX2_KERNELS)
  # The kernels with AVX-512: 16 wide on long levels, 8 wide with 32 registers on
  # short ones, also chosen at run time. Explicit 512-bit vectors ignore the
  # preferred width, which keeps the compiler's own loops at 256 bits.
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx512.cpp TARGET_DIRECTORY sonabel_engine APPEND PROPERTY
               COMPILE_OPTIONS "-mavx2;-mfma;-mavx512f;-mavx512vl;-mprefer-vector-width=256")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernelsAvx512.cpp ${CMAKE_CURRENT_SOURCE_DIR}/WaveletKernels.cpp
               TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_DEFINITIONS SONABEL_AVX512_KERNELS)
endif()
if(SONABEL_NATIVE)
  set_property(SOURCE ${wavelet_hot_sources} TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_OPTIONS "-march=native")
endif()
