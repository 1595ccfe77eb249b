#pragma once
// Helpers of the interface tests: the program in a folder of its own (where
// "log.txt" and the test's WAVE files land), with only the null sound
// device, and WAVE files written and read back as plain 16-bit samples.

#include "core/Log.h"
#include "ui/Application.h"
#include "ui/ControlId.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <memory>
#include <vector>

namespace sonabel::test {

// 16-bit stereo at 44100 Hz; every sample differs from its neighbours, so a
// shifted or repeated chunk shows.
inline std::vector<int16_t> testSamples(int frames, int seed) {
    std::vector<int16_t> samples(size_t(frames) * 2);
    uint32_t state = uint32_t(seed) * 2654435761u + 1u;
    for (auto& s : samples) {
        state = state * 1664525u + 1013904223u;
        s = static_cast<int16_t>(int32_t(state >> 16) - 32768);
    }
    return samples;
}

inline void writeWave(const QString& name, const std::vector<int16_t>& samples) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) file.putChar(char((v >> (8 * i)) & 0xff)); };
    auto u16 = [&](uint32_t v) { for (int i = 0; i < 2; ++i) file.putChar(char((v >> (8 * i)) & 0xff)); };
    file.write("RIFF");
    u32(36 + dataBytes);
    file.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    file.write("data");
    u32(dataBytes);
    file.write(reinterpret_cast<const char*>(samples.data()), qint64(dataBytes));
}

// The samples of a 16-bit WAVE file with a 44-byte header.
inline std::vector<int16_t> readWaveSamples(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = file.readAll();
    if (all.size() < 44) return {};
    std::vector<int16_t> samples(size_t(all.size() - 44) / 2);
    std::memcpy(samples.data(), all.constData() + 44, samples.size() * 2);
    return samples;
}

// The program started in a fresh folder; destroyed (shut down) at the end.
class ProgramUnderTest {
public:
    ProgramUnderTest() {
        qputenv("SONABEL_AUDIO_API", "null");
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        resetLogFile();
        app = std::make_unique<Application>();
        finished = std::make_unique<QSignalSpy>(app.get(), &Application::finished);
        started = app->start();
    }
    ~ProgramUnderTest() {
        app.reset();
        resetLogFile();
        QDir::setCurrent(previous);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    MainWindow* window() const { return app->getMainWindow(); }
    template <class T = QWidget> T* control(int id) const { return findControl<T>(window(), id); }
    QString logText() const {
        QFile file(dir.filePath(QStringLiteral("log.txt")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

    QTemporaryDir dir;
    QString previous;
    std::unique_ptr<Application> app;
    std::unique_ptr<QSignalSpy> finished;
    bool started = false;
};

} // namespace sonabel::test
