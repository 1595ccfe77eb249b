#pragma once
// The discrete wavelet transform of one channel of one chunk, forward into a
// WaveletCoeffs and back. One transform belongs to each forward transform
// filter and serves all its channels; that filter serialises every call
// (including setWavelet/setAlgorithm from the interface thread) with its lock.
//
// Algorithms (the "Algorithm" parameter):
//   0 "Zero padding generic"        zero extension, a bounds test per tap
//   1 "Zero padding optimized"      the same coefficients, bit for bit, from
//                                   vector kernels over the polyphase split
//   2 "Mirrored padding generic"    mirror extension (edge not repeated on the
//                                   left, repeated on the right)
//   3 "Padding with history generic" the previous chunk on the left (from a
//                                   TransformHistory), mirror on the right
//   4 "Numerical Recipes (wrap)"    periodic pyramid over the whole chunk
//                                   (meant for power-of-two chunk lengths)
// Algorithms 0-3 compute floor(log2 N) - 1 levels for N >= 4 samples; fewer
// than 4 samples are kept as approximations only.
//
// Work memory grows with the chunk length and is reused; after the first
// chunk of a given length nothing is allocated.

#include "wavelet/WaveletKernels.h"

#include <vector>

namespace sonabel {

class TransformHistory;
class WaveletCoeffs;
struct WaveletFilterBank;

class WaveletTransform {
public:
    // "Haar", "Zero padding optimized". Prepares the filter bank table.
    WaveletTransform();
    WaveletTransform(const WaveletTransform&) = delete;
    WaveletTransform& operator=(const WaveletTransform&) = delete;

    void setWavelet(int index);
    void setAlgorithm(int index);
    int getWavelet() const { return waveletIndex; }
    int getAlgorithm() const { return algorithmIndex; }
    static int getWaveletCount();
    static int getAlgorithmCount();
    static const char* getWaveletName(int index);
    // Outside 0..3 names algorithm 4.
    static const char* getAlgorithmName(int index);

    // Transforms N samples into coeffs. history may be null; only algorithm
    // 3 reads and updates it.
    void forwardTransform(const float* samples, int N, WaveletCoeffs& coeffs, TransformHistory* history);
    // Writes coeffs.signalLength samples (nothing for fewer than 4), with
    // the wavelet and layout the coefficients were made with.
    void inverseTransform(WaveletCoeffs& coeffs, float* output);

    // Tests and benchmarks: run this set's vector kernels and generic loops
    // instead of the best ones for the processor.
    void useKernels(const wavelet_kernels::KernelSet& set) { kernels = &set; }

private:
    void sizeWork(int N, int L);
    void forwardPadded(const float* samples, int N, WaveletCoeffs& coeffs, TransformHistory* history);
    void forwardZeroFast(const float* samples, int N, WaveletCoeffs& coeffs);
    void forwardWrap(const float* samples, int N, WaveletCoeffs& coeffs);
    void inversePadded(WaveletCoeffs& coeffs, const WaveletFilterBank& bank, int algorithm, float* output);
    void inverseWrap(WaveletCoeffs& coeffs, const WaveletFilterBank& bank, float* output);
    void wrapStep(float* a, int n, const WaveletFilterBank& bank);
    void wrapInverseStep(float* a, int n, const WaveletFilterBank& bank);

    int waveletIndex = 0;
    int algorithmIndex = 1;
    const wavelet_kernels::KernelSet* kernels;
    std::vector<float> work;   // two halves of halfSize: intermediate levels
    std::vector<float> phases; // even and odd phases (or circular copies)
    std::vector<float> scratch;
    std::vector<float> zeroPhases; // algorithm 1: two pairs of phases, zeroStride apart
    int sizedLength = -1, sizedFilterLength = -1; // what the work memory was last sized for
    int leadingZeros = -1; // zeros laid before the phases in zeroPhases
    int halfSize = 0;   // values a work half holds
    int workStride = 0; // distance of the halves: halfSize and the kernels' room
    int zeroStride = 0;
    int zeroBase = 0; // where the first array starts in zeroPhases
};

} // namespace sonabel
