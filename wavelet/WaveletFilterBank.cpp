#include "wavelet/WaveletFilterBank.h"

#include <algorithm>
#include <mutex>

namespace sonabel {

namespace {

struct WaveletPrototype {
    const char* name;
    bool orthogonal;
    int length;
    const float* low;   // h (orthogonal) or p (biorthogonal)
    const float* high;  // q, or null when shortHigh gives it
    const float* shortHigh;
    int shortLength;
    int shortOffset;
};

#include "wavelet/WaveletPrototypes.inc"

static_assert(sizeof(prototypes) / sizeof(prototypes[0]) == waveletCount);

// Loads the stored prototypes: low into analysisLow, high into analysisHigh.
WaveletFilterBank makeEntry(const WaveletPrototype& p) {
    WaveletFilterBank b{};
    b.name = p.name;
    b.orthogonal = p.orthogonal;
    b.filterLength = p.length;
    std::copy(p.low, p.low + p.length, b.analysisLow);
    if (p.high) std::copy(p.high, p.high + p.length, b.analysisHigh);
    b.shortHigh = p.shortHigh;
    b.shortLength = p.shortLength;
    b.shortOffset = p.shortOffset;
    return b;
}

void derive(WaveletFilterBank& b) {
    const int L = b.filterLength;
    if (b.shortHigh) {
        // Centre the short high-pass prototype into q.
        std::fill(b.analysisHigh, b.analysisHigh + L, 0.0f);
        std::copy(b.shortHigh, b.shortHigh + b.shortLength, b.analysisHigh + b.shortOffset);
    }
    if (b.orthogonal) {
        // Quadrature mirror: hi[i] = (-1)^(L-i) h[L-1-i]; synthesis = reversed analysis.
        const float* h = b.analysisLow;
        for (int i = 0; i < L; ++i) b.analysisHigh[i] = ((L - i) & 1) ? -h[L - 1 - i] : h[L - 1 - i];
        std::reverse_copy(b.analysisLow, b.analysisLow + L, b.synthesisLow);
        std::reverse_copy(b.analysisHigh, b.analysisHigh + L, b.synthesisHigh);
        return;
    }
    // Biorthogonal: slo[i] = (-1)^(i+1) q[i], shi[i] = (-1)^i p[i], then all
    // four filters reversed in place.
    const float* p = b.analysisLow;
    const float* q = b.analysisHigh;
    for (int i = 0; i < L; ++i) {
        b.synthesisLow[i] = (i & 1) ? q[i] : -q[i];
        b.synthesisHigh[i] = (i & 1) ? -p[i] : p[i];
    }
    std::reverse(b.analysisLow, b.analysisLow + L);
    std::reverse(b.analysisHigh, b.analysisHigh + L);
    std::reverse(b.synthesisLow, b.synthesisLow + L);
    std::reverse(b.synthesisHigh, b.synthesisHigh + L);
}

} // namespace

WaveletFilterBank waveletFilterBanks[waveletCount] = {};

namespace {
std::once_flag prepared;
} // namespace

void prepareFilterBanks() {
    std::call_once(prepared, [] {
        for (int i = 0; i < waveletCount; ++i) {
            waveletFilterBanks[i] = makeEntry(prototypes[i]);
            derive(waveletFilterBanks[i]);
        }
    });
}

} // namespace sonabel
