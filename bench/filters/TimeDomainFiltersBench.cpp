// Cost of one stereo chunk of 1024 frames through each time-domain filter.
#include "core/SampleBuffer.h"
#include "filters/BWLowpassFilter.h"
#include "filters/DelayFilter.h"
#include "filters/NoiseFilter.h"
#include "filters/StatisticsFilter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace sonabel;

namespace {

template <class Filter>
void chunkThrough(benchmark::State& state) {
    Filter filter;
    SampleBuffer buffer(2, 1024);
    std::vector<float> tone(1024);
    for (int i = 0; i < 1024; ++i) tone[static_cast<size_t>(i)] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    for (auto _ : state) {
        // The same tone every chunk, so the state neither grows nor decays
        // into denormals.
        for (int c = 0; c < 2; ++c) std::memcpy(buffer.getBuffer(c), tone.data(), sizeof(float) * tone.size());
        filter.process(buffer);
        benchmark::DoNotOptimize(buffer.getBuffer(0)[1023]);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}

BENCHMARK(chunkThrough<BWLowpassFilter>);
BENCHMARK(chunkThrough<DelayFilter>);
BENCHMARK(chunkThrough<NoiseFilter>);
BENCHMARK(chunkThrough<StatisticsFilter>);

} // namespace
