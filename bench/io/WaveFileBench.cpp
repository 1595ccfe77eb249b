// WAVE file throughput: a minute of 44.1 kHz stereo 16-bit audio read and
// decoded, or encoded and written, in chunks of 1024 frames as the ticker
// thread does. "xRealTime" is how many minutes of audio go through per
// minute of wall time; bytes_per_second counts the PCM bytes. Both use wall
// time: the writer's cost is mostly in the kernel. The writer runs as a
// recording does (one write per chunk, batched 0) and as the renderer does
// (blocks of 64 KiB, batched 1).

#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace sonabel;

namespace {

constexpr int rate = 44100;
constexpr int seconds = 60;
constexpr int frames = rate * seconds;
constexpr int chunk = 1024;
constexpr int64_t pcmBytes = int64_t{frames} * 4;

// The files live in a directory of their own, removed at exit.
struct BenchDir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("sonabel-wave-bench-" + std::to_string(::getpid()));
    BenchDir() { std::filesystem::create_directories(path); }
    ~BenchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string benchFile(const char* name) {
    static const BenchDir dir;
    return (dir.path / name).string();
}

void fillChunk(SampleBuffer& b, int first) {
    for (int c = 0; c < 2; ++c)
        for (int f = 0; f < b.currCount; ++f)
            b.getBuffer(c)[f] = 0.5f * std::sin(0.0625f * static_cast<float>(first + f) + static_cast<float>(c));
}

// Writes one minute; returns false when the file could not be made.
bool writeMinute(const std::string& name, SampleBuffer& buffer, bool batched = false) {
    WaveFileWriter writer;
    writer.setBatched(batched);
    writer.setFileName(name.c_str());
    writer.setAudioFormat(AudioFormat(2, static_cast<float>(rate)));
    writer.setBitsPerSample(16);
    writer.open();
    if (!writer.isOpen()) return false;
    for (int done = 0; done < frames; done += chunk) {
        buffer.setSize(std::min(chunk, frames - done), 2);
        writer.write(buffer);
    }
    buffer.setSize(chunk, 2);
    writer.close();
    return true;
}

void setCounters(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pcmBytes);
    state.counters["xRealTime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WaveReadDecode(benchmark::State& state) {
    const std::string name = benchFile("read.wav");
    SampleBuffer buffer(2, chunk);
    fillChunk(buffer, 0);
    if (!writeMinute(name, buffer)) {
        state.SkipWithError("could not write the test file");
        return;
    }
    WaveFileReader reader;
    reader.setFileName(name.c_str());
    reader.open();
    for (auto _ : state) {
        reader.setPosition(0);
        int32_t got = 0;
        for (int32_t pos = 0; pos < frames; pos += chunk) got += reader.read(buffer, pos, 0.0f);
        benchmark::DoNotOptimize(buffer.getBuffer(1)[chunk - 1]);
        if (got != frames) state.SkipWithError("short read");
    }
    setCounters(state);
}
BENCHMARK(BM_WaveReadDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WaveEncodeWrite(benchmark::State& state) {
    const std::string name = benchFile("write.wav");
    SampleBuffer buffer(2, chunk);
    fillChunk(buffer, 0);
    for (auto _ : state)
        if (!writeMinute(name, buffer, state.range(0) != 0)) state.SkipWithError("could not write the file");
    setCounters(state);
}
BENCHMARK(BM_WaveEncodeWrite)->ArgName("batched")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
