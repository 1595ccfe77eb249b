#include "render/Renderer.h"

#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "filters/AudioFilter.h"
#include "io/WaveFileFormat.h"
#include "render/ChainCheck.h"
#include "render/FrameLimitWriter.h"
#include "render/InputFile.h"
#include "render/LivePlayer.h"
#include "render/LogErrors.h"
#include "render/OutputFile.h"
#include "render/RenderLoadMonitor.h"
#include "render/RenderReport.h"
#include "render/SignalToNoise.h"
#include "render/StreamOutput.h"
#include "render/StreamSpool.h"
#include "render/TemporaryOutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace sonabel {

namespace {

constexpr int textCapacity = 199;

std::string format(const char* fmt, double a, double b = 0.0, double c = 0.0) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, a, b, c);
    return text;
}

std::string decibels(double db) {
    if (std::isinf(db)) return db > 0 ? "+inf dB" : "-inf dB";
    return format("%.2f dB", db);
}

const char* typeName(ParameterType type) {
    switch (type) {
    case PARAM_SLIDER: return "slider";
    case PARAM_CHOICE: return "choice";
    case PARAM_CHECKBOX: return "check box";
    default: return "measured";
    }
}

void drawProgress(std::ostream& err, int64_t done, int64_t total, double rate) {
    if (total < 0) { // a stream, of a length still unknown
        err << "\r" << format("%.1f s", static_cast<double>(done) / rate) << std::flush;
        return;
    }
    const int width = 40;
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(share * width);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    err << "\r[" << bar << "] " << format("%3.0f%%  %.1f s of %.1f s", share * 100.0, static_cast<double>(done) / rate,
                                          static_cast<double>(total) / rate)
        << std::flush;
}

// The reason at the end of a log message ("...file 'x': No space left on
// device"), which is what the user needs when the file is ours.
std::string reasonOf(const std::string& message) {
    const size_t at = message.rfind("': ");
    return at == std::string::npos ? message : message.substr(at + 3);
}

std::string formatText(const WaveFileFormat& f) {
    return format("%g Hz", static_cast<double>(f.sampleRate)) + ", " + std::to_string(f.channels) +
           (f.channels == 1 ? " channel" : " channels");
}

const char* const tooLarge =
    " bytes of audio, more than the 2 GB (2147483647 bytes) a file may have here; nothing was rendered";

// The signal that asked the render to stop (SIGINT, SIGTERM), 0 while none.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int number) { stopSignal = number; }

// While it lives, SIGINT and SIGTERM end the render after the chunk in hand
// instead of ending the process with a file whose header claims 2 GB.
class StopSignals {
public:
    StopSignals() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
};

// The descriptor a stream is read from: standard input, or a named pipe
// opened here (which waits for its writer) and closed at the end.
struct StreamDescriptor {
    int fd = -1;
    bool owned = false;
    StreamDescriptor() = default;
    StreamDescriptor(const StreamDescriptor&) = delete;
    StreamDescriptor& operator=(const StreamDescriptor&) = delete;
    ~StreamDescriptor() {
        if (owned) ::close(fd);
    }
    bool open(const std::string& name, std::string& error) {
        if (name == "-") {
            fd = STDIN_FILENO;
            return true;
        }
        do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) error = std::strerror(errno);
        owned = fd >= 0;
        return owned;
    }
};

} // namespace

Renderer::Renderer(const RenderOptions& o, FilterFactory f, std::ostream& output, std::ostream& errors)
    : options(o), chainFile(f), catalogue(f), out(output), err(errors) {}

Renderer::~Renderer() {
    for (AudioFilter* f : chain) delete f;
}

void Renderer::fail(const std::string& message) { err << "sonabel-render: " << message << "\n"; }

