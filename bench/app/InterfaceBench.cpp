// The program's own figures: the time from building the application to its
// window on screen, and the CPU share of the whole process while a looped
// file plays into the null device and nobody touches the window (the 40 ms
// position refresh and the ticker together).
//
// With --drive a timer sweeps the file's volume slider every 100 ms and
// ticks or unticks "File output" every 3 s, as a user would. A timing
// filter at the end of the chain stamps every chunk on the ticker thread,
// which gives the ticker's wake-up jitter (the interval between two chunks
// against the chunk time; the first second left out). The underrun and
// overflow counts are the output panel's. SONABEL_AUDIO_API chooses the
// sound system (null unless set); with jack, JACK_DEFAULT_SERVER names the
// server (tests/io/jack_server.sh starts a dummy one).
//
// The device's own counts are given apart: the blocks it found short of
// our data (our lateness) and the xruns its server reported (the server's).
//
// With --chain FILE the filter box loads that chain and opens every
// filter's parameter window; the load figures the windows show are sampled
// every second and summed up per filter (median and mean), to set against
// sonabel-render's figures for the same chain. --file WAV plays that file
// instead of the built-in tone.
//
// Usage: sonabel_app_bench [SECONDS (10)] [--drive] [--write-ahead CHUNKS]
//                          [--chain FILE] [--file WAV]

#include "core/AudioFormat.h"
#include "engine/AudioMixer.h"
#include "filters/AudioFilter.h"
#include "io/AudioOutputDevice.h"
#include "io/DirectSoundWriter.h"
#include "ui/Application.h"
#include "ui/ControlId.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/FilterInfo.h"
#include "ui/FilterListInfo.h"
#include "ui/MainWindow.h"
#include "ui/ParameterWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <pthread.h>
#include <sched.h>
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

// Stamps the time of every chunk it sees; allocates nothing while it runs.
class TickTimingFilter : public sonabel::AudioFilter {
public:
    explicit TickTimingFilter(size_t capacity) : stamps(capacity) {}
    const char* getName() override { return "Tick timing"; }
    const char* getDescription() override { return "Stamps every chunk."; }
    sonabel::AudioFormat* getFormat() override { return &format; }
    void setFormat(const sonabel::AudioFormat& f) override { format.copyFrom(f); }
    void process(sonabel::SampleBuffer&) override {
        const size_t i = count.load(std::memory_order_relaxed);
        if (i == 64) {
            sched_param param{};
            int policy = 0;
            pthread_getschedparam(pthread_self(), &policy, &param);
            tickerPolicy.store(policy);
            tickerPriority.store(param.sched_priority);
        }
        if (i < stamps.size()) {
            stamps[i] = std::chrono::steady_clock::now();
            count.store(i + 1, std::memory_order_release);
        }
    }
    int32_t getParameterCount() override { return 0; }
    const sonabel::ParameterInfo* getParameterInfo(int32_t) override { return nullptr; }
    void setParameter(int32_t, int32_t) override {}
    int32_t getParameter(int32_t) override { return 0; }
    char* getParameterText(int32_t, char* buffer, int32_t capacity) override {
        if (capacity > 0) buffer[0] = 0;
        return buffer;
    }
    std::vector<std::chrono::steady_clock::time_point> stamps;
    std::atomic<size_t> count{0};
    std::atomic<int> tickerPolicy{-1}, tickerPriority{0};
    sonabel::AudioFormat format;
};

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

