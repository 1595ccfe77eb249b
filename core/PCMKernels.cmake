# The PCM loops are built with -O3 in every configuration and without
# contraction into fused multiply-add, so every set mixes with the same two
# roundings. -fno-trapping-math lets the compiler turn the clip and rounding
# selects into vector blends (it changes no value, only which floating-point
# exception flags may be raised, which nothing here reads). The AVX2 and
# AVX-512 copies are chosen at run time.
set(pcm_sources ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsPortable.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx2.cpp
                ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx512.cpp)
set_source_files_properties(${pcm_sources} TARGET_DIRECTORY sonabel_engine PROPERTIES COMPILE_OPTIONS "-O3;-ffp-contract=off;-fno-trapping-math")

option(SONABEL_PCM_SIMD "Build AVX2 and AVX-512 PCM loops selected at run time (x86)" ON)
if(SONABEL_PCM_SIMD AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx2.cpp TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_OPTIONS "-mavx2")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx2.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernels.cpp
               TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_DEFINITIONS SONABEL_PCM_AVX2_KERNELS)
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx512.cpp TARGET_DIRECTORY sonabel_engine APPEND PROPERTY
               COMPILE_OPTIONS "-mavx2;-mavx512f;-mavx512vl;-mavx512bw;-mprefer-vector-width=512")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernelsAvx512.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PCMKernels.cpp
               TARGET_DIRECTORY sonabel_engine APPEND PROPERTY COMPILE_DEFINITIONS SONABEL_PCM_AVX512_KERNELS)
endif()
