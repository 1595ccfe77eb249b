// The PCM loops again for AVX2 processors (built with -mavx2 on x86 only,
// and chosen at run time). Without AVX2 support this file is empty.
#if defined(SONABEL_PCM_AVX2_KERNELS)
#define SONABEL_PCM_NS avx2
#define SONABEL_PCM_ISA "avx2"
#include "core/PCMKernelsSimd.inc"
#endif
