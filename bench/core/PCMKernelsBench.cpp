// PCM conversion per sample, for each kernel set this processor runs and the
// one-sample-at-a-time reference: a chunk of 1024 stereo frames decoded
// (overwrite and mixing) or encoded, as the file reader and writer do it.
// The codec as a whole (with the fastest set) is timed by BM_PCMDecode16Stereo
// and BM_PCMEncode16Stereo in sonabel_engine_bench.

#include "core/PCMKernels.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace sonabel::pcm_kernels;

namespace {

constexpr int frames = 1024;
constexpr int channels = 2;

void referencePair(const float* left, const float* right, uint8_t* dst, int count, PCMLayout layout) {
    encodeReference(left, dst, 2, count, layout);
    encodeReference(right, dst + layout.bits / 8, 2, count, layout);
}

const KernelSet referenceSet = {"reference", decodeReference, encodeReference, referencePair};

const KernelSet* setNamed(int index) {
    switch (index) {
    case 0: return &referenceSet;
    case 1: return &portableKernels();
    case 2: return avx2Kernels();
    default: return avx512Kernels();
    }
}

std::vector<float> signal() {
    std::vector<float> v(frames);
    for (int f = 0; f < frames; ++f) v[static_cast<size_t>(f)] = 0.9f * std::sin(0.01f * static_cast<float>(f));
    return v;
}

void setCounter(benchmark::State& state) {
    state.counters["ns/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * frames * channels,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// range(0): set (0 reference, 1 portable, 2 avx2, 3 avx512); range(1): bits.
void BM_Decode(benchmark::State& state, float srcFactor) {
    const KernelSet* set = setNamed(static_cast<int>(state.range(0)));
    if (!set) {
        state.SkipWithError("not on this processor");
        return;
    }
    const int bits = static_cast<int>(state.range(1));
    const PCMLayout layout{bits, false, bits == 16};
    std::vector<uint8_t> bytes(static_cast<size_t>(frames * channels * bits / 8));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 73);
    std::vector<float> left(frames), right(frames);
    for (auto _ : state) {
        set->decode(bytes.data(), channels, left.data(), frames, srcFactor, layout);
        set->decode(bytes.data() + bits / 8, channels, right.data(), frames, srcFactor, layout);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
    }
    setCounter(state);
    state.SetLabel(set->isa);
}

void BM_Encode(benchmark::State& state) {
    const KernelSet* set = setNamed(static_cast<int>(state.range(0)));
    if (!set) {
        state.SkipWithError("not on this processor");
        return;
    }
    const int bits = static_cast<int>(state.range(1));
    const PCMLayout layout{bits, false, bits == 16};
    const std::vector<float> left = signal(), right = signal();
    std::vector<uint8_t> bytes(static_cast<size_t>(frames * channels * bits / 8));
    for (auto _ : state) {
        set->encodePair(left.data(), right.data(), bytes.data(), frames, layout);
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounter(state);
    state.SetLabel(set->isa);
}

void sets(benchmark::internal::Benchmark* b) {
    for (int bits : {8, 16})
        for (int set = 0; set < 4; ++set) b->Args({set, bits});
    b->ArgNames({"set", "bits"});
}

} // namespace

BENCHMARK_CAPTURE(BM_Decode, overwrite, 0.0f)->Apply(sets);
BENCHMARK_CAPTURE(BM_Decode, mix, 0.5f)->Apply(sets);
BENCHMARK(BM_Encode)->Apply(sets);
