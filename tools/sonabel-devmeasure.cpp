// sonabel-devmeasure: how well the soundcard classes keep time on a JACK
// server. It plays noise through the engine (mixer, synchronizer, the
// playback device as the clock) for a given time, optionally while busy
// loops load the other cores, and reports:
//   - underruns and overflows of the playback device (its notices 100, 101),
//     the blocks the device itself found short of our data (our own
//     lateness, as the device saw it), and apart from them the server's own
//     xruns (from a JACK client of ours, and as the device was told of them);
//   - for the capture: its underruns, the blocks the device delivered while
//     every buffer was full (our overflows), and the server's xruns as the
//     capture device was told of them;
//   - ticker wake-up jitter: the interval between two ticks minus the
//     nominal chunk time, median and 99th percentile of its size;
//   - loopback latency: the device's output ports are connected to the
//     capture device's input ports, the played noise is found in the
//     capture every 10 s, and the time from making a frame to the capture
//     holding it is set against the write-ahead. (On JACK the server hands
//     output ports to input ports within one cycle, so the latency is the
//     write-ahead, less the ticker's polling delay.)
//
// Usage: sonabel-devmeasure [--seconds N] [--write-ahead CHUNKS]
//        [--chunk FRAMES] [--busy] [--no-loopback] [--server NAME] [--log FILE]
// The exit status is 0 when it measured (ticks came, and the noise was found
// in the capture), 1 when it could not, 2 for a bad command line. It never
// judges the figures.

#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "engine/TickListener.h"
#include "engine/TickProvider.h"
#include "core/Log.h"
#include "io/AudioApi.h"
#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"

#include <jack/jack.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace sonabel;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    double seconds = 10.0;
    int writeAhead = 2;  // chunks
    int chunk = 1024;    // frames
    bool busy = false;
    bool loopback = true;
    std::string server;  // JACK server name; empty: the default one
    std::string log;     // the log file; empty: the state folder's
};

constexpr double rate = 44100.0;
constexpr double maxSeconds = 3600.0;

double nowSeconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Deterministic noise in -0.5 .. 0.5: frame n of the stream is noise(n).
float noise(int64_t n) {
    uint64_t z = static_cast<uint64_t>(n) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<float>(static_cast<double>(z >> 11) / 9007199254740992.0 - 0.5);
}

// Times written by one thread into memory made beforehand, read by another
// up to the published count: nothing is allocated while the clock runs.
class StampLog {
public:
    explicit StampLog(size_t capacity) : frames(capacity), times(capacity) {}
    void add(int64_t frame, double when) {
        const size_t i = count.load(std::memory_order_relaxed);
        if (i >= frames.size()) return;
        frames[i] = frame;
        times[i] = when;
        count.store(i + 1, std::memory_order_release);
    }
    size_t size() const { return count.load(std::memory_order_acquire); }
    std::vector<int64_t> frames;
    std::vector<double> times;

private:
    std::atomic<size_t> count{0};
};

// The source: noise, with the time each chunk was made.
class NoiseSource : public AudioReader {
public:
    explicit NoiseSource(size_t chunks) : stamps(chunks) {}
    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override { return frames; }
    void open() override { opened = true; }
    void close() override { opened = false; }
    bool isOpen() override { return opened; }
    void start() override { started = true; }
    void stop() override { started = false; }
    bool isStarted() override { return started; }
    int32_t read(SampleBuffer& buffer, int32_t, float srcFactor) override {
        stamps.add(made, nowSeconds());
        for (int c = 0; c < buffer.channelCount; ++c) {
            float* p = buffer.getBuffer(c);
            for (int f = 0; f < buffer.currCount; ++f) {
                const float v = noise(made + f);
                p[f] = srcFactor == 0.0f ? v : p[f] + v * srcFactor;
            }
        }
        made += buffer.currCount;
        return buffer.currCount;
    }

    AudioFormat format{2, 44100.0f};
    std::atomic<bool> opened{false}, started{false};
    int64_t made = 0;
    StampLog stamps;
};

