// The display windows' full redraw into an 800 x 400 image, and building the
// largest parameter window. Runs offscreen.

#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "filters/TimeDisplayFilter.h"
#include "filters/WaveletDisplayFilter.h"
#include "ui/FilterInfo.h"
#include "ui/ImageSurface.h"
#include "ui/ParameterWindow.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

using namespace sonabel;

namespace {

constexpr int chunkFrames = 1024;
constexpr int shownChunks = 10;

// Ten chunks of a tone with noise through the forward transform (its
// default wavelet, 9 levels for 1024 frames) and the given display.
void feed(AudioFilter& display, bool transform) {
    std::unique_ptr<AudioFilter> forward(createFilter(0));
    SampleBuffer buffer(2, chunkFrames);
    for (int c = 0; c < shownChunks; ++c) {
        for (int ch = 0; ch < 2; ++ch) {
            float* p = buffer.getBuffer(ch);
            for (int n = 0; n < chunkFrames; ++n) {
                const double t = (c * chunkFrames + n) / 44100.0;
                p[n] = static_cast<float>(0.4 * std::sin(2 * M_PI * 440 * t) + 0.05 * std::sin(12345.6 * t * t));
            }
        }
        buffer.chunkCounter = c;
        buffer.attachedCoeffs = nullptr;
        if (transform) forward->process(buffer);
        display.process(buffer);
    }
}

void waveletDisplayRedraw(benchmark::State& state) {
    WaveletDisplayFilter display;
    display.setParameter(6, shownChunks - 1);
    feed(display, true);
    QImage image(800, 400, QImage::Format_RGB32);
    for (auto _ : state) {
        ImageSurface surface(image);
        display.paintWindow(surface, image.width(), image.height());
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(waveletDisplayRedraw)->Unit(benchmark::kMicrosecond);

void timeDisplayRedraw(benchmark::State& state) {
    TimeDisplayFilter display;
    display.setParameter(3, shownChunks - 1);
    feed(display, false);
    QImage image(800, 400, QImage::Format_RGB32);
    for (auto _ : state) {
        ImageSurface surface(image);
        display.paintWindow(surface, image.width(), image.height());
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(timeDisplayRedraw)->Unit(benchmark::kMicrosecond);

// The filter with the most parameters: the equalizer's eleven rows.
void parameterWindowBuild(benchmark::State& state) {
    AudioMixer mixer;
    int most = 0, index = 0;
    for (int k = 0; k < getFilterCount(); ++k) {
        std::unique_ptr<AudioFilter> f(createFilter(k));
        if (f->getParameterCount() > most) most = f->getParameterCount(), index = k;
    }
    FilterInfo info(createFilter(index), index, mixer, nullptr, nullptr);
    for (auto _ : state) {
        auto* window = new ParameterWindow(info, nullptr);
        benchmark::DoNotOptimize(window);
        delete window;
    }
    state.SetLabel(info.getFilter()->getName());
}
BENCHMARK(parameterWindowBuild)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
