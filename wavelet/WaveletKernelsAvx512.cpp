// The kernels again for processors with AVX-512VL (built on x86 only, chosen
// at run time), in two widths: 16 lanes for long levels, and the same 8
// lanes and arithmetic as the AVX2 set for short ones, where a 16-wide
// block would mostly compute padding. With 32 vector registers the taps of
// short filters stay in registers.
#if defined(SONABEL_AVX512_KERNELS)
#define SONABEL_KERNEL_NS avx512wide
#define SONABEL_KERNEL_ISA "avx512f"
#define SONABEL_VEC_WIDTH 16
#define SONABEL_TAPS_IN_REGISTERS 4
#define SONABEL_WIDE_BLOCKS 1
#define SONABEL_FUSED 1
// The wide blocks shift each row of inputs in registers from tap to tap
// rather than load it again at every offset.
#define SONABEL_SHIFTED_WINDOWS 1
#include "wavelet/WaveletKernelsSimd.inc"
#undef SONABEL_SHIFTED_WINDOWS
#undef SONABEL_KERNEL_NS
#undef SONABEL_KERNEL_ISA
#undef SONABEL_VEC_WIDTH

#define SONABEL_KERNEL_NS avx512
#define SONABEL_KERNEL_ISA "avx512vl"
#define SONABEL_VEC_WIDTH 8
// Taps in registers, wide blocks and fused arithmetic as above. Levels of
// this many outputs or more run 16 wide: 64 for filters of up to 8 taps,
// 32 for longer ones, whose many taps per output keep the 16 lanes busy.
#define SONABEL_WIDER_NS avx512wide
#define SONABEL_WIDER_FROM 64
#define SONABEL_WIDER_FROM_LONG 32
#include "wavelet/WaveletKernelsSimd.inc"
#endif
