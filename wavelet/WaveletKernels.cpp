#include "wavelet/WaveletKernels.h"

#include <cmath>

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

// On x86 Linux the generic loops are built twice, with and without the
// processor's fused multiply-add, and the loader picks the one that runs
// here; without it std::fma is the C library's (slower, same results).
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define SONABEL_FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define SONABEL_FMA_CLONES
#endif

SONABEL_FMA_CLONES
void forwardGeneric(const float* x, int n, const float* lo, const float* hi, int L, float* approx, float* detail) {
    const int M = (n + L - 1) >> 1;
    for (int k = 0; k < M; ++k) {
        float a = 0.0f, d = 0.0f;
        const int first = 2 * k + 2 - L;
        for (int i = 0; i < L; ++i) {
            const int m = first + i;
            const float v = m >= 0 && m < n ? x[m] : 0.0f;
            a = std::fma(lo[i], v, a);
            d = std::fma(hi[i], v, d);
        }
        approx[k] = a;
        detail[k] = d;
    }
}

SONABEL_FMA_CLONES
void inverseGeneric(const float* a, const float* d, const float* slo, const float* shi, int L, float* y, int T) {
    const int H = L / 2;
    for (int t = 0; 2 * t < T; ++t) {
        float e = 0.0f, o = 0.0f;
        for (int m = 0; m < H; ++m) {
            e = std::fma(slo[2 * m + 1], a[t + m], e);
            o = std::fma(slo[2 * m], a[t + m], o);
            e = std::fma(shi[2 * m + 1], d[t + m], e);
            o = std::fma(shi[2 * m], d[t + m], o);
        }
        y[2 * t] = e;
        if (2 * t + 1 < T) y[2 * t + 1] = o;
    }
}

} // namespace sonabel::wavelet_kernels