// Stands between the playback device and the synchronizer to note the time
// of every tick.
class TickTap : public TickProvider, public TickListener {
public:
    TickTap(TickProvider& inner, size_t ticks) : device(inner), stamps(ticks) {}
    void startTicker(TickListener* target) override {
        listener.store(target);
        device.startTicker(this);
    }
    void stopTicker() override { device.stopTicker(); }
    void setTickFrames(int32_t frames) override { device.setTickFrames(frames); }
    int32_t getTickFrames() override { return device.getTickFrames(); }
    void ticked(int32_t frames) override {
        // Now and then: the ticker may run its first ticks before its
        // priority is applied.
        if (stamps.size() % 64 == 63) {
            int policy = 0;
            sched_param param{};
            pthread_getschedparam(pthread_self(), &policy, &param);
            tickerPolicy.store(policy);
            tickerPriority.store(param.sched_priority);
        }
        stamps.add(frames, nowSeconds());
        if (TickListener* target = listener.load()) target->ticked(frames);
    }

    TickProvider& device;
    std::atomic<TickListener*> listener{nullptr};
    StampLog stamps;
    std::atomic<int> tickerPolicy{-1}, tickerPriority{0};
};

struct NoticeCount : DeviceListener {
    std::atomic<int> underruns{0}, overflows{0};
    void notify(ListenerList*, int code, int) override {
        if (code == 100) ++underruns;
        if (code == 101) ++overflows;
    }
};

int onXrun(void* counter) {
    static_cast<std::atomic<int>*>(counter)->fetch_add(1);
    return 0;
}

// The server's own cycles as a client of it sees them: when each began.
StampLog* cycleLog = nullptr;

int onProcess(jack_nframes_t frames, void*) {
    if (cycleLog) cycleLog->add(frames, nowSeconds());
    return 0;
}

// Our own client on the server: counts its xruns and patches our ports.
class JackPatch {
public:
    JackPatch() {
        client = jack_client_open("sonabel-devmeasure", JackNoStartServer, nullptr);
        if (!client) return;
        jack_set_xrun_callback(client, &onXrun, &xruns);
        jack_set_process_callback(client, &onProcess, nullptr);
        if (jack_activate(client) != 0) {
            jack_client_close(client);
            client = nullptr;
        }
    }
    ~JackPatch() {
        if (client) jack_client_close(client);
    }
    JackPatch(const JackPatch&) = delete;
    JackPatch& operator=(const JackPatch&) = delete;
    bool connect(int channels) {
        if (!client) return false;
        const std::string pid = std::to_string(static_cast<int>(::getpid()));
        for (int c = 0; c < channels; ++c) {
            const std::string out = "sonabel-out-" + pid + ":out_" + std::to_string(c + 1);
            const std::string in = "sonabel-in-" + pid + ":in_" + std::to_string(c + 1);
            const int r = jack_connect(client, out.c_str(), in.c_str());
            if (r != 0 && r != EEXIST) return false;
        }
        return true;
    }
    jack_client_t* client = nullptr;
    std::atomic<int> xruns{0};
};

// Keeps a core busy until told to stop.
void spin(const std::atomic<bool>& stop) {
    volatile uint64_t n = 0;
    while (!stop.load(std::memory_order_relaxed)) n = n + 1;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto i = static_cast<size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[i];
}

// The capture, channel 0, as it arrives in whole buffers of `block` frames:
// the last `keep` frames in a ring, with the time each buffer was seen. The
// capture holds buffer k (frames k*block .. (k+1)*block-1) from its
// arrival. A buffer is never seen before it has arrived but sometimes seen
// late, so the arrivals are laid on the capture's own clock, set by the
// earliest sighting near the frames in question: frames lost by the server
// (xruns) move that clock.
struct Capture {
    Capture(int64_t keepFrames, int blockFrames)
        : ring(static_cast<size_t>(keepFrames)), seen(static_cast<size_t>(keepFrames / blockFrames)), block(blockFrames) {}
    void add(const float* samples, double seenAt) {
        const int64_t k = total / block;
        for (int i = 0; i < block; ++i) ring[static_cast<size_t>((total + i) % static_cast<int64_t>(ring.size()))] = samples[i];
        seen[static_cast<size_t>(k % static_cast<int64_t>(seen.size()))] = seenAt;
        total += block;
    }
    int64_t kept() const { return static_cast<int64_t>(ring.size()); }
    float at(int64_t m) const { return ring[static_cast<size_t>(m % kept())]; }
    // Start of the capture's clock (the time of its frame 0) as the buffers
    // from frame `from` on tell it.
    double clockFrom(int64_t from) const {
        double start = 1e300;
        for (int64_t k = from / block; (k + 1) * block <= total; ++k)
            start = std::min(start, seen[static_cast<size_t>(k % static_cast<int64_t>(seen.size()))] -
                                        static_cast<double>((k + 1) * block) / rate);
        return start;
    }
    std::vector<float> ring;
    std::vector<double> seen;
    int block;
    int64_t total = 0;
};

