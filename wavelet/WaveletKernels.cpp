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
    static const bool usable = __builtin_cpu_supports("avx2");
    return usable ? &avx2::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet* avx512Kernels() {
#if defined(SONABEL_AVX512_KERNELS)
    static const bool usable = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
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

void forwardGeneric(const float* x, int n, const float* lo, const float* hi, int L, float* approx, float* detail) {
    const int M = (n + L - 1) >> 1;
    for (int k = 0; k < M; ++k) {
        float a = 0.0f, d = 0.0f;
        const int first = 2 * k + 2 - L;
        for (int i = 0; i < L; ++i) {
            const int m = first + i;
            if (m >= 0 && m < n) {
                a += lo[i] * x[m];
                d += hi[i] * x[m];
            }
        }
        approx[k] = a;
        detail[k] = d;
    }
}

void inverseGeneric(const float* a, const float* d, const float* slo, const float* shi, int L, float* y, int T) {
    const int H = L / 2;
    for (int t = 0; 2 * t < T; ++t) {
        float e = 0.0f, o = 0.0f;
        for (int m = 0; m < H; ++m) {
            e += slo[2 * m + 1] * a[t + m];
            o += slo[2 * m] * a[t + m];
            e += shi[2 * m + 1] * d[t + m];
            o += shi[2 * m] * d[t + m];
        }
        y[2 * t] = e;
        if (2 * t + 1 < T) y[2 * t + 1] = o;
    }
}

} // namespace sonabel::wavelet_kernels
