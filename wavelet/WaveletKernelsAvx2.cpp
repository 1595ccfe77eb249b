// The kernels again for AVX2 processors (built with -mavx2 on x86 only, and
// chosen at run time). Without AVX2 support this file is empty.
#if defined(SONABEL_AVX2_KERNELS)
#define SONABEL_KERNEL_NS avx2
#define SONABEL_KERNEL_ISA "avx2"
#define SONABEL_VEC_WIDTH 8
#define SONABEL_TAPS_IN_REGISTERS 2
#define SONABEL_WIDE_BLOCKS 0
#define SONABEL_FUSED 1
#include "wavelet/WaveletKernelsSimd.inc"
#endif
