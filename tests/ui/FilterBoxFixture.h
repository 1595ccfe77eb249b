#pragma once
// The main window's filter box controls at their dialog-unit places, and the
// engine behind them: a mixer read by a synchronizer that a test clock
// ticks, by hand or from its own thread as fast as it can, with a writer
// keeping channel 0 of what comes out.

#include "TestStreams.h"
#include "TestTickProvider.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/FilterListInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <cmath>
#include <memory>

namespace sonabel::test {

// A tone gliding between 200 Hz and 1.2 kHz three times a second, with
// bursts of noise ten times a second; the same samples on every run.
class SignalReader : public ConstantReader {
public:
    SignalReader() : ConstantReader(0.0f) {}
    int32_t read(SampleBuffer& buffer, int32_t, float srcFactor) override {
        for (int f = 0; f < buffer.currCount; ++f, ++n) {
            const double t = n / 44100.0;
            phase += 2.0 * M_PI * (700.0 + 500.0 * std::sin(2.0 * M_PI * 3.0 * t)) / 44100.0;
            const double noise = static_cast<double>((static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull) >> 40) / 16777216.0 - 0.5;
            const double v = 0.35 * std::sin(phase) + 0.12 * std::sin(2.0 * phase) + (std::fmod(t, 0.1) < 0.015 ? 0.4 : 0.02) * noise;
            for (int c = 0; c < buffer.channelCount; ++c)
                buffer.getBuffer(c)[f] = static_cast<float>(srcFactor == 0.0f ? v : buffer.getBuffer(c)[f] + v * srcFactor);
        }
        return buffer.currCount;
    }

private:
    int64_t n = 0;
    double phase = 0.0;
};

struct FilterBoxFixture {
    explicit FilterBoxFixture(bool threaded = false, AudioReader* input = nullptr) : clock(1024, threaded) {
        const DialogUnits du;
        window.resize(du.size(404, 146));
        setControlId(new QListWidget(&window), 1039);
        findControl(&window, 1039)->setGeometry(du.rect(155, 50, 90, 65));
        const char* texts[] = {"Add", "Del", "Setup"};
        for (int i = 0; i < 3; ++i) setControlId(new QPushButton(QString::fromUtf8(texts[i]), &window), 1040 + i);
        setControlId(new QWidget(&window), 1055);
        findControl(&window, 1055)->setGeometry(du.rect(235, 36, 11, 10));
        window.move(40, 30);
        window.show();
        writer.keepSamples = !threaded; // a free-running clock would fill memory
        if (input) mixer.addInput(input, 1.0f, false);
        synchronizer.setReader(&mixer);
        synchronizer.addWriter(&writer);
        synchronizer.start();
        synchronizer.setTickProvider(&clock);
        filters = std::make_unique<FilterListInfo>(mixer, synchronizer, &window);
        mixer.loadMonitor = filters.get();
    }
    ~FilterBoxFixture() {
        synchronizer.stop();
        synchronizer.setTickProvider(nullptr);
        filters.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QListWidget* list() { return findControl<QListWidget>(&window, 1039); }
    QPushButton* button(int id) { return findControl<QPushButton>(&window, id); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) clock.tick();
    }

    QWidget window;
    AudioMixer mixer;
    AudioSynchronizer synchronizer;
    RecordingWriter writer;
    TestTickProvider clock;
    std::unique_ptr<FilterListInfo> filters;
};

inline void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// build/screenshots, where a person looks at the pictures.
inline QString screenshotFolder() {
    QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/../../screenshots"));
    dir.mkpath(QStringLiteral("."));
    return dir.absolutePath();
}

} // namespace sonabel::test
