#include "wavelet/WaveletTransform.h"

#include "core/Log.h"
#include "wavelet/TransformHistory.h"
#include "wavelet/WaveletCoeffs.h"
#include "wavelet/WaveletFilterBank.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sonabel {

namespace wk = wavelet_kernels;

namespace {

constexpr int algorithmCount = 5;
const char* const algorithmNames[algorithmCount] = {
    "Zero padding generic", "Zero padding optimized", "Mirrored padding generic",
    "Padding with history generic", "Numerical Recipes (wrap)"};

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Fills the even and odd phases of the extended input x~ of one level:
// even[j] = x~[2j + 2 - L], odd[j] = x~[2j + 3 - L], j = 0..count-1. Inside
// 0..n-1 x~ is x; outside(m) gives the extension (0 for an omitted term).
template <class Outside>
void splitPhases(const wk::KernelSet& kernels, const float* x, int n, int L, float* even, float* odd, int count,
                 Outside outside) {
    const int first = 2 - L; // x~ index of even[0]
    auto at = [&](int m) { return m >= 0 && m < n ? x[m] : outside(m); };
    // j where both 2j + first >= 0 and 2j + first + 1 <= n - 1.
    const int jBegin = std::min(count, -first / 2);
    const int jEnd = std::max(jBegin, std::min(count, n >= 2 ? ((n - 2 - first) >> 1) + 1 : 0));
    for (int j = 0; j < jBegin; ++j) {
        even[j] = at(2 * j + first);
        odd[j] = at(2 * j + first + 1);
    }
    kernels.split(x + (2 * jBegin + first), even + jBegin, odd + jBegin, jEnd - jBegin);
    for (int j = jEnd; j < count; ++j) {
        even[j] = at(2 * j + first);
        odd[j] = at(2 * j + first + 1);
    }
}

} // namespace

WaveletTransform::WaveletTransform() : kernels(&wk::bestKernels()) { prepareFilterBanks(); }

int WaveletTransform::getWaveletCount() { return waveletCount; }

int WaveletTransform::getAlgorithmCount() { return algorithmCount; }

const char* WaveletTransform::getWaveletName(int index) {
    prepareFilterBanks();
    if (index < 0 || index >= waveletCount) return "";
    return waveletFilterBanks[index].name;
}

const char* WaveletTransform::getAlgorithmName(int index) {
    if (index < 0 || index > 3) index = 4;
    return algorithmNames[index];
}

void WaveletTransform::setWavelet(int index) {
    if (index < 0 || index >= waveletCount) {
        logError(2, "WaveletTransform::setWavelet(%d): out of range.", index);
        return;
    }
    waveletIndex = index;
}

void WaveletTransform::setAlgorithm(int index) {
    if (index < 0 || index >= algorithmCount) {
        logError(2, "WaveletTransform::setAlgorithm(%d): out of range.", index);
        return;
    }
    algorithmIndex = index;
}

