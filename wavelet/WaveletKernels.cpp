#include "wavelet/WaveletKernels.h"

#include "core/CpuFeatures.h"

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
    return CpuFeatures::hasAvx2() ? &avx2::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet* avx512Kernels() {
#if defined(SONABEL_AVX512_KERNELS)
    return CpuFeatures::hasAvx512() ? &avx512::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet& bestKernels() {
    static const KernelSet* best = CpuFeatures::choose(&portable::kernelSet, avx2Kernels(), avx512Kernels());
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
