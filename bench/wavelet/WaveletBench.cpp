// Forward + inverse transform of one channel of 1024 samples (9 levels), and
// the coefficient filters on a stereo chunk. The "ns_per_sample" counter is
// the time per sample of one channel, forward and inverse together.

#include "core/SampleBuffer.h"
#include "filters/DenoiseFilter.h"
#include "filters/EqualizerFilter.h"
#include "filters/ShowWLFunctionFilter.h"
#include "filters/WTForwardFilter.h"
#include "filters/WTInverseFilter.h"
#include "wavelet/TransformHistory.h"
#include "wavelet/WaveletCoeffs.h"
#include "wavelet/WaveletFilterBank.h"
#include "wavelet/WaveletKernels.h"
#include "wavelet/WaveletTransform.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace sonabel;

namespace {

constexpr int chunk = 1024;

std::vector<float> signal(int n) {
    std::vector<float> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = 0.5f * std::sin(0.01f * static_cast<float>(i)) + 0.1f * std::sin(2.1f * static_cast<float>(i));
    return x;
}

void perSample(benchmark::State& state) {
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(chunk) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void run(benchmark::State& state, int wavelet, int algorithm, const wavelet_kernels::KernelSet* set) {
    WaveletTransform t;
    if (set) t.useKernels(*set);
    t.setWavelet(wavelet);
    t.setAlgorithm(algorithm);
    auto x = signal(chunk);
    std::vector<float> y(chunk);
    WaveletCoeffs coeffs;
    TransformHistory history;
    for (auto _ : state) {
        t.forwardTransform(x.data(), chunk, coeffs, &history);
        t.inverseTransform(coeffs, y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(waveletFilterBanks[wavelet].name);
    perSample(state);
}

// Arguments: wavelet index, algorithm.
void BM_Transform(benchmark::State& state) {
    run(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), nullptr);
}

// The optimized zero padding with the baseline kernels, whatever the processor.
void BM_TransformPortable(benchmark::State& state) {
    run(state, static_cast<int>(state.range(0)), 1, &wavelet_kernels::portableKernels());
}

// One wavelet per filter length 2..50.
const int lengthSweep[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 25, 26, 10, 28, 29};

void lengths(benchmark::internal::Benchmark* b) {
    for (int w : lengthSweep) b->Args({w, 1});
    for (int algorithm : {0, 2, 3, 4})
        for (int w : {2, 7, 29}) b->Args({w, algorithm});
}

void portableLengths(benchmark::internal::Benchmark* b) {
    for (int w : lengthSweep) b->Args({w});
}

// The AVX2 kernels where the processor would pick the AVX-512VL ones.
void BM_TransformAvx2(benchmark::State& state) {
    if (!wavelet_kernels::avx2Kernels()) {
        state.SkipWithError("no AVX2 kernels");
        return;
    }
    run(state, static_cast<int>(state.range(0)), 1, wavelet_kernels::avx2Kernels());
}

BENCHMARK(BM_Transform)->Apply(lengths);
BENCHMARK(BM_TransformPortable)->Apply(portableLengths);
BENCHMARK(BM_TransformAvx2)->Apply(portableLengths);

void fillStereo(SampleBuffer& b) {
    auto x = signal(chunk);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < chunk; ++i) b.getBuffer(c)[i] = x[static_cast<size_t>(i)];
}

// Forward + soft thresholding + inverse on a stereo db3 chunk. Each round
// starts again from the same input, copied in (two 4 KB copies, counted in
// the time): pausing the timer instead reads the thread's CPU clock through
// a system call twice per round, which cost more than the chain itself.
void BM_DenoiseChain(benchmark::State& state) {
    WTForwardFilter forward;
    DenoiseFilter denoise;
    WTInverseFilter inverse;
    denoise.setParameter(2, 9);
    SampleBuffer b(2, chunk);
    const auto x = signal(chunk);
    float* channels[2] = {b.getBuffer(0), b.getBuffer(1)};
    for (auto _ : state) {
        for (float* c : channels) std::memcpy(c, x.data(), sizeof(float) * chunk);
        forward.process(b);
        denoise.process(b);
        inverse.process(b);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DenoiseChain);

// One coefficient filter alone on the stereo db3 coefficients.
template <class Filter>
void coefficientFilter(benchmark::State& state, Filter& filter) {
    WTForwardFilter forward;
    SampleBuffer b(2, chunk);
    fillStereo(b);
    forward.process(b);
    for (auto _ : state) {
        filter.process(b);
        benchmark::ClobberMemory();
    }
}

void BM_DenoiseFilter(benchmark::State& state) {
    DenoiseFilter f;
    f.setParameter(2, 9);
    coefficientFilter(state, f);
}
BENCHMARK(BM_DenoiseFilter);

void BM_EqualizerFilter(benchmark::State& state) {
    EqualizerFilter f;
    f.setParameter(0, 1);
    coefficientFilter(state, f);
}
BENCHMARK(BM_EqualizerFilter);

void BM_ShowWLFunctionFilter(benchmark::State& state) {
    ShowWLFunctionFilter f;
    coefficientFilter(state, f);
}
BENCHMARK(BM_ShowWLFunctionFilter);

} // namespace