// One latency measurement from the capture so far: where the newest second
// of the capture came from in the noise, and how long after it was made the
// capture held it.
struct Latency {
    bool found = false;
    double correlation = 0;
    int64_t lag = 0;   // capture frame minus noise frame
    double frames = 0; // made -> held by the capture
};

// Correlation of the noise with the capture at a lag, over length frames
// from capture frame m0 (every step-th frame).
double correlate(const Capture& capture, int64_t m0, int64_t lag, int64_t length, int64_t step) {
    double sxy = 0, sxx = 0, syy = 0;
    for (int64_t i = 0; i < length; i += step) {
        const double x = noise(m0 - lag + i), y = capture.at(m0 + i);
        sxy += x * y;
        sxx += x * x;
        syy += y * y;
    }
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
}

Latency measureLatency(const Capture& capture, const NoiseSource& source, int64_t lastLag) {
    Latency result;
    const int64_t window = 44100;
    const int64_t probeLength = 2048;
    if (capture.total < window + probeLength) return result;
    const int64_t m0 = capture.total - window; // first capture frame of the window
    // Near the last lag first; the whole kept capture when it moved far.
    auto search = [&](int64_t from, int64_t to) {
        int64_t best = -1;
        double top = 0;
        for (int64_t lag = std::max<int64_t>(from, 0); lag <= to && lag <= m0; ++lag) {
            double sum = 0;
            for (int64_t i = 0; i < probeLength; i += 4) sum += capture.at(m0 + i) * noise(m0 - lag + i);
            if (sum > top) {
                top = sum;
                best = lag;
            }
        }
        return best;
    };
    int64_t lag = lastLag >= 0 ? search(lastLag - 4096, lastLag + 4096) : -1;
    if (lag < 0 || correlate(capture, m0, lag, probeLength, 1) < 0.9) lag = search(0, capture.kept() - window);
    if (lag < 0) return result;
    result.lag = lag;
    result.correlation = correlate(capture, m0, lag, window, 1);
    if (result.correlation < 0.9) return result;
    // Every frame of the chunks made in the window's part of the noise.
    const double start = capture.clockFrom(m0);
    const int64_t first = m0 - lag, last = m0 - lag + window;
    double sum = 0;
    int64_t count = 0;
    const size_t n = source.stamps.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const int64_t from = source.stamps.frames[i], to = source.stamps.frames[i + 1];
        if (from < first || to > last) continue;
        for (int64_t frame = from; frame < to; ++frame) {
            const int64_t m = frame + lag;
            sum += start + static_cast<double>((m / capture.block + 1) * capture.block) / rate - source.stamps.times[i];
            ++count;
        }
    }
    if (count == 0) return result;
    result.found = true;
    result.frames = sum / static_cast<double>(count) * rate;
    return result;
}

const char* const usageText =
    "usage: sonabel-devmeasure [--seconds N] [--write-ahead CHUNKS] [--chunk FRAMES] [--busy]\n"
    "                          [--no-loopback] [--server NAME] [--log FILE]\n"
    "Plays noise through the engine on a JACK server for N seconds (default 10, at most 3600)\n"
    "and reports underruns, overflows, the ticker's wake-up jitter and the loopback latency.\n"
    "  --write-ahead CHUNKS  chunks queued ahead of the server (1 to 1000, default 2)\n"
    "  --chunk FRAMES        frames per chunk, 64 to 16384 (default 1024)\n"
    "  --busy                load the other cores with busy loops meanwhile\n"
    "  --no-loopback         no capture, so no latency figure\n"
    "  --server NAME         the JACK server (default: JACK_DEFAULT_SERVER, else \"default\")\n"
    "  --log FILE            the log (default: $XDG_STATE_HOME/sonabel/sonabel-devmeasure.log)\n"
    "  -h, --help            this text\n"
    "Options take their value as --seconds 5 or --seconds=5. The time left is shown on\n"
    "stderr. Exit status: 0 measured, 1 could not measure, 2 a bad command line.\n";