int Renderer::run() {
    LogErrors quiet; // the log's lines stay in the log file
    switch (options.action) {
    case RenderOptions::Action::Help: out << RenderOptions::usage(); return 0;
    case RenderOptions::Action::Version: out << RenderOptions::version() << "\n"; return 0;
    case RenderOptions::Action::ListFilters: return listFilters();
    case RenderOptions::Action::Describe: return describe();
    case RenderOptions::Action::ListDevices: return LivePlayer::listDevices(out);
    case RenderOptions::Action::Render: break;
    }
    // Writing the output must not destroy what is read: the same file under
    // another name (a link, "./in.wav") counts as the same.
    const std::pair<const std::string*, const char*> sources[] = {{&options.input, "input"},
                                                                  {&options.reference, "--reference"}};
    for (const auto& [name, role] : sources) {
        if (!options.output.empty() && !options.outputIsStdout() && !name->empty() && *name != "-" &&
            TemporaryOutput::sameFile(options.output, *name)) {
            fail("the output " + options.output + " is the same file as the " + role + " " + *name +
                 "; give another output name");
            return 2;
        }
    }
    // A named pipe or a device is not kept either, as OUTPUT - is not.
    if (!options.reference.empty() && !options.outputIsStdout() && StreamOutput::isStream(options.output)) {
        fail("--reference compares OUTPUT with CLEAN, and OUTPUT " + options.output +
             " is not kept; give an output file");
        return 2;
    }
    // Standard input and named pipes are read in order as they come, by a
    // render and by --play; what must read the input twice reads a copy.
    StreamSpool inputSpool;
    StreamDescriptor descriptor;
    int playedFd = -1;
    inputPath = options.input;
    if (isStream(options.input)) {
        std::string error;
        if (!descriptor.open(options.input, error)) {
            fail("cannot read " + options.input + ": " + error);
            return 1;
        }
        if (options.reference.empty()) {
            if (!options.isLive()) return render(descriptor.fd);
            playedFd = descriptor.fd;
        } else {
            if (options.verbose)
                err << "sonabel-render: " << inputName()
                    << " is copied to a temporary file first: --reference reads the input twice\n";
            if (!inputSpool.create(error) || !inputSpool.readStream(error, descriptor.fd)) {
                fail("cannot read " + inputName() + ": " + error);
                return 1;
            }
            inputPath = inputSpool.path();
        }
    }
    if (!options.isLive()) return render();
    int status = 0;
    if (!buildChain(status)) return status;
    RenderOptions live = options;
    live.input = inputPath;
    // Its summary is a report: on stderr unless --stats, nowhere with -q;
    // --json puts it on stdout as one object.
    std::ostream nowhere(nullptr);
    LivePlayer player(live, chain, options.json ? nowhere : options.stats ? out : (options.quiet ? nowhere : err), err);
    player.showStatus = showProgress;
    if (options.json) player.jsonOut = &out;
    player.streamFd = playedFd;
    player.streamName = inputName();
    return player.run();
}

