#include "render/LivePlayer.h"

#include "core/AudioDeviceFormat.h"
#include "core/DeviceListener.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/TickProviderChoice.h"
#include "filters/AudioFilter.h"
#include "io/AudioApi.h"
#include "io/AudioDevice.h"
#include "io/AudioInputDevice.h"
#include "io/AudioLibrary.h"
#include "io/AudioOutputDevice.h"
#include "io/DirectSoundWriter.h"
#include "io/NullPlaybackRing.h"
#include "render/FrameLimitWriter.h"
#include "render/InputFile.h"
#include "render/OutputFile.h"
#include "render/LogErrors.h"
#include "render/RenderLoadMonitor.h"
#include "render/RenderOptions.h"
#include "render/RenderReport.h"
#include "render/StreamOutput.h"
#include "render/StreamProgress.h"
#include "render/StreamSpool.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

namespace sonabel {

namespace {

std::atomic<bool> interrupted{false};
// The same, for a stream's reads that wait for its writer.
volatile std::sig_atomic_t interruptedRead = 0;

extern "C" void onInterrupt(int) {
    interrupted.store(true);
    interruptedRead = 1;
    // A device that is being opened on a frozen server gives up at once.
    AudioLibrary::instance().setHurried(true);
}

// Counts the devices' underrun (100) and overflow (101) notices; called on
// the devices' threads.
struct DeviceCounter : DeviceListener {
    std::atomic<int> underruns{0};
    std::atomic<int> overflows{0};
    void notify(ListenerList*, int code, int) override {
        if (code == 100) underruns++;
        if (code == 101) overflows++;
    }
};

// Ctrl-C ends the run cleanly while this lives.
class InterruptScope {
public:
    InterruptScope() {
        interrupted = false;
        interruptedRead = 0;
        AudioLibrary::instance().setHurried(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous);
    }
    ~InterruptScope() { sigaction(SIGINT, &previous, nullptr); }

private:
    struct sigaction previous {};
};

void printList(std::ostream& out, const char* heading, AudioDevice* device) {
    out << heading << "\n";
    for (int i = 0; i < device->getDeviceCount(); ++i) {
        const char* name = device->getDeviceName(i);
        char line[512];
        std::snprintf(line, sizeof line, "  %2d  %s\n", i, name ? name : "?");
        out << line;
    }
}

} // namespace

LivePlayer::LivePlayer(const RenderOptions& o, const std::vector<AudioFilter*>& filters, std::ostream& output,
                       std::ostream& errors)
    : options(o), chain(filters), out(output), err(errors) {}

int LivePlayer::listDevices(std::ostream& out) {
    std::unique_ptr<AudioOutputDevice> output(createOutputDevice(0));
    std::unique_ptr<AudioInputDevice> input(createInputDevice(0));
    if (output) printList(out, "Output devices (for --play --device N):", output.get());
    if (input) printList(out, "Input devices (for --capture --device N):", input.get());
    return 0;
}

std::string LivePlayer::checkWriteAhead(AudioOutputDevice* playback) const {
    auto* writer = dynamic_cast<DirectSoundWriter*>(playback);
    if (!writer || !writer->isWriteAheadTooShort()) return "";
    const int chunk = writer->getTickFrames();
    const int have = writer->getBufferCount() * writer->getBufferSizeFrames();
    const int need = writer->getMinWriteAheadFrames();
    const int period = writer->getDevicePeriodFrames();
    char why[120];
    if (period >= need - chunk)
        std::snprintf(why, sizeof why, "a chunk, and the block of %d frames the device takes at a time", period);
    else
        std::snprintf(why, sizeof why, "a chunk, and 10 ms for waking up");
    char line[400];
    std::snprintf(line, sizeof line,
                  "a write-ahead of %d frames cannot play chunks of %d frames on this device without an underrun on every "
                  "tick: it needs %d frames (%s); try --write-ahead %d",
                  have, chunk, need, why, (need + chunk - 1) / chunk);
    return line;
}

int LivePlayer::run() {
    // Without the sound-system library only the null device is there: the
    // user is told why, and the run goes on there rather than failing.
    if (const char* api = std::getenv("SONABEL_AUDIO_API"); !api || std::strcmp(api, "null") != 0) {
        LogErrors loading;
        if (!AudioLibrary::instance().load()) err << "sonabel-render: " << loading.first() << "\n";
    }
    LogErrors errors;
    auto failed = [&](const std::string& fallback) {
        err << "sonabel-render: " << (errors.none() ? fallback : errors.first()) << "\n";
        return 1;
    };

    // Lists the devices of one side and takes --device, before anything
    // starts: 0, or the exit status.
    auto chooseDevice = [&](AudioDevice* device, const std::string& side) {
        const int count = device->getDeviceCount();
        if (count == 0) return failed("there is no soundcard " + side);
        if (options.device >= count) {
            err << "sonabel-render: --device " << options.device << " is out of range: the soundcard " << side
                << "s are 0 to " << count - 1 << " (see --list-devices)\n";
            return 2;
        }
        if (!options.deviceName.empty()) {
            // A name: the device whose name starts with it, if only one does.
            std::vector<int> found;
            for (int i = 0; i < count; ++i) {
                const char* candidate = device->getDeviceName(i);
                if (candidate && std::strncmp(candidate, options.deviceName.c_str(), options.deviceName.size()) == 0)
                    found.push_back(i);
            }
            if (found.size() != 1) {
                err << "sonabel-render: --device " << options.deviceName << (found.empty() ? " names no" : " names more than one")
                    << " soundcard " << side << "; the " << side << "s are:\n";
                for (int i = 0; i < count; ++i) err << "  " << i << "  " << device->getDeviceName(i) << "\n";
                return 2;
            }
            device->setDevice(found[0]);
        }
        if (options.device >= 0) device->setDevice(options.device);
        const char* name = device->getDeviceName(device->getDevice());
        // Which sound system and device: the one line that says so.
        const bool silent = name && std::strcmp(name, NullPlaybackRing::deviceName) == 0;
        if (count == 1 && silent && !std::getenv("SONABEL_AUDIO_API"))
            err << "sonabel-render: no sound system answers (JACK, PulseAudio, ALSA); the " << side
                << " is the null device (" << (side == "output" ? "no sound" : "silence") << ")\n";
        else
            err << "sonabel-render: soundcard " << side << ": "
                << (silent ? "no sound system" : getAudioApiName(AudioLibrary::instance().chooseApi())) << ", device " << device->getDevice()
                << " \"" << (name ? name : "?") << "\"\n";
        return 0;
    };

    DeviceCounter counter;
    std::unique_ptr<AudioInputDevice> capture;
    StreamSpool spool;
    std::unique_ptr<InputFile> file;
    std::unique_ptr<StreamProgress> progress;
    AudioReader* source;
    double rate;
    int64_t total;
    if (options.captureSeconds > 0.0) {
        capture.reset(createInputDevice(0));
        if (const int status = chooseDevice(capture.get(), "input")) return status;
        capture->addListener(&counter);
        rate = capture->getDeviceFormat()->sampleRate;
        total = static_cast<int64_t>(options.captureSeconds * rate + 0.5);
        source = capture.get();
    } else {
        file = std::make_unique<InputFile>();
        std::string handover, inputPath = options.input;
        if (streamFd >= 0) {
            std::string error;
            InputFile::StreamOpen opened;
            {
                LogErrors opening;
                opened = file->openStream(streamFd, streamName, handover, error, &interruptedRead);
            }
            if (opened == InputFile::StreamOpen::Failed) {
                err << "sonabel-render: cannot read " << streamName << ": " << error << "\n";
                return 1;
            }
            if (opened == InputFile::StreamOpen::Spool) {
                // A format read only from a file: the whole stream first.
                if (!spool.create(error) || !spool.readStream(error, streamFd, file->spoolHead())) {
                    err << "sonabel-render: cannot read " << streamName << ": " << error << "\n";
                    return 1;
                }
                inputPath = spool.path();
                file = std::make_unique<InputFile>();
            }
        }
        if (!file->isStream()) file->open(inputPath, handover);
        if (!handover.empty()) err << "sonabel-render: " << handover << "\n";
        if (!errors.none() || !file->isOpen()) return failed("cannot read " + options.input);
        rate = file->format().sampleRate > 0.0f ? file->format().sampleRate : 44100.0;
        // A stream plays until it ends, whatever its length.
        total = file->isStream() ? INT64_MAX : file->getLength();
        if (file->isStream()) progress = std::make_unique<StreamProgress>(*file);
        source = progress ? static_cast<AudioReader*>(progress.get()) : file->reader();
    }

    std::unique_ptr<AudioOutputDevice> playback;
    std::unique_ptr<OutputFile> recording;
    std::unique_ptr<StreamOutput> recordingStream;
    std::unique_ptr<FrameLimitWriter> limited;
    if (options.play) {
        playback.reset(createOutputDevice(0));
        if (const int status = chooseDevice(playback.get(), "output")) return status;
        playback->addListener(&counter);
        if (options.writeAhead > 0) {
            playback->setBufferSizeFrames(options.chunkFrames);
            playback->setBufferCount(options.writeAhead);
            playback->setTickFrames(options.chunkFrames);
            if (playback->getBufferCount() != options.writeAhead)
                err << "sonabel-render: --write-ahead " << options.writeAhead << ": this device cannot play from "
                    << (options.writeAhead == 1 ? "a single buffer" : "so many buffers") << "; it plays from "
                    << playback->getBufferCount() << "\n";
        }
    }
    if (!options.output.empty() && StreamOutput::isStream(options.output)) {
        // A named pipe or a device takes the recording as a stream, in place.
        recordingStream = std::make_unique<StreamOutput>(options.output);
        std::string error;
        if (!recordingStream->choose(options.container, options.bits, options.floatSamples,
                                     file ? file->format().bitsPerSample : 16, error)) {
            err << "sonabel-render: " << error << "\n";
            return 2;
        }
        if (!recordingStream->open(*source->getAudioFormat(), progress ? -1 : total, error))
            return failed("cannot write " + options.output + ": " + error);
        limited = progress ? std::make_unique<FrameLimitWriter>(&recordingStream->writer(),
                                                                [p = progress.get()] { return p->getFrames(); })
                           : std::make_unique<FrameLimitWriter>(&recordingStream->writer(), total);
    } else if (!options.output.empty()) {
        recording = std::make_unique<OutputFile>();
        std::string note, error;
        if (!recording->choose(options.output, options.container, options.bits, options.floatSamples,
                               file ? file->format().bitsPerSample : 16, file && file->isFloat(), note, error)) {
            err << "sonabel-render: " << error << "\n";
            return 2;
        }
        if (!note.empty()) err << "sonabel-render: warning: " << note << "\n";
        recording->setFileName(options.output);
        recording->setAudioFormat(*source->getAudioFormat());
        recording->open();
        if (!errors.none() || !recording->isOpen()) return failed("cannot write " + options.output);
        // A stream's recording ends where the stream did.
        limited = progress ? std::make_unique<FrameLimitWriter>(recording.get(),
                                                                [p = progress.get()] { return p->getFrames(); })
                           : std::make_unique<FrameLimitWriter>(recording.get(), total);
    }
    // Until the input's end: a stream's, once it has ended and played.
    auto playing = [&](int64_t at) {
        return progress ? !(progress->hasEnded() && at >= progress->getFrames()) : at < total;
    };

    RenderLoadMonitor monitor(chain);
    InterruptScope ctrlC;
    int status = 0;
    int64_t position = 0;
    const auto started = std::chrono::steady_clock::now();
    {
        AudioMixer mixer;
        mixer.loadMonitor = &monitor;
        mixer.addInput(source, 1.0f, false);
        for (AudioFilter* f : chain) mixer.addFilter(f);
        AudioSynchronizer sync;
        sync.setReader(&mixer);
        if (playback) sync.addWriter(playback.get());
        if (limited) sync.addWriter(limited.get());
        sync.start(); // opens and starts the mixer, its input and the writers
        if (capture && !capture->isStarted()) {
            status = failed("the soundcard input could not be started");
        } else if (playback && !playback->isStarted()) {
            status = failed("the soundcard output could not be started");
        } else if (const std::string tooShort = checkWriteAhead(playback.get()); !tooShort.empty()) {
            // Said before the first tick, rather than an underrun on every one.
            err << "sonabel-render: " << tooShort << "\n";
            status = 1;
        } else {
            chooseTickProvider(&sync, playback.get(), capture.get());
            auto lastDrawn = std::chrono::steady_clock::now();
            while (!interrupted && errors.none() && playing(position = sync.getPosition())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                auto now = std::chrono::steady_clock::now();
                if (showStatus && now - lastDrawn > std::chrono::milliseconds(100)) {
                    char line[160];
                    char length[40] = "";
                    if (!progress) std::snprintf(length, sizeof length, " of %.1f s", static_cast<double>(total) / rate);
                    std::snprintf(line, sizeof line, "\r  %.1f s%s   %d underruns   %d overflows ",
                                  static_cast<double>(position) / rate, length,
                                  counter.underruns.load(), counter.overflows.load());
                    err << line << std::flush;
                    lastDrawn = now;
                }
            }
            // What is still queued in the soundcard's ring plays out.
            if (playback && !interrupted && errors.none()) {
                const double queued = static_cast<double>(playback->getBufferCount()) * playback->getBufferSizeFrames() / rate;
                std::this_thread::sleep_for(std::chrono::duration<double>(queued < 1.0 ? queued : 1.0));
            }
            if (showStatus) err << "\n";
            if (recordingStream && *recordingStream->writer().getWriteError()) {
                // Its reader went away: in the user's words, not the log's.
                err << "sonabel-render: cannot write " << options.output << ": "
                    << recordingStream->writer().getWriteError() << "; "
                    << recordingStream->writer().getLength() << " frames went to " << options.output << "\n";
                status = 1;
            } else if (!errors.none()) {
                status = failed("the sound stopped");
            }
        }
        sync.setTickProvider(nullptr);
        sync.stop();
        if (recordingStream) recordingStream->close(); // its reader sees the end
        if (progress && progress->getReadErrorFrame() >= 0 && !interrupted) {
            err << "sonabel-render: cannot read " << streamName << " at frame " << progress->getReadErrorFrame()
                << ": " << progress->getReadError() << "\n";
            status = 1;
        }
        monitor.collect();
        for (int i = mixer.getFilterCount() - 1; i >= 0; --i) mixer.removeFilterNr(i);
        mixer.removeInput(source);
        if (playback) sync.removeWriter(playback.get());
        if (limited) sync.removeWriter(limited.get());
    }
    if (capture) capture->removeListener(&counter);
    if (playback) playback->removeListener(&counter);

    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int64_t end = progress ? progress->getFrames() : total;
    const int64_t frames = position < end ? position : end;
    // Counted on the way to the file, as a render counts them.
    const int64_t clipped =
        recording ? recording->getClipped() : recordingStream ? recordingStream->writer().getClipped() : 0;
    if (clipped > 0)
        err << "sonabel-render: warning: " << options.output << ": clipped " << clipped << " samples\n";
    const int chunkFrames = playback ? playback->getTickFrames() : (capture ? capture->getTickFrames() : 1024);
    for (AudioFilter* f : chain) f->inputEnded();
    if (jsonOut) {
        RenderReport report;
        report.input = options.input;
        report.output = options.output;
        report.frames = frames;
        report.sampleRate = rate;
        report.wallSeconds = wall;
        report.chunkFrames = chunkFrames;
        report.clipped = clipped;
        report.printJson(*jsonOut, chain, monitor);
    }
    char line[256];
    std::snprintf(line, sizeof line, "%s %lld frames (%.3f s)%s: %d underruns, %d overflows\n",
                  options.play ? "Played" : "Captured", static_cast<long long>(frames), static_cast<double>(frames) / rate,
                  interrupted ? ", interrupted" : "", counter.underruns.load(), counter.overflows.load());
    out << line;
    monitor.printLoads(out, chunkFrames, rate);
    monitor.printMeasuredValues(out);
    return status;
}

} // namespace sonabel
