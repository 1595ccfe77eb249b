#include "wavelet/WaveletKernels.h"

namespace sonabel::wavelet_kernels {

namespace portable {
extern const KernelSet kernelSet;
}
#if defined(SONABEL_AVX2_KERNELS)
namespace avx2 {
extern const KernelSet kernelSet;
}
#endif
#if defined(SONABEL_AVX512_KERNELS)
namespace avx512 {
extern const KernelSet kernelSet;
}
#endif

const KernelSet& portableKernels() { return portable::kernelSet; }

const KernelSet* avx2Kernels() {
#if defined(SONABEL_AVX2_KERNELS)
    static const bool usable = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return usable ? &avx2::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet* avx512Kernels() {
#if defined(SONABEL_AVX512_KERNELS)
    static const bool usable = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                               __builtin_cpu_supports("fma");
    return usable ? &avx512::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet& bestKernels() {
    static const KernelSet* best = avx512Kernels()  ? avx512Kernels()
                                   : avx2Kernels() ? avx2Kernels()
                                                   : &portable::kernelSet;
    return *best;
}

// The generic loops as the fastest set builds them.
void forwardGeneric(const float* x, int n, const float* lo, const float* hi, int L, float* approx, float* detail) {
    bestKernels().forwardGeneric(x, n, lo, hi, L, approx, detail);
}

void inverseGeneric(const float* a, const float* d, const float* slo, const float* shi, int L, float* y, int T) {
    bestKernels().inverseGeneric(a, d, slo, shi, L, y, T);
}

} // namespace sonabel::wavelet_kernels
