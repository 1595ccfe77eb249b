// The kernels for the instruction set the whole build targets.
#define SONABEL_KERNEL_NS portable
#define SONABEL_KERNEL_ISA "portable"
#define SONABEL_VEC_WIDTH 4
#define SONABEL_TAPS_IN_REGISTERS 2
#define SONABEL_WIDE_BLOCKS 0
#include "wavelet/WaveletKernelsSimd.inc"