// A bad command line, named on stderr: status 2.
int usageError(const std::string& message) {
    std::fprintf(stderr, "sonabel-devmeasure: %s (try --help)\n", message.c_str());
    return 2;
}

bool parseCount(const std::string& text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// 0 to run, -1 after --help (status 0), else the exit status of a usage error.
int parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool attached = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            value = a.substr(a.find('=') + 1);
            a = a.substr(0, a.find('='));
            attached = true;
        }
        if (a == "-h" || a == "--help") {
            std::fputs(usageText, stdout);
            return -1;
        }
        const bool takesValue =
            a == "--seconds" || a == "--write-ahead" || a == "--chunk" || a == "--server" || a == "--log";
        const bool flag = a == "--busy" || a == "--no-loopback";
        if (!takesValue && !flag) return usageError("unknown option " + a);
        if (flag && attached) return usageError("option " + a + " takes no value");
        if (takesValue && !attached) {
            if (i + 1 >= argc) return usageError("option " + a + " needs a value");
            value = argv[++i];
        }
        if (a == "--seconds") {
            // Bounded: the run keeps a time stamp for every chunk it plays.
            char* end = nullptr;
            options.seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != 0 || !(options.seconds > 0.0 && options.seconds <= maxSeconds)) {
                std::fprintf(stderr, "sonabel-devmeasure: --seconds takes more than 0 and at most %.0f seconds, not \"%s\"\n",
                             maxSeconds, value.c_str());
                return 2;
            }
        } else if (a == "--write-ahead") {
            if (!parseCount(value, 1, 1000, options.writeAhead))
                return usageError("--write-ahead takes 1 to 1000 chunks, not \"" + value + "\"");
        } else if (a == "--chunk") {
            if (!parseCount(value, 64, 16384, options.chunk))
                return usageError("--chunk takes 64 to 16384 frames, not \"" + value + "\"");
        } else if (a == "--server") {
            options.server = value;
        } else if (a == "--log") {
            options.log = value;
        } else if (a == "--busy") {
            options.busy = true;
        } else {
            options.loopback = false;
        }
    }
    return 0;
}

// The time left: redrawn every second on a terminal, a line every 10 s
// into a file or pipe.
class Countdown {
public:
    explicit Countdown(double seconds) : total(seconds), terminal(::isatty(STDERR_FILENO) != 0) {}
    void show(double elapsed) {
        const int left = static_cast<int>(std::ceil(total - elapsed));
        const int every = terminal ? 1 : 10;
        if (left <= 0 || left == shown || (shown >= 0 && shown - left < every)) return;
        shown = left;
        if (terminal)
            std::fprintf(stderr, "\r  %d s left   ", left);
        else
            std::fprintf(stderr, "sonabel-devmeasure: %d s left\n", left);
    }
    void finish() {
        if (terminal && shown >= 0) std::fprintf(stderr, "\r              \r");
    }

private:
    double total;
    bool terminal;
    int shown = -1;
};