bool Renderer::isStream(const std::string& name) {
    if (name == "-") return true;
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

std::string Renderer::inputName() const { return options.input == "-" ? "standard input" : options.input; }

int Renderer::listFilters() {
    for (int i = 0; i < catalogue.count(); ++i) {
        std::unique_ptr<AudioFilter> f(catalogue.create(i));
        if (!f) continue;
        char line[512];
        std::snprintf(line, sizeof line, "%-28s %s\n", f->getName(), f->getDescription());
        out << line;
    }
    return 0;
}

int Renderer::describe() {
    std::string error;
    const int index = chainFile.findFilter(options.describeName, error);
    std::unique_ptr<AudioFilter> filter(index >= 0 ? catalogue.create(index) : nullptr);
    if (!filter) {
        fail(error);
        return 2;
    }
    out << filter->getName() << ": " << filter->getDescription() << "\n";
    char text[textCapacity + 1];
    auto step = [&](int i, int v, bool followed) {
        const std::string shown = followed ? filter->getParameterText(i, text, textCapacity) : (v ? "on" : "off");
        out << "      " << v << " = " << shown;
        const std::vector<std::string> aliases = FilterChainFile::aliasesOf(shown);
        for (size_t k = 0; k < aliases.size(); ++k) out << (k ? ", " : " (also ") << aliases[k];
        out << (aliases.empty() ? "\n" : ")\n");
    };
    for (int i = 0; i < filter->getParameterCount(); ++i) {
        const ParameterInfo* info = filter->getParameterInfo(i);
        if (!info) continue;
        out << "  " << info->name << " (" << typeName(info->type) << ")";
        if (info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX) {
            const int current = filter->getParameter(i);
            out << ", " << info->min << ".." << info->max << ", default " << current << ": "
                << filter->getParameterText(i, text, textCapacity) << "\n";
            for (int v = info->min; v <= info->max; ++v) {
                // A slider shows its ends only, unless every step is asked for.
                if (info->type == PARAM_SLIDER && !options.steps && v != info->min && v != info->max) continue;
                filter->setParameter(i, v);
                // A check box that cannot follow here ("Show window" has
                // no screen) shows its state, not the value: name the value.
                step(i, v, info->type != PARAM_CHECKBOX || filter->getParameter(i) == v);
            }
            filter->setParameter(i, current);
        } else {
            out << ": " << filter->getParameterText(i, text, textCapacity) << "\n";
        }
    }
    return 0;
}

bool Renderer::buildChain(int& status) {
    std::string error;
    std::vector<std::vector<ChainSetting>> settings;
    int filterOption = 0;
    for (const RenderOptions::ChainSource& source : options.chainSources) {
        std::vector<AudioFilter*> filters;
        std::vector<std::vector<ChainSetting>> made;
        if (source.isFile) {
            std::ifstream in(source.text);
            const int reason = errno;
            struct stat info {};
            // A directory opens for reading here and reads as an empty chain.
            const bool directory = ::stat(source.text.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            if (!in || directory) {
                fail("cannot read the chain file " + source.text + ": " + std::strerror(directory ? EISDIR : reason));
                status = 1;
                return false;
            }
            if (!chainFile.parse(in, filters, error, &made)) {
                fail(source.text + ": " + error);
                status = 2;
                return false;
            }
        } else {
            std::vector<ChainSetting> lineSettings;
            AudioFilter* f = chainFile.parseLine(source.text, ++filterOption, error, &lineSettings);
            if (!f) {
                // "line N: ..." would name the position among the --filter options.
                if (error.rfind("line ", 0) == 0 && error.find(": ") != std::string::npos)
                    error.erase(0, error.find(": ") + 2);
                if (error.empty()) error = "empty filter";
                fail("--filter '" + source.text + "': " + error);
                status = 2;
                return false;
            }
            filters.push_back(f);
            made.push_back(lineSettings);
        }
        chain.insert(chain.end(), filters.begin(), filters.end());
        settings.insert(settings.end(), made.begin(), made.end());
    }
    if (options.verbose) {
        for (size_t k = 0; k < chain.size(); ++k)
            for (const ChainSetting& s : settings[k])
                err << "sonabel-render: " << chain[k]->getName() << ": " << s.name << " = " << s.given << " -> "
                    << s.text << " (step " << s.step << ")\n";
    }
    for (size_t k = 0; k < chain.size(); ++k)
        for (const ChainSetting& s : settings[k])
            if (s.beyondRange)
                err << "sonabel-render: warning: " << chain[k]->getName() << ": " << s.name << " = " << s.given
                    << " is beyond its range; it takes the last step, " << s.text << "\n";
    for (const std::string& warning : ChainCheck::check(chain, settings))
        err << "sonabel-render: warning: " << warning << "\n";
    return true;
}

int Renderer::render(int streamFd) {
    int status = 0;
    if (!buildChain(status)) return status;

    InputFile input;
    std::string note;
    StreamSpool spool;
    if (streamFd >= 0) {
        std::string error;
        InputFile::StreamOpen opened;
        {
            LogErrors opening;
            opened = input.openStream(streamFd, inputName(), note, error, &stopSignal);
        }
        if (opened == InputFile::StreamOpen::Failed) {
            fail("cannot read " + inputName() + ": " + error);
            return 1;
        }
        if (opened == InputFile::StreamOpen::Spool) {
            // Read to its end first, and then as a file.
            if (options.verbose)
                err << "sonabel-render: " << inputName() << " is copied to a temporary file first: " << error << "\n";
            if (!spool.create(error) || !spool.readStream(error, streamFd, input.spoolHead())) {
                fail("cannot read " + inputName() + ": " + error);
                return 1;
            }
            streamFd = -1;
            inputPath = spool.path();
        }
    }
    LogErrors errors;
    if (streamFd < 0) input.open(inputPath, note);
    if (!note.empty()) err << "sonabel-render: " << note << "\n";
    if (!errors.first().empty() || !input.isOpen()) {
        std::string problem = errors.first().empty() ? "cannot read " + options.input : errors.first();
        // The user's name for a copied stream, not the temporary file's.
        if (const size_t at = problem.find(inputPath); inputPath != options.input && at != std::string::npos)
            problem.replace(at, inputPath.size(), inputName());
        fail(problem);
        return 1;
    }
    const bool streamed = input.isStream();
    AudioReader& reader = *input.reader();
    const WaveFileFormat inputFormat = input.format();
    // A stream's length is known when it has ended.
    int64_t total = streamed ? -1 : input.getLength();
    const double rate = inputFormat.sampleRate > 0.0f ? inputFormat.sampleRate : 44100.0;
    // Positions are 32-bit: better no output than one that silently ends early.
    if (input.beyondReach()) {
        fail(options.input + " holds " + std::to_string(input.getDataBytes()) + tooLarge);
        return 1;
    }
    if (!options.reference.empty() && !checkReference(inputFormat, total, status)) return status;
    // Standard output, a named pipe or a device is streamed chunk by chunk
    // in place; a file is written under a temporary name.
    const bool toStream = StreamOutput::isStream(options.output);
    OutputFile writer;
    StreamOutput stream(options.output);
    std::string error;
    note.clear(); // said above; choose gives its own
    if (toStream ? !stream.choose(options.container, options.bits, options.floatSamples, inputFormat.bitsPerSample,
                                  error)
                 : !writer.choose(options.output, options.container, options.bits, options.floatSamples,
                                  inputFormat.bitsPerSample, input.isFloat(), note, error)) {
        fail(error);
        return 2;
    }
    if (!note.empty()) err << "sonabel-render: warning: " << note << "\n";

    // From before the temporary file exists until it is renamed or removed.
    StopSignals signals;
    const std::string outputName = stream.displayName();
    TemporaryOutput output(toStream ? std::string() : options.output);
    if (!toStream && !output.create(error)) {
        fail("cannot write " + options.output + ": " + error);
        return 1;
    }
    // The output keeps the input's channels and rate; the engine's chunk may
    // have more channels (never fewer than 2), and the writer takes the first.
    AudioWriter* target = &writer;
    if (toStream) {
        if (!stream.open(inputFormat, total, error, &stopSignal)) {
            if (stopSignal) {
                fail(stopSignal == SIGTERM ? "terminated" : "interrupted");
                return 128 + static_cast<int>(stopSignal);
            }
            fail("cannot write " + outputName + ": " + error);
            return 1;
        }
        target = &stream.writer();
    } else {
        writer.setFileName(output.path());
        writer.setAudioFormat(inputFormat);
        // The temporary file and the rename protect the user: no need to
        // hand every chunk to the system on its own.
        writer.setBatched(true);
        writer.open();
    }
    if (!errors.first().empty() || !target->isOpen()) {
        fail("cannot write " + outputName + ": " + reasonOf(errors.first()));
        return 1;
    }
    auto writeErrorText = [&] { return toStream ? stream.writer().getWriteError() : writer.getWriteError(); };
    // The last chunk is cut where the input ended.
    FrameLimitWriter limited = streamed ? FrameLimitWriter(target, [&input] { return input.getFramesRead(); })
                                        : FrameLimitWriter(target, total);

    RenderLoadMonitor monitor(chain);
    int64_t done = 0;
    int64_t written = 0;
    int64_t readErrorFrame = -1;
    std::string readError, writeError;
    double wall = 0.0;
    const int chunk = options.chunkFrames;
    // The mixer and the synchronizer close the reader and the writer, so
    // they go first.
    {
        AudioMixer mixer;
        mixer.loadMonitor = &monitor;
        mixer.addInput(&reader, 1.0f, false);
        for (AudioFilter* f : chain) mixer.addFilter(f); // each learns the input's format
        mixer.open();
        mixer.start();
        AudioSynchronizer sync;
        sync.setReader(&mixer);
        sync.addWriter(&limited);
        sync.start();

        const auto started = std::chrono::steady_clock::now();
        auto lastDrawn = started;
        while ((streamed ? !input.hasEnded() : done < total) && !stopSignal) {
            sync.ticked(chunk);
            done = streamed ? input.getFramesRead() : (done + chunk < total ? done + chunk : total);
            if (input.getReadErrorFrame() >= 0 || *writeErrorText() || !errors.none()) break;
            if (showProgress) {
                auto now = std::chrono::steady_clock::now();
                if (now - lastDrawn > std::chrono::milliseconds(100)) {
                    drawProgress(err, done, total, rate);
                    lastDrawn = now;
                }
            }
            if (afterChunk) afterChunk(done);
        }
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (showProgress) {
            drawProgress(err, done, total, rate);
            err << "\n";
        }
        if (streamed && input.hasEnded()) total = done;
        if (!toStream) writer.flush(); // a disk that fills now still counts as a write error
        written = toStream ? stream.writer().getLength() : writer.getLength();
        readErrorFrame = input.getReadErrorFrame(); // close forgets them
        readError = input.getReadError();
        writeError = writeErrorText();
        sync.stop(); // closes the writer: the header states what the file holds
        if (toStream && writeError.empty()) writeError = writeErrorText(); // the last pad byte
        stream.close(); // the reader sees the end now
        monitor.collect();
        for (int i = mixer.getFilterCount() - 1; i >= 0; --i) mixer.removeFilterNr(i);
        mixer.removeInput(&reader);
    }

    // A render that did not reach the end keeps its part only where it
    // replaces nothing.
    std::string problem;
    int failed = 1;
    if (streamed && stopSignal) {
        // A read that the signal cut short is no fault of the stream.
        problem = stopSignal == SIGTERM ? "terminated" : "interrupted";
        failed = 128 + static_cast<int>(stopSignal);
    } else if (readErrorFrame >= 0) {
        problem = "cannot read " + (streamed ? inputName() : options.input) + " at frame " +
                  std::to_string(readErrorFrame) + (streamed ? "" : " of " + std::to_string(total)) + ": " + readError;
    } else if (!writeError.empty()) {
        problem = "cannot write " + outputName + ": " + writeError;
    } else if (!errors.none()) {
        // In the user's terms: the name they gave, not the temporary one.
        problem = errors.first();
        const size_t at = toStream ? std::string::npos : problem.find(output.path());
        if (at != std::string::npos) problem.replace(at, output.path().size(), options.output);
    } else if (done < total) {
        problem = stopSignal == SIGTERM ? "terminated" : "interrupted";
        failed = 128 + static_cast<int>(stopSignal);
    }
    if (!problem.empty()) {
        const bool existed = ::access(options.output.c_str(), F_OK) == 0;
        // After a read error the last chunk holds silence that is not in the
        // input: nothing of it is kept; nor is a file without frames.
        if (readErrorFrame >= 0 || written == 0) output.discard();
        if (toStream)
            // Gone already: the reader sees the stream end early.
            problem += "; " + std::to_string(written) + " frames went to " + outputName;
        else if (output.keepIfNew())
            problem += "; the first " + std::to_string(written) + " frames (" +
                       format("%.3f s", static_cast<double>(written) / rate) + ") are kept in " + options.output;
        else
            problem += existed ? "; " + options.output + " is left as it was" : "; nothing was kept";
        fail(problem);
        return failed;
    }

    const int64_t clipped = toStream ? stream.writer().getClipped() : writer.getClipped();
    if (clipped > 0) err << "sonabel-render: warning: " << outputName << ": clipped " << clipped << " samples\n";
    for (AudioFilter* f : chain) f->inputEnded(); // final figures over the whole input
    if (!toStream && !output.commit(error)) {
        fail("cannot write " + options.output + ": " + error);
        return 1;
    }

    RenderReport report;
    report.input = options.input;
    report.output = options.output;
    report.frames = total;
    report.sampleRate = rate;
    report.wallSeconds = wall;
    report.chunkFrames = chunk;
    report.clipped = clipped;
    if (!options.reference.empty()) {
        report.reference = options.reference;
        if (!measureSignalToNoise(options.output, report)) return 1;
    }
    // stdout carries the data; the report goes there only when asked for,
    // and -q keeps it off stderr.
    if (options.json) {
        report.printJson(out, chain, monitor);
        return 0;
    }
    if (options.quiet && !options.stats) return 0;
    std::ostream& shown = options.stats ? out : err;
    const double seconds = static_cast<double>(total) / rate;
    shown << "Rendered " << total << " frames (" << format("%.3f s", seconds) << ") in " << format("%.3f s", wall)
          << " wall time: " << (wall > 0.0 ? format("%.1f", seconds / wall) : std::string("inf"))
          << " \u00d7 real time\n";
    monitor.printLoads(shown, chunk, rate);
    monitor.printMeasuredValues(shown);
    if (report.hasSignalToNoise)
        shown << "SNR against " << options.reference << ": input " << decibels(report.inputDb) << ", output "
              << decibels(report.outputDb) << ", gain " << decibels(report.gainDb) << "\n";
    return 0;
}

bool Renderer::checkReference(const WaveFileFormat& inputFormat, int64_t inputFrames, int& status) {
    LogErrors errors;
    InputFile reference;
    std::string note;
    reference.open(options.reference, note);
    if (!note.empty()) err << "sonabel-render: " << note << "\n";
    if (!errors.none() || !reference.isOpen()) {
        fail("--reference: " + (errors.none() ? "cannot read " + options.reference : errors.first()));
        status = 1;
        return false;
    }
    if (reference.beyondReach()) {
        fail("--reference " + options.reference + " holds " + std::to_string(reference.getDataBytes()) + tooLarge);
        status = 1;
        return false;
    }
    const WaveFileFormat& f = reference.format();
    if (f.sampleRate != inputFormat.sampleRate || f.channels != inputFormat.channels) {
        fail("--reference " + options.reference + " has " + formatText(f) + " and " + options.input + " " +
             formatText(inputFormat) + "; only files of one rate and channel count can be compared");
        status = 2;
        return false;
    }
    const int64_t frames = reference.getLength();
    if (frames != inputFrames)
        err << "sonabel-render: warning: --reference " << options.reference << " has " << frames << " frames and "
            << options.input << " " << inputFrames << "; the SNR covers the first "
            << (frames < inputFrames ? frames : inputFrames) << "\n";
    return true;
}

bool Renderer::measureSignalToNoise(const std::string& outputPath, RenderReport& report) {
    SignalToNoise::Channels clean, noisy, result;
    std::string error;
    if (!SignalToNoise::load(options.reference, clean, error) || !SignalToNoise::load(inputPath, noisy, error) ||
        !SignalToNoise::load(outputPath, result, error)) {
        fail(error);
        return false;
    }
    report.inputDb = SignalToNoise::measure(clean, noisy);
    report.outputDb = SignalToNoise::measure(clean, result);
    // Both exact (or both silent references): nothing gained or lost.
    report.gainDb = report.inputDb == report.outputDb ? 0.0 : report.outputDb - report.inputDb;
    report.hasSignalToNoise = true;
    return true;
}

} // namespace sonabel