void WaveletTransform::sizeWork(int N, int L) {
    if (N == sizedLength && L == sizedFilterLength) return; // the usual case: the same chunk again
    sizedLength = N;
    sizedFilterLength = L;
    const int x = WaveletCoeffs::storeCapacity(N, L);
    // Each half has room past its values for the inverse kernels' whole blocks.
    const int room = wk::phaseSlack;
    if (static_cast<int>(work.size()) < 2 * (x + room)) {
        std::vector<float> fresh(static_cast<size_t>(2 * (x + room)));
        work.swap(fresh);
    }
    workStride = static_cast<int>(work.size() / 2);
    halfSize = workStride - room;
    // Two phase arrays (also the circular copies of the wrap steps), each
    // up to M + L/2 - 1 <= n/2 + L values for a level input of n <= x
    // values (levels outgrow N when L is large against N), and one scratch
    // level for the wrap steps.
    const size_t phaseSize = static_cast<size_t>(2 * (x / 2 + L + 8));
    if (phases.size() < phaseSize) {
        std::vector<float> fresh(phaseSize);
        phases.swap(fresh);
    }
    // Algorithm 1 keeps the phases of a level input of up to halfSize values,
    // and the room its kernels read and write past them.
    // Each array starts where its values (after the L/2 - 1 leading zeros)
    // begin on a 64-byte line: the split and the kernels store whole vectors
    // there, and stores across cache lines cost twice as much.
    const int stride = (halfSize / 2 + L + 2 * wk::phaseSlack + 15) & ~15;
    if (stride != zeroStride) leadingZeros = -1;
    zeroStride = stride;
    if (zeroPhases.size() < static_cast<size_t>(4 * zeroStride + 32)) {
        std::vector<float> fresh(static_cast<size_t>(4 * zeroStride + 32));
        zeroPhases.swap(fresh);
        leadingZeros = -1;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(zeroPhases.data());
    const int toLine = static_cast<int>(((64 - address % 64) % 64) / sizeof(float));
    zeroBase = toLine + ((16 - (L / 2 - 1) % 16) % 16);
    const size_t scratchSize = static_cast<size_t>(N + L);
    if (scratch.size() < scratchSize) {
        std::vector<float> fresh(scratchSize);
        scratch.swap(fresh);
    }
}

void WaveletTransform::forwardTransform(const float* samples, int N, WaveletCoeffs& coeffs,
                                        TransformHistory* history) {
    if (N < 0) N = 0;
    const int L = waveletFilterBanks[waveletIndex].filterLength;
    coeffs.prepare(N, L);
    coeffs.waveletIndex = waveletIndex;
    coeffs.algorithmIndex = algorithmIndex;
    sizeWork(N, L);
    if (algorithmIndex == 4)
        forwardWrap(samples, N, coeffs);
    else if (algorithmIndex == 1)
        forwardZeroFast(samples, N, coeffs);
    else
        forwardPadded(samples, N, coeffs, algorithmIndex == 3 ? history : nullptr);
}

void WaveletTransform::forwardPadded(const float* samples, int N, WaveletCoeffs& coeffs,
                                     TransformHistory* history) {
    const WaveletFilterBank& bank = waveletFilterBanks[waveletIndex];
    const int L = bank.filterLength;
    const int H = L / 2;
    const int keep = L - 2;
    const int algorithm = algorithmIndex;
    float* out = coeffs.getStore();
    const int capacity = coeffs.getStoreCapacity();
    int used = 0;
    const float* src = samples;
    int n = N;
    if (N >= 4) {
        const int phaseStride = static_cast<int>(phases.size() / 2);
        float* even = phases.data();
        float* odd = even + phaseStride;
        int d = N;
        int level = 0;
        int half = 0;
        do {
            const int M = (n + L - 1) >> 1;
            if (M < 1 || used + M > capacity || M > halfSize) break;
            float* approx = work.data() + half * workStride;
            float* detail = out + used;
            if (algorithm == 0) {
                kernels->forwardGeneric(src, n, bank.analysisLow, bank.analysisHigh, L, approx, detail);
            } else {
                const int count = M + H - 1;
                if (algorithm == 1) {
                    splitPhases(*kernels, src, n, L, even, odd, count, [](int) { return 0.0f; });
                } else {
                    const TransformHistory::Entry* entry = history ? history->getEntry(level) : nullptr;
                    const float* x = src;
                    const int len = n;
                    // Mirror: x~[m] = x[-m] left of the input, x[2n-1-m] right
                    // of it; a history entry replaces the left side.
                    splitPhases(*kernels, src, n, L, even, odd, count, [x, len, entry](int m) {
                        if (m < 0) {
                            if (entry) return -m - 1 < TransformHistory::entryCapacity ? entry->values[-m - 1] : 0.0f;
                            return -m < len ? x[-m] : 0.0f;
                        }
                        const int r = 2 * len - 1 - m;
                        return r >= 0 ? x[r] : 0.0f;
                    });
                }
                kernels->forward[H](even, odd, bank.analysisLow, bank.analysisHigh, approx, detail, M);
            }
            coeffs.addDetails(detail, M);
            used += M;
            // The entry of this level now holds what precedes the next
            // chunk's input here: the last of the first N >> level values.
            if (history) history->store(level, src, level == 0 ? n : std::min(n, N >> level), keep);
            src = approx;
            n = M;
            half ^= 1;
            d >>= 1;
            ++level;
        } while (d >= 4);
    }
    if (used + n > capacity) n = capacity - used; // cannot happen with a prepared store
    if (n > 0) std::memmove(out + used, src, static_cast<size_t>(n) * sizeof(float));
    coeffs.setApproximations(out + used, n);
    if (history) {
        if (N < 4) history->store(0, samples, N, keep);
        history->ensureEntries(std::max(coeffs.getLevelCount(), 1));
    }
}

// Zero padding with the vector kernels. Each level reads the phases of its
// input and writes its details and the phases of the next level's input, so
// the samples are split once. Levels and limits as in forwardPadded.
void WaveletTransform::forwardZeroFast(const float* samples, int N, WaveletCoeffs& coeffs) {
    const WaveletFilterBank& bank = waveletFilterBanks[waveletIndex];
    const int L = bank.filterLength;
    const int H = L / 2;
    float* out = coeffs.getStore();
    const int capacity = coeffs.getStoreCapacity();
    const int stride = zeroStride;
    float* e = zeroPhases.data() + zeroBase;
    float* o = e + stride;
    float* ne = o + stride;
    float* no = ne + stride;
    // Phases of an input of n values: H - 1 zeros, the values, and zeros up
    // to the count the level reads (the kernels lay out each next level's
    // phases with the zeros after them). The leading zeros are never written
    // by the levels: they are laid again only for another filter length or
    // new buffers. Zeros go in blocks of 8: the phases have room after them.
    auto zeros = [](float* p, int count) {
        for (int i = 0; i < count; i += 8) std::memset(p + i, 0, 8 * sizeof(float));
    };
    if (leadingZeros != H - 1) {
        for (float* p : {e, o, ne, no}) zeros(p, H - 1);
        leadingZeros = H - 1;
    }
    kernels->split(samples, e + H - 1, o + H - 1, N >> 1);
    if (N & 1) e[H - 1 + (N >> 1)] = samples[N - 1];
    zeros(e + H - 1 + ((N + 1) >> 1), H);
    zeros(o + H - 1 + (N >> 1), H);
    int used = 0;
    int n = N;
    if (N >= 4) {
        int d = N;
        do {
            const int M = (n + L - 1) >> 1;
            if (M < 1 || used + M > capacity || M > halfSize) break;
            float* detail = out + used;
            kernels->forwardZero[H](e, o, bank.analysisLow, bank.analysisHigh, detail, ne, no, M);
            coeffs.addDetails(detail, M);
            used += M;
            n = M;
            std::swap(e, ne);
            std::swap(o, no);
            d >>= 1;
        } while (d >= 4);
    }
    if (used + n > capacity) n = capacity - used; // cannot happen with a prepared store
    float* approx = out + used;
    for (int j = 0; 2 * j < n; ++j) approx[2 * j] = e[H - 1 + j];
    for (int j = 0; 2 * j + 1 < n; ++j) approx[2 * j + 1] = o[H - 1 + j];
    coeffs.setApproximations(approx, n);
}

void WaveletTransform::wrapStep(float* a, int n, const WaveletFilterBank& bank) {
    const int L = bank.filterLength;
    const int H = L / 2;
    const int h = n / 2;
    const float* lo = bank.analysisLow;
    const float* hi = bank.analysisHigh;
    float* s = scratch.data();
    float* e = s + h;
    if (isPowerOfTwo(n)) {
        // s[t] = sum_k lo[k] a[(2t + 2 + k) mod n]: the forward kernel over
        // the circular phases even[j] = a[(2j + 2) mod n], odd[j] = a[(2j + 3) mod n].
        const int count = h + H - 1;
        const int phaseStride = static_cast<int>(phases.size() / 2);
        float* even = phases.data();
        float* odd = even + phaseStride;
        // a[2..n-1] first, then a[0..n-1] again as often as the filter reaches.
        kernels->split(a + 2, even, odd, std::min(h - 1, count));
        for (int j = h - 1; j < count; j += h) kernels->split(a, even + j, odd + j, std::min(h, count - j));
        kernels->forward[H](even, odd, lo, hi, s, e, h);
    } else {
        // Not a wrap-around transform, but every index stays inside 0..n-1.
        for (int t = 0; t < h; ++t) {
            float sv = 0.0f, ev = 0.0f;
            for (int k = 0; k < L; ++k) {
                const float v = a[(2 * t + 2 + k + n * L) & (n - 1)];
                sv += lo[k] * v;
                ev += hi[k] * v;
            }
            s[t] = sv;
            e[t] = ev;
        }
    }
    std::memcpy(a, s, static_cast<size_t>(2 * h) * sizeof(float));
}

void WaveletTransform::wrapInverseStep(float* a, int n, const WaveletFilterBank& bank) {
    const int L = bank.filterLength;
    const int H = L / 2;
    const int h = n / 2;
    const float* lo = bank.analysisLow;
    const float* hi = bank.analysisHigh;
    float* y = scratch.data();
    if (isPowerOfTwo(n)) {
        // The transpose of wrapStep: y[2u]   = sum_m lo[2m]   a[u-1-m] + hi[2m]   d[u-1-m],
        //                            y[2u+1] = sum_m lo[2m+1] a[u-1-m] + hi[2m+1] d[u-1-m],
        // indexes mod h; the inverse kernel with reversed filters over the
        // circular copies A[i] = a[(i - H) mod h], D[i] = d[(i - H) mod h].
        float rlo[maxFilterLength], rhi[maxFilterLength];
        std::reverse_copy(lo, lo + L, rlo);
        std::reverse_copy(hi, hi + L, rhi);
        const int count = h + H - 1;
        const int phaseStride = static_cast<int>(phases.size() / 2);
        float* ca = phases.data();
        float* cd = ca + phaseStride;
        // Runs of a and d from index (-H) mod h on, wrapping to 0 at h.
        for (int i = 0, src = ((-H) % h + h) % h; i < count; src = 0) {
            const int run = std::min(h - src, count - i);
            std::memcpy(ca + i, a + src, static_cast<size_t>(run) * sizeof(float));
            std::memcpy(cd + i, a + h + src, static_cast<size_t>(run) * sizeof(float));
            i += run;
        }
        kernels->inverse[H](ca, cd, rlo, rhi, y, n);
    } else {
        std::fill(y, y + n, 0.0f);
        for (int t = 0; t < h; ++t)
            for (int k = 0; k < L; ++k) y[(2 * t + 2 + k + n * L) & (n - 1)] += lo[k] * a[t] + hi[k] * a[t + h];
    }
    std::memcpy(a, y, static_cast<size_t>(n) * sizeof(float));
}

void WaveletTransform::forwardWrap(const float* samples, int N, WaveletCoeffs& coeffs) {
    const WaveletFilterBank& bank = waveletFilterBanks[waveletIndex];
    float* a = coeffs.getStore();
    if (N > 0) std::memcpy(a, samples, static_cast<size_t>(N) * sizeof(float));
    if (N < 4) {
        coeffs.setApproximations(a, N);
        coeffs.wrapOrder = a;
        coeffs.wrapCount = N;
        return;
    }
    for (int n = N; n >= 4; n >>= 1) wrapStep(a, n, bank);
    // Levels from the end: level 1 is the last N/2 values, level 2 the N/4
    // before them, down to the first level of fewer than 4 values.
    int pos = N;
    for (int b = N >> 1; b >= 1; b >>= 1) {
        pos -= b;
        coeffs.addDetails(a + pos, b);
        if (b < 4) break;
    }
    coeffs.setApproximations(a, 2);
    coeffs.wrapOrder = a;
    coeffs.wrapCount = N;
}

void WaveletTransform::inverseTransform(WaveletCoeffs& coeffs, float* output) {
    const int N = coeffs.signalLength;
    const int wavelet = coeffs.waveletIndex >= 0 && coeffs.waveletIndex < waveletCount ? coeffs.waveletIndex
                                                                                      : waveletIndex;
    const WaveletFilterBank& bank = waveletFilterBanks[wavelet];
    sizeWork(N, bank.filterLength);
    if (coeffs.wrapOrder) {
        inverseWrap(coeffs, bank, output);
        return;
    }
    const int algorithm = coeffs.algorithmIndex >= 0 && coeffs.algorithmIndex < 4 ? coeffs.algorithmIndex
                                                                                 : algorithmIndex;
    inversePadded(coeffs, bank, algorithm, output);
}

void WaveletTransform::inverseWrap(WaveletCoeffs& coeffs, const WaveletFilterBank& bank, float* output) {
    const int N = std::min(coeffs.signalLength, coeffs.wrapCount);
    if (N <= 0) return;
    std::memmove(output, coeffs.wrapOrder, static_cast<size_t>(N) * sizeof(float));
    if (N < 4) return;
    // Undo the forward steps (on N, N >> 1, ... down to 4) in reverse order.
    int sizes[32];
    int steps = 0;
    for (int n = N; n >= 4 && steps < 32; n >>= 1) sizes[steps++] = n;
    while (steps > 0) wrapInverseStep(output, sizes[--steps], bank);
}

void WaveletTransform::inversePadded(WaveletCoeffs& coeffs, const WaveletFilterBank& bank, int algorithm,
                                     float* output) {
    const int L = bank.filterLength;
    const int H = L / 2;
    const int J = coeffs.getLevelCount();
    if (J == 0) return;
    int aCount = 0;
    const float* a = coeffs.getApproximations(aCount);
    // Only a layout this filter length produces is safe to read.
    bool fits = aCount == coeffs.getLevelLength(J - 1) && a != nullptr;
    for (int j = 0; j < J && fits; ++j) fits = coeffs.getLevelLength(j) == ((coeffs.getLevelLength(j - 1) + L - 1) >> 1);
    if (!fits || coeffs.getLevelLength(0) > halfSize) {
        logError(2, "WaveletTransform::inverseTransform: coefficients do not fit wavelet %d.",
                 static_cast<int>(&bank - waveletFilterBanks));
        return;
    }
    // Levels above the first write into the work halves, which have room
    // after them; the inputs have it where they lie in the store (or in the
    // work halves), so those levels run whole blocks.
    bool inputsHaveRoom = coeffs.hasRoomAfter(a, aCount);
    int half = 0;
    for (int j = J - 1; j >= 0; --j) {
        const int T = coeffs.getLevelLength(j - 1);
        int dCount = 0;
        const float* d = coeffs.getDetails(j, dCount);
        float* y = j == 0 ? output : work.data() + half * workStride;
        // Every padded layout is rebuilt by the same sums: only the generic
        // zero padding keeps the generic loop.
        if (algorithm != 0 && j > 0 && inputsHaveRoom && coeffs.hasRoomAfter(d, dCount))
            kernels->inverseWithRoom[H](a, d, bank.synthesisLow, bank.synthesisHigh, y, T);
        else if (algorithm != 0)
            kernels->inverse[H](a, d, bank.synthesisLow, bank.synthesisHigh, y, T);
        else
            kernels->inverseGeneric(a, d, bank.synthesisLow, bank.synthesisHigh, L, y, T);
        a = y;
        inputsHaveRoom = true;
        half ^= 1;
    }
}

} // namespace sonabel
