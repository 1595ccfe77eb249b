// The 8-wide kernels again for processors with AVX-512VL (built on x86 only,
// chosen at run time): the same vectors and arithmetic as the AVX2 set, but
// with 32 vector registers the taps of short filters stay in registers.
#if defined(SONABEL_AVX512_KERNELS)
#define SONABEL_KERNEL_NS avx512
#define SONABEL_KERNEL_ISA "avx512vl"
#define SONABEL_VEC_WIDTH 8
#define SONABEL_TAPS_IN_REGISTERS 4
#define SONABEL_WIDE_BLOCKS 1
#define SONABEL_FUSED 1
#include "wavelet/WaveletKernelsSimd.inc"
#endif
