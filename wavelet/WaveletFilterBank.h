#pragma once
// The fixed table of 33 wavelet filter banks. Each entry holds four FIR
// filters of one even length L (2..50): analysisLow/analysisHigh split a
// signal into approximations and details, synthesisLow/synthesisHigh rebuild
// it. Only the prototypes are stored as data; prepareFilterBanks derives the
// four filters once per process, and every WaveletTransform calls it before
// use. After that the table never changes and may be read from any thread.
//
// A filter has no stored centre: the transform aligns it from L alone, so
// leading or trailing zeros in a filter are significant.

namespace sonabel {

inline constexpr int waveletCount = 33;
inline constexpr int maxFilterLength = 50;

struct WaveletFilterBank {
    const char* name;  // the text the user sees
    bool orthogonal;   // selects the derivation rule
    int filterLength;  // L
    float analysisLow[maxFilterLength];
    float analysisHigh[maxFilterLength];
    float synthesisLow[maxFilterLength];
    float synthesisHigh[maxFilterLength];
    // Spline entries only: the short high-pass prototype (shortLength taps)
    // placed into analysisHigh at shortOffset. Null elsewhere.
    const float* shortHigh;
    int shortLength;
    int shortOffset;
};

// Index order is the "Wavelet" parameter value. Empty until the first
// prepareFilterBanks, read-only afterwards.
extern WaveletFilterBank waveletFilterBanks[waveletCount];

// Loads the prototypes and derives the four filters of every entry; runs
// once, later calls return at once. Safe to call from several threads.
void prepareFilterBanks();

} // namespace sonabel
