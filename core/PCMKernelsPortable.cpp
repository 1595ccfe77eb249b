// The PCM loops for the baseline instruction set of the build.
#define SONABEL_PCM_NS portable
#define SONABEL_PCM_ISA "portable"
#include "core/PCMKernelsSimd.inc"
