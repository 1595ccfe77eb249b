// The PCM loops with 512-bit vectors for AVX-512 (F, VL, BW) processors,
// chosen at run time. Without AVX-512 support this file is empty.
#if defined(SONABEL_PCM_AVX512_KERNELS)
#define SONABEL_PCM_NS avx512
#define SONABEL_PCM_ISA "avx512"
#include "core/PCMKernelsSimd.inc"
#endif
