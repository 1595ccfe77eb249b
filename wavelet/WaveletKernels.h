#pragma once
// The per-level loops of the wavelet transform, as free functions over
// caller-owned float arrays. Notation: L = filter length (even, 2..50),
// H = L / 2, lo/hi = analysis filters, slo/shi = synthesis filters.
//
// One level of the forward transform of x[0..n-1], M = (n + L - 1) >> 1:
//     approx[k] = sum_{i=0}^{L-1} lo[i] * x~[2k + 2 - L + i]
//     detail[k] = sum_{i=0}^{L-1} hi[i] * x~[2k + 2 - L + i]
// where x~ extends x past its ends. The fast form works on the even and odd
// phases of x~ (even[j] = x~[2j + 2 - L], odd[j] = x~[2j + 3 - L]):
//     approx[k] = sum_{m=0}^{H-1} lo[2m] * even[k+m] + lo[2m+1] * odd[k+m]
// Every output adds its terms in the order i = 0..L-1, starting from +0. The
// fused sets (AVX2, AVX-512VL) add each with one fused multiply-add (one
// rounding, the same result on every processor); the portable set rounds
// the product and then the sum. Each set's generic loops round as its
// kernels do, so within a set the fast form gives bit for bit what the
// generic form gives, and the fused sets agree bit for bit with each other.
// The generic form tests the bounds per tap and takes a padded zero for a
// tap outside the input, as the fast form reads one.
//
// One level of the inverse (the transpose), T outputs from M = (T+L-1)>>1
// approximations a and details d, summed the same way, m = 0..H-1 in order:
//     y[2t]   = sum_{m=0}^{H-1} slo[2m+1] a[t+m] + shi[2m+1] d[t+m]
//     y[2t+1] = sum_{m=0}^{H-1} slo[2m]   a[t+m] + shi[2m]   d[t+m]   (2t+1 < T)

namespace sonabel::wavelet_kernels {

// Forward level from the phases: count outputs, even/odd hold count + H - 1.
using ForwardPhasesFn = void (*)(const float* even, const float* odd, const float* lo, const float* hi,
                                 float* approx, float* detail, int count);
// Forward zero padding level writing the details and the next level's phases.
using ForwardZeroFn = void (*)(const float* even, const float* odd, const float* lo, const float* hi, float* detail,
                               float* nextEven, float* nextOdd, int M);
// Inverse level: T outputs into y.
using InverseFn = void (*)(const float* a, const float* d, const float* slo, const float* shi, float* y, int T);

struct KernelSet {
    const char* isa;
    ForwardPhasesFn forward[26]; // by H = L / 2, 1..25
    InverseFn inverse[26];
    // even[j] = x[2j], odd[j] = x[2j + 1] for j < count.
    void (*split)(const float* x, float* even, float* odd, int count);
    // Zero padding level that also lays out the next level's phases with the
    // zeros after them; writes detail up to phaseSlack values past M (at
    // least up to index 2 * 16), reads the phases and writes the next ones
    // up to phaseSlack values past theirs.
    ForwardZeroFn forwardZero[26];
    // inverse for inputs readable and y writable phaseSlack values past
    // their ends: computes whole blocks, with no copies for short levels.
    InverseFn inverseWithRoom[26];
    // forwardGeneric and inverseGeneric below, built for this set.
    void (*forwardGeneric)(const float* x, int n, const float* lo, const float* hi, int L, float* approx,
                           float* detail);
    void (*inverseGeneric)(const float* a, const float* d, const float* slo, const float* shi, int L, float* y,
                           int T);
};

// Values the kernels may read or write past a level's phases and details
// (the widest vector set's whole blocks, and the filter's half length).
constexpr int phaseSlack = 64;

// The fastest set this processor runs.
const KernelSet& bestKernels();
// The set built for the baseline instruction set.
const KernelSet& portableKernels();
// The AVX2 set when it was built and this processor has AVX2, else null.
const KernelSet* avx2Kernels();
// The AVX-512VL set when it was built and this processor has it, else null.
const KernelSet* avx512Kernels();

// Reference forward level with zero extension: one loop, a bounds test per
// tap. These two run the fastest set's generic loops.
void forwardGeneric(const float* x, int n, const float* lo, const float* hi, int L, float* approx, float* detail);
// Reference inverse level: the formula above, one output at a time.
void inverseGeneric(const float* a, const float* d, const float* slo, const float* shi, int L, float* y, int T);

} // namespace sonabel::wavelet_kernels