std::string loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) return "?";
    const QStringList fields = QString::fromLatin1(file.readAll()).split(QLatin1Char(' '));
    return fields.size() >= 3 ? qPrintable(fields.mid(0, 3).join(QLatin1Char(' '))) : "?";
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("SONABEL_AUDIO_API")) qputenv("SONABEL_AUDIO_API", "null");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    int seconds = 10, writeAhead = 0;
    bool drive = false;
    QString chainFile, soundFile;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--drive") == 0)
            drive = true;
        else if (std::strcmp(argv[i], "--write-ahead") == 0 && i + 1 < argc)
            writeAhead = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--chain") == 0 && i + 1 < argc)
            chainFile = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        else if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc)
            soundFile = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        else
            seconds = std::max(1, std::atoi(argv[i]));
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (soundFile.isEmpty()) writeTone(dir.filePath(QStringLiteral("tone.wav")), 44100 * 3);
    else QFile::copy(soundFile, dir.filePath(QStringLiteral("tone.wav")));

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
    sonabel::DeviceWriterInfo* outputPanel = application.getDeviceWriterInfo();
    sonabel::AudioOutputDevice* output = outputPanel->getOutputDevice();
    if (writeAhead > 0 && output->getBufferSizeFrames() > 0)
        output->setBufferCount((writeAhead * 1024 + output->getBufferSizeFrames() - 1) / output->getBufferSizeFrames());
    TickTimingFilter timing(size_t(seconds + 5) * 60);
    application.getMixer()->addFilter(&timing);
    sonabel::FilterListInfo* filterBox = application.getFilterListInfo();
    if (!chainFile.isEmpty()) {
        if (!filterBox->loadChain(chainFile)) {
            std::fprintf(stderr, "the chain %s did not load\n", qPrintable(chainFile));
            return 1;
        }
        for (int i = 0; i < filterBox->getEntryCount(); ++i) filterBox->getEntry(i)->openWindow();
    }
    findControl<QCheckBox>(window, 1002)->click();
    if (!findControl<QCheckBox>(window, 1002)->isChecked()) {
        std::fprintf(stderr, "the soundcard output did not start\n");
        return 1;
    }
    const int underrunsBefore = outputPanel->getUnderruns(), overflowsBefore = outputPanel->getOverflows();
    auto* writer = dynamic_cast<sonabel::DirectSoundWriter*>(output);
    const int64_t emptyBefore = writer ? writer->getDeviceEmptyBlocks() : 0;
    const int64_t xrunsBefore = writer ? writer->getServerXruns() : 0;
    // The load figures the filter windows show, sampled every second.
    std::vector<std::vector<double>> loads(size_t(filterBox->getEntryCount()));
    bool sampling = false;
    QTimer loadSampler;
    QObject::connect(&loadSampler, &QTimer::timeout, [&] {
        if (!sampling) return;
        for (int i = 0; i < filterBox->getEntryCount() && size_t(i) < loads.size(); ++i)
            if (sonabel::ParameterWindow* w = filterBox->getEntry(i)->getWindow())
                loads[size_t(i)].push_back(w->loadText()->text().section(QLatin1Char(' '), 0, 0).toDouble());
    });
    loadSampler.start(1000);
    QTimer driver;
    int step = 0;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* volume = findControl<QSlider>(window, 1028);
        volume->setValue(50 + (step * 7) % 51);
        if (++step % 30 == 0) findControl<QCheckBox>(window, 1008)->click();
    });
    findControl<QLineEdit>(window, 1009)->setText(QStringLiteral("recording.wav"));
    application.getPanel(3)->createStream();
    if (drive) driver.start(100);

    // One second to settle, then the measured stretch of idle play.
    double cpuStart = 0, wallStart = 0;
    int32_t framesStart = 0;
    std::map<QString, std::pair<QString, double>> threadsStart;
    std::string loadAtStart;
    QTimer::singleShot(1000, [&] {
        sampling = true;
        loadAtStart = loadAverage();
        cpuStart = processCpuSeconds();
        wallStart = double(clock.nsecsElapsed()) * 1e-9;
        framesStart = output->getPosition();
        threadsStart = threadCpuSeconds();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double cpu = processCpuSeconds() - cpuStart;
        const double wall = double(clock.nsecsElapsed()) * 1e-9 - wallStart;
        std::printf("start to window shown: %.1f ms\n", shownMs);
        std::printf("play on the %s sound system: %.2f %% of one core over %.1f s (%d frames played)\n", qgetenv("SONABEL_AUDIO_API").constData(),
                    100.0 * cpu / wall, wall, output->getPosition() - framesStart);
        for (const auto& [tid, entry] : threadCpuSeconds()) {
            const double used = entry.second - (threadsStart.count(tid) ? threadsStart[tid].second : 0.0);
            if (used > 0.0)
                std::printf("  thread %s (%s): %.2f %%\n", qPrintable(tid), qPrintable(entry.first), 100.0 * used / wall);
        }
        std::printf("underruns %d, overflows %d (output panel)\n", outputPanel->getUnderruns() - underrunsBefore,
                    outputPanel->getOverflows() - overflowsBefore);
        if (writer)
            std::printf("ours: %lld blocks the device found short of our data; the server's: %lld xruns (device period "
                        "%d frames, write-ahead %d frames)\n",
                        static_cast<long long>(writer->getDeviceEmptyBlocks() - emptyBefore),
                        static_cast<long long>(writer->getServerXruns() - xrunsBefore), writer->getDevicePeriodFrames(),
                        writer->getBufferCount() * writer->getBufferSizeFrames());
        std::printf("load average at the start %s, at the end %s\n", loadAtStart.c_str(), loadAverage().c_str());
        for (size_t i = 0; i < loads.size(); ++i) {
            std::vector<double> v = loads[i];
            if (v.empty()) continue;
            std::sort(v.begin(), v.end());
            double sum = 0;
            for (double x : v) sum += x;
            std::printf("filter %zu (%s): load shown median %.1f %%, mean %.2f %% over %zu samples\n", i + 1,
                        filterBox->getEntry(int(i))->getFilter()->getName(), v[v.size() / 2], sum / double(v.size()),
                        v.size());
        }
        // Intervals between chunks after the first second, against 1024 frames.
        const size_t n = timing.count.load(std::memory_order_acquire);
        std::vector<double> strays;
        const double chunkMs = 1024.0 / 44100.0 * 1000.0;
        for (size_t i = 1; i < n; ++i) {
            if (timing.stamps[i] - timing.stamps[0] < std::chrono::seconds(1)) continue;
            const double ms = std::chrono::duration<double, std::milli>(timing.stamps[i] - timing.stamps[i - 1]).count();
            strays.push_back(std::abs(ms - chunkMs));
        }
        std::sort(strays.begin(), strays.end());
        const int policy = timing.tickerPolicy.load();
        std::printf("ticker thread: %s priority %d\n",
                    policy == SCHED_FIFO ? "SCHED_FIFO" : policy == SCHED_OTHER ? "SCHED_OTHER" : "unknown",
                    timing.tickerPriority.load());
        if (!strays.empty())
            std::printf("ticker jitter over %zu chunks: median %.3f ms, p99 %.3f ms, max %.3f ms\n", strays.size(),
                        strays[strays.size() / 2], strays[std::min(strays.size() - 1, strays.size() * 99 / 100)],
                        strays.back());
        driver.stop();
        window->close();
    });
    QObject::connect(&application, &sonabel::Application::finished, &qtApplication, &QApplication::exit, Qt::QueuedConnection);
    const int code = qtApplication.exec();
    // Not the application's to destroy.
    application.getMixer()->removeFilter(&timing);
    return code;
}
