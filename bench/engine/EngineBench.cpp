// Engine hot paths: the mixer's read and the PCM codec.

#include "core/AudioFormat.h"
#include "core/AudioReader.h"
#include "core/PCMCodec.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace sonabel;

namespace {

// A 16-bit stereo source that decodes the same block of bytes again and again,
// as a file reader does once its disk read is done.
class PcmBlockReader : public AudioReader {
public:
    explicit PcmBlockReader(int frames) : codec(16, false, true, 2), bytes(static_cast<size_t>(frames) * 4) {
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    }
    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override { opened = true; }
    void close() override { opened = false; }
    bool isOpen() override { return opened; }
    void start() override {}
    void stop() override {}
    bool isStarted() override { return true; }
    int32_t read(SampleBuffer& buffer, int32_t, float srcFactor) override {
        codec.decode(bytes.data(), buffer, srcFactor);
        return buffer.currCount;
    }

private:
    AudioFormat format;
    PCMCodec codec;
    std::vector<uint8_t> bytes;
    bool opened = false;
};

void BM_MixerRead2Stereo16(benchmark::State& state) {
    const int frames = 1024;
    PcmBlockReader a(frames), b(frames); // outlive the mixer, which closes them
    AudioMixer mixer;
    mixer.addInput(&a, 1.0f, false);
    mixer.addInput(&b, 0.5f, false);
    mixer.open();
    SampleBuffer buffer(2, frames);
    for (auto _ : state) {
        mixer.read(buffer, 0, 0.0f);
        benchmark::DoNotOptimize(buffer.getBuffer(0)[0]);
    }
    state.counters["ns/frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixerRead2Stereo16);

void BM_PCMDecode16Stereo(benchmark::State& state) {
    const int frames = 1024;
    PCMCodec codec(16, false, true, 2);
    std::vector<uint8_t> bytes(frames * 4, 0x35);
    SampleBuffer buffer(2, frames);
    for (auto _ : state) {
        codec.decode(bytes.data(), buffer, 0.0f);
        benchmark::DoNotOptimize(buffer.getBuffer(1)[5]);
    }
    state.counters["ns/sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PCMDecode16Stereo);

void BM_PCMEncode16Stereo(benchmark::State& state) {
    const int frames = 1024;
    PCMCodec codec(16, false, true, 2);
    std::vector<uint8_t> bytes(frames * 4);
    SampleBuffer buffer(2, frames);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i) buffer.getBuffer(c)[i] = static_cast<float>((i * 37) % 2000 - 1000) / 900.0f;
    for (auto _ : state) {
        codec.encode(buffer, bytes.data());
        benchmark::DoNotOptimize(bytes[7]);
    }
    state.counters["ns/sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PCMEncode16Stereo);

} // namespace
