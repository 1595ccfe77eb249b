// The program's own figures: the time from building the application to its
// window on screen, and the CPU share of the whole process while a looped
// file plays into the null device and nobody touches the window (the 40 ms
// position refresh and the ticker together).
//
// Usage: sonabel_ui_bench [seconds of idle play, default 10]

#include "io/AudioOutputDevice.h"
#include "ui/Application.h"
#include "ui/ControlId.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <map>
#include <unistd.h>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void writeTone(const QString& name, int frames) {
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return;
    std::vector<int16_t> samples(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i)
        samples[size_t(2 * i)] = samples[size_t(2 * i + 1)] =
            static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * 440.0 * i / 44100.0));
    const auto dataBytes = uint32_t(samples.size() * 2);
    auto put = [&](uint32_t v, int bytes) { for (int b = 0; b < bytes; ++b) file.putChar(char((v >> (8 * b)) & 0xff)); };
    file.write("RIFF");
    put(36 + dataBytes, 4);
    file.write("WAVEfmt ");
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
    file.write("data");
    put(dataBytes, 4);
    file.write(reinterpret_cast<const char*>(samples.data()), qint64(dataBytes));
}

// CPU seconds of each thread of the process, by thread id, with its name.
std::map<QString, std::pair<QString, double>> threadCpuSeconds() {
    std::map<QString, std::pair<QString, double>> result;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QString line = QString::fromLatin1(stat.readAll());
        const int open = line.indexOf(QLatin1Char('(')), close = line.lastIndexOf(QLatin1Char(')'));
        const QStringList fields = line.mid(close + 2).split(QLatin1Char(' '));
        if (open < 0 || fields.size() < 13) continue;
        // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
        result[tid] = {line.mid(open + 1, close - open - 1), (fields[11].toDouble() + fields[12].toDouble()) / tick};
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("SONABEL_AUDIO_API", "null");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    writeTone(dir.filePath(QStringLiteral("tone.wav")), 44100 * 3);

    QElapsedTimer clock;
    clock.start();
    sonabel::Application application;
    application.start();
    QApplication::processEvents();
    const double shownMs = double(clock.nsecsElapsed()) / 1e6;

    using sonabel::findControl;
    sonabel::MainWindow* window = application.getMainWindow();
    findControl<QLineEdit>(window, 1006)->setText(QStringLiteral("tone.wav"));
    application.getFileReaderInfo()->commitFileName();
    findControl<QCheckBox>(window, 1038)->click();
    findControl<QCheckBox>(window, 1005)->click();
    findControl<QCheckBox>(window, 1002)->click();
    sonabel::AudioOutputDevice* output = application.getDeviceWriterInfo()->getOutputDevice();

    // One second to settle, then the measured stretch of idle play.
    double cpuStart = 0, wallStart = 0;
    int32_t framesStart = 0;
    std::map<QString, std::pair<QString, double>> threadsStart;
    QTimer::singleShot(1000, [&] {
        cpuStart = processCpuSeconds();
        wallStart = double(clock.nsecsElapsed()) * 1e-9;
        framesStart = output->getPosition();
        threadsStart = threadCpuSeconds();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double cpu = processCpuSeconds() - cpuStart;
        const double wall = double(clock.nsecsElapsed()) * 1e-9 - wallStart;
        std::printf("start to window shown: %.1f ms\n", shownMs);
        std::printf("idle play into the null device: %.2f %% of one core over %.1f s (%d frames played)\n",
                    100.0 * cpu / wall, wall, output->getPosition() - framesStart);
        for (const auto& [tid, entry] : threadCpuSeconds()) {
            const double used = entry.second - (threadsStart.count(tid) ? threadsStart[tid].second : 0.0);
            if (used > 0.0)
                std::printf("  thread %s (%s): %.2f %%\n", qPrintable(tid), qPrintable(entry.first), 100.0 * used / wall);
        }
        window->close();
    });
    QObject::connect(&application, &sonabel::Application::finished, &qtApplication, &QApplication::exit, Qt::QueuedConnection);
    return qtApplication.exec();
}
