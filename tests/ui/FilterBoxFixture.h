#pragma once
// A stand-in for the main window's filter box, the engine behind it and a
// test signal, for the interface tests of the filter chain.

#include "TestStreams.h"
#include "TestTickProvider.h"
#include "core/AudioReader.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/FilterListInfo.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <cmath>
#include <memory>

namespace sonabel::test {

// Speech-like test sound: a tone gliding between 200 Hz and 1.2 kHz three times a second with
// its second harmonic, bursts of noise ten times a second, and a little hiss.
// Sample n is the same on every read and in every channel.
class SignalReader : public AudioReader {
public:
    explicit SignalReader(int channels = 2, float rate = 44100.0f) : format(channels, rate) {}
    // The next sample; deterministic from the start of the stream.
    float next() {
        const double rate = format.sampleRate;
        const double t = static_cast<double>(delivered) / rate;
        const double glide = 700.0 + 500.0 * std::sin(2.0 * M_PI * 3.0 * t);
        phase += 2.0 * M_PI * glide / rate;
        uint64_t z = static_cast<uint64_t>(delivered) * 0x9E3779B97F4A7C15ull;
        z ^= z >> 29;
        z *= 0xBF58476D1CE4E5B9ull;
        const double noise = static_cast<double>(z >> 11) / 9007199254740992.0 - 0.5;
        const double burst = std::fmod(t, 0.1) < 0.015 ? 0.4 : 0.02;
        ++delivered;
        return static_cast<float>(0.35 * std::sin(phase) + 0.12 * std::sin(2.0 * phase) + burst * noise);
    }
    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override { opened = true; }
    void close() override { opened = false; }
    bool isOpen() override { return opened; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started; }
    int32_t read(SampleBuffer& buffer, int32_t, float srcFactor) override {
        for (int f = 0; f < buffer.currCount; ++f) {
            const float v = next();
            for (int c = 0; c < buffer.channelCount; ++c) {
                float* p = buffer.getBuffer(c);
                p[f] = srcFactor == 0.0f ? v : p[f] + v * srcFactor;
            }
        }
        return buffer.currCount;
    }

private:
    double phase = 0.0;
    AudioFormat format;
    int64_t delivered = 0;
    std::atomic<bool> opened{false}, started{false};
};

// The main window's filter box at its dialog-unit places, with the engine:
// a mixer read by a synchronizer that a test clock ticks, by hand or from a
// thread of its own as fast as it can, with a writer keeping what comes out.
struct FilterBoxFixture {
    explicit FilterBoxFixture(bool threaded = false, AudioReader* input = nullptr) : clock(1024, threaded) {
        const DialogUnits du;
        window.resize(du.size(404, 146));
        window.setWindowTitle(QStringLiteral("Sonabel"));
        auto* box = new QGroupBox(QStringLiteral("Filters"), &window);
        setControlId(box, 1050);
        box->setGeometry(du.rect(150, 25, 100, 94));
        auto* list = new QListWidget(&window);
        setControlId(list, 1039);
        list->setGeometry(du.rect(155, 50, 90, 65));
        const struct { int id; const char* text; QRect where; } buttons[] = {
            {1040, "Add", du.rect(155, 36, 23, 9)},
            {1041, "Del", du.rect(181, 36, 23, 9)},
            {1042, "Setup", du.rect(207, 36, 25, 9)},
        };
        for (const auto& b : buttons) {
            auto* button = new QPushButton(QString::fromUtf8(b.text), &window);
            setControlId(button, b.id);
            button->setGeometry(b.where);
        }
        auto* placeholder = new QWidget(&window);
        setControlId(placeholder, 1055);
        placeholder->setGeometry(du.rect(235, 36, 11, 10));
        (new QLabel(QStringLiteral("move"), &window))->setGeometry(du.rect(231, 25, 18, 8));
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

// Where the pictures of the interface go: build/screenshots.
inline QString screenshotFolder() {
    QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/../../screenshots"));
    dir.mkpath(QStringLiteral("."));
    return dir.absolutePath();
}

} // namespace sonabel::test
