// The kernels for the instruction set the whole build targets. They multiply,
// then add: a fused multiply-add per lane would go through the C library's
// fmaf on processors without the instruction. Their results agree with the
// fused sets' within rounding, not bit for bit.
#define SONABEL_KERNEL_NS portable
#define SONABEL_KERNEL_ISA "portable"
#define SONABEL_VEC_WIDTH 4
#define SONABEL_TAPS_IN_REGISTERS 2
#define SONABEL_WIDE_BLOCKS 0
#define SONABEL_FUSED 0
#include "wavelet/WaveletKernelsSimd.inc"