const char* policyName(int policy) {
    switch (policy) {
    case SCHED_FIFO: return "SCHED_FIFO";
    case SCHED_RR: return "SCHED_RR";
    case SCHED_OTHER: return "SCHED_OTHER";
    default: return "unknown";
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = parse(argc, argv, options)) return status < 0 ? 0 : status;
    const std::string logPath = options.log.empty() ? getToolLogPath("sonabel-devmeasure") : options.log;
    std::string reason;
    if (!setLogFile(logPath, reason, options.log.empty())) {
        std::fprintf(stderr, "sonabel-devmeasure: %scannot write the log %s: %s\n", options.log.empty() ? "warning: " : "",
                     logPath.c_str(), reason.c_str());
        if (!options.log.empty()) return 1;
    }
    if (!options.server.empty()) setenv("JACK_DEFAULT_SERVER", options.server.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 0);
    setenv("SONABEL_AUDIO_API", "jack", 0);
    const AudioApi api = chooseAudioApi();
    const bool onJack = api == AudioApi::jack;

    const double chunkSeconds = options.chunk / rate;
    const auto expectedTicks = static_cast<size_t>(options.seconds / chunkSeconds);
    NoiseSource source(expectedTicks * 2 + 1000);
    DirectSoundWriter writer;
    NoticeCount playNotices, captureNotices;
    writer.addListener(&playNotices);
    writer.setBufferSizeFrames(options.chunk);
    writer.setBufferCount(options.writeAhead);
    writer.setTickFrames(options.chunk);
    if (writer.getDeviceCount() < 1) {
        std::fprintf(stderr, "sonabel-devmeasure: no playback device\n");
        return 1;
    }
    TickTap tap(writer, expectedTicks * 2 + 1000);
    StampLog cycles(static_cast<size_t>(options.seconds * rate / 64) + 1000);
    cycleLog = &cycles;
    JackPatch patch;
    if (onJack && !patch.client) {
        std::fprintf(stderr, "sonabel-devmeasure: no JACK server answers%s%s\n", options.server.empty() ? "" : " as ",
                     options.server.c_str());
        return 1;
    }
    const int writeAheadFrames = writer.getWriteAheadBytes() / 4;

    std::printf("sonabel-devmeasure: %s, device \"%s\", %.0f Hz, chunks of %d frames (%.2f ms)\n", getAudioApiName(api),
                writer.getDeviceName(0), rate, options.chunk, chunkSeconds * 1000);
    std::printf("  write-ahead %d chunks = %d frames (%.1f ms); %.0f s; busy loop: %s; load average %s\n",
                writer.getBufferCount(), writeAheadFrames, writeAheadFrames / rate * 1000, options.seconds,
                options.busy ? "yes" : "no", loadAverage().c_str());
    if (onJack && patch.client)
        std::printf("  JACK server: %s, %u Hz, period %u frames\n", jack_is_realtime(patch.client) ? "realtime" : "not realtime",
                    jack_get_sample_rate(patch.client), jack_get_buffer_size(patch.client));
    std::fflush(stdout);

    AudioMixer mixer;
    AudioSynchronizer sync;
    mixer.open();
    mixer.start();
    sync.setReader(&mixer);
    sync.start();
    mixer.addInput(&source, 1.0f, false);
    sync.addWriter(&writer);
    if (!writer.isStarted()) {
        std::fprintf(stderr, "sonabel-devmeasure: the playback device did not start\n");
        sync.stop();
        return 1;
    }

    MMEReader reader;
    const bool capturing = options.loopback && onJack;
    if (capturing) {
        reader.addListener(&captureNotices);
        reader.setBufferSizeFrames(options.chunk);
        reader.setBufferCount(30);
        reader.open();
        reader.start();
    }

    std::atomic<bool> stopBusy{false};
    std::vector<std::thread> busy;
    if (options.busy) {
        const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i + 1 < cores; ++i) busy.emplace_back(spin, std::cref(stopBusy));
    }

    sync.setTickProvider(&tap);
    const bool patched = capturing && reader.isStarted() && patch.connect(2);
    if (capturing && !patched) std::printf("  loopback: could not connect the ports\n");

    // The capture is read here as it arrives; every 10 s the latency is
    // measured on the newest second of it.
    Capture capture(static_cast<int64_t>(rate * 4) / options.chunk * options.chunk, options.chunk);
    SampleBuffer chunk(2, options.chunk);
    std::vector<Latency> latencies;
    int position = 0;
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.seconds));
    auto nextCheck = begin + std::chrono::seconds(10);
    auto nextReport = begin + std::chrono::seconds(60);
    Countdown countdown(options.seconds);
    while (Clock::now() < end) {
        countdown.show(secondsSince(begin));
        if (patched && reader.available(options.chunk) >= options.chunk) {
            const double seenAt = nowSeconds();
            reader.read(chunk, ++position, 0.0f);
            capture.add(chunk.getBuffer(0), seenAt);
            continue;
        }
        if (patched && Clock::now() >= nextCheck) {
            nextCheck += std::chrono::seconds(10);
            latencies.push_back(measureLatency(capture, source, latencies.empty() ? -1 : latencies.back().lag));
        }
        if (Clock::now() >= nextReport) {
            nextReport += std::chrono::seconds(60);
            std::printf("  %4.0f s: %zu ticks, %d underruns, %d overflows, %d server xruns; load average %s\n",
                        secondsSince(begin), tap.stamps.size(), playNotices.underruns.load(), playNotices.overflows.load(),
                        patch.xruns.load(), loadAverage().c_str());
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    countdown.finish();
    if (patched) latencies.push_back(measureLatency(capture, source, latencies.empty() ? -1 : latencies.back().lag));
    const double elapsed = secondsSince(begin);

    const int64_t captureOverflowBlocks = capturing ? reader.getDeviceOverflowBlocks() : 0;
    const int64_t captureXruns = capturing ? reader.getServerXruns() : 0;
    const int64_t emptyBlocks = writer.getDeviceEmptyBlocks();
    const int64_t deviceXruns = writer.getServerXruns();
    const int32_t periodFrames = writer.getDevicePeriodFrames();
    sync.setTickProvider(nullptr);
    stopBusy.store(true);
    for (std::thread& t : busy) t.join();
    sync.removeWriter(&writer);
    mixer.removeInput(&source);
    if (capturing) reader.close();
    sync.stop();

    // Jitter: the interval between ticks against the chunk time. The first
    // second is left out: the ticker fills the write-ahead with ticks in a
    // row there.
    const size_t ticks = tap.stamps.size();
    std::vector<double> deviation;
    double worst = 0;
    for (size_t i = 1; i < ticks; ++i) {
        if (tap.stamps.times[i - 1] < tap.stamps.times[0] + 1.0) continue;
        const double d = (tap.stamps.times[i] - tap.stamps.times[i - 1] - chunkSeconds) * 1000;
        deviation.push_back(std::fabs(d));
        worst = std::max(worst, std::fabs(d));
    }
    std::printf("result after %.1f s (load average now %s)\n", elapsed, loadAverage().c_str());
    const int policy = tap.tickerPolicy.load();
    std::printf("  ticker thread: %s priority %d\n", policy < 0 ? "none" : policyName(policy), tap.tickerPriority.load());
    std::printf("  ticks: %zu (%.0f expected)\n", ticks, elapsed / chunkSeconds);
    std::printf("  ours: underruns %d (blocks the device found short: %lld), overflows %d", playNotices.underruns.load(),
                static_cast<long long>(emptyBlocks), playNotices.overflows.load());
    if (capturing)
        std::printf(", capture underruns %d, capture overflows %lld (blocks the device found no buffer for)",
                    captureNotices.underruns.load(), static_cast<long long>(captureOverflowBlocks));
    std::printf("\n  the server's: xruns %d (told to the device: %lld", onJack && patch.client ? patch.xruns.load() : 0,
                static_cast<long long>(deviceXruns));
    if (capturing) std::printf(", to the capture device: %lld", static_cast<long long>(captureXruns));
    std::printf("); device period %d frames\n", periodFrames);
    std::printf("  |tick interval - %.3f ms| after the first second: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                chunkSeconds * 1000, percentile(deviation, 0.5), percentile(deviation, 0.99), worst);
    // The same for the server's cycles, which the ticks follow: how much of
    // the jitter is the server's own.
    std::vector<double> cycleDeviation;
    const size_t cycleCount = std::min(cycles.size(), cycles.frames.size());
    for (size_t i = 1; i < cycleCount; ++i) {
        if (cycles.times[i - 1] < cycles.times[0] + 1.0) continue;
        const double period = static_cast<double>(cycles.frames[i - 1]) / rate;
        cycleDeviation.push_back(std::fabs(cycles.times[i] - cycles.times[i - 1] - period) * 1000);
    }
    if (!cycleDeviation.empty())
        std::printf("  |server cycle interval - period| (a client's process callback): median %.3f ms, p99 %.3f ms, "
                    "max %.3f ms\n",
                    percentile(cycleDeviation, 0.5), percentile(cycleDeviation, 0.99),
                    percentile(cycleDeviation, 1.0));

    bool foundNoise = !patched;
    if (patched) {
        std::vector<double> frames;
        double correlation = 1;
        for (const Latency& l : latencies) {
            if (!l.found) continue;
            frames.push_back(l.frames);
            correlation = std::min(correlation, l.correlation);
        }
        if (frames.empty()) {
            std::printf("  loopback: the played noise was not found in the capture\n");
        } else {
            foundNoise = true;
            const double median = percentile(frames, 0.5);
            std::printf("  loopback latency: median %.0f frames (%.1f ms) over %zu measurements, %.0f .. %.0f;\n"
                        "    write-ahead %d frames, so %.0f frames beyond it; lowest correlation %.4f\n",
                        median, median / rate * 1000, frames.size(), percentile(frames, 0), percentile(frames, 1),
                        writeAheadFrames, median - writeAheadFrames, correlation);
        }
    }
    return ticks > 0 && foundNoise ? 0 : 1;
}
