#include "render/Renderer.h"

#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "filters/AudioFilter.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"
#include "render/FrameLimitWriter.h"
#include "render/LivePlayer.h"
#include "render/LogErrors.h"
#include "render/RenderLoadMonitor.h"
#include "render/SignalToNoise.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>

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

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
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
    const int width = 40;
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(share * width);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    err << "\r[" << bar << "] " << format("%3.0f%%  %.1f s of %.1f s", share * 100.0, static_cast<double>(done) / rate,
                                          static_cast<double>(total) / rate)
        << std::flush;
}

} // namespace

Renderer::Renderer(const RenderOptions& o, FilterFactory f, std::ostream& output, std::ostream& errors)
    : options(o), chainFile(f), catalogue(f), out(output), err(errors) {}

Renderer::~Renderer() {
    for (AudioFilter* f : chain) delete f;
}

void Renderer::fail(const std::string& message) { err << "sonabel-render: " << message << "\n"; }

int Renderer::run() {
    LogErrors quiet; // the log's lines stay in log.txt
    switch (options.action) {
    case RenderOptions::Action::Help: out << RenderOptions::usage(); return 0;
    case RenderOptions::Action::ListFilters: return listFilters();
    case RenderOptions::Action::Describe: return describe();
    case RenderOptions::Action::ListDevices: return LivePlayer::listDevices(out);
    case RenderOptions::Action::Render: break;
    }
    if (!options.isLive()) return render();
    int status = 0;
    if (!buildChain(status)) return status;
    LivePlayer player(options, chain, out, err);
    player.showStatus = showProgress;
    return player.run();
}

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
    std::unique_ptr<AudioFilter> filter;
    for (int i = 0; i < catalogue.count() && !filter; ++i) {
        std::unique_ptr<AudioFilter> f(catalogue.create(i));
        if (f && sameName(options.describeName, f->getName())) filter = std::move(f);
    }
    if (!filter) {
        std::string names;
        for (const std::string& n : chainFile.filterNames()) names += (names.empty() ? "\"" : ", \"") + n + "\"";
        fail("unknown filter \"" + options.describeName + "\"; valid filters: " + names);
        return 2;
    }
    out << filter->getName() << ": " << filter->getDescription() << "\n";
    char text[textCapacity + 1];
    for (int i = 0; i < filter->getParameterCount(); ++i) {
        const ParameterInfo* info = filter->getParameterInfo(i);
        if (!info) continue;
        out << "  " << info->name << " (" << typeName(info->type) << ")";
        if (info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX) {
            const int current = filter->getParameter(i);
            out << ", " << info->min << ".." << info->max << ", default " << current << ": "
                << filter->getParameterText(i, text, textCapacity) << "\n";
            if (info->type != PARAM_SLIDER) {
                for (int v = info->min; v <= info->max; ++v) {
                    filter->setParameter(i, v);
                    out << "      " << v << " = " << filter->getParameterText(i, text, textCapacity) << "\n";
                }
            } else {
                filter->setParameter(i, info->min);
                out << "      " << info->min << " = " << filter->getParameterText(i, text, textCapacity) << "\n";
                filter->setParameter(i, info->max);
                out << "      " << info->max << " = " << filter->getParameterText(i, text, textCapacity) << "\n";
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
    if (!options.chainFile.empty()) {
        std::ifstream in(options.chainFile);
        if (!in) {
            fail("cannot read the chain file " + options.chainFile);
            status = 1;
            return false;
        }
        if (!chainFile.parse(in, chain, error)) {
            fail(options.chainFile + ": " + error);
            status = 2;
            return false;
        }
    }
    for (size_t k = 0; k < options.filterSpecs.size(); ++k) {
        AudioFilter* f = chainFile.parseLine(options.filterSpecs[k], static_cast<int>(k + 1), error);
        if (!f) {
            if (error.empty()) error = "empty filter";
            // "line N: ..." names the position among the --filter options here.
            fail("--filter '" + options.filterSpecs[k] + "': " + error.substr(error.find(": ") + 2));
            status = 2;
            return false;
        }
        chain.push_back(f);
    }
    return true;
}

int Renderer::render() {
    int status = 0;
    if (!buildChain(status)) return status;

    LogErrors errors;
    WaveFileReader reader;
    reader.setFileName(options.input.c_str());
    reader.open();
    if (!errors.first().empty() || !reader.isOpen()) {
        fail(errors.first().empty() ? "cannot read " + options.input : errors.first());
        return 1;
    }
    const WaveFileFormat inputFormat = *reader.getFileFormat();
    const int64_t total = reader.getLength();
    const double rate = inputFormat.sampleRate > 0.0f ? inputFormat.sampleRate : 44100.0;

    // The output keeps the input's channels and rate; the engine's chunk may
    // have more channels (never fewer than 2), and the writer takes the first.
    WaveFileWriter writer;
    writer.setFileName(options.output.c_str());
    writer.setAudioFormat(inputFormat);
    writer.setBitsPerSample(options.bits ? options.bits : inputFormat.bitsPerSample);
    writer.open();
    if (!errors.first().empty() || !writer.isOpen()) {
        fail(errors.first().empty() ? "cannot write " + options.output : errors.first());
        return 1;
    }
    FrameLimitWriter limited(&writer, total);

    RenderLoadMonitor monitor(chain);
    // The mixer and the synchronizer close the reader and the writer, so
    // they go first.
    {
        AudioMixer mixer;
        mixer.loadMonitor = &monitor;
        mixer.addInput(&reader, 1.0f, false);
        for (AudioFilter* f : chain) mixer.addFilter(f);
        mixer.open(); // tells the chain the input's format
        mixer.start();
        AudioSynchronizer sync;
        sync.setReader(&mixer);
        sync.addWriter(&limited);
        sync.start();

        const auto started = std::chrono::steady_clock::now();
        auto lastDrawn = started;
        const int chunk = options.chunkFrames;
        for (int64_t done = 0; done < total && errors.none(); done += chunk) {
            sync.ticked(chunk);
            if (showProgress) {
                auto now = std::chrono::steady_clock::now();
                if (now - lastDrawn > std::chrono::milliseconds(100)) {
                    drawProgress(err, done + chunk < total ? done + chunk : total, total, rate);
                    lastDrawn = now;
                }
            }
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (showProgress) {
            drawProgress(err, total, total, rate);
            err << "\n";
        }
        sync.stop();
        monitor.collect();
        for (int i = mixer.getFilterCount() - 1; i >= 0; --i) mixer.removeFilterNr(i);
        mixer.removeInput(&reader);

        if (!errors.first().empty()) {
            fail(errors.first());
            return 1;
        }

        const double seconds = static_cast<double>(total) / rate;
        out << "Rendered " << total << " frames (" << format("%.3f s", seconds) << ") in "
            << format("%.3f s", wall) << " wall time: "
            << (wall > 0.0 ? format("%.1f", seconds / wall) : std::string("inf")) << " \u00d7 real time\n";
        monitor.printLoads(out, chunk, rate);
        monitor.printMeasuredValues(out);
    }

    if (!options.reference.empty()) {
        SignalToNoise::Channels clean, noisy, result;
        std::string error;
        if (!SignalToNoise::load(options.reference, clean, error) || !SignalToNoise::load(options.input, noisy, error) ||
            !SignalToNoise::load(options.output, result, error)) {
            fail(error);
            return 1;
        }
        const double before = SignalToNoise::measure(clean, noisy);
        const double after = SignalToNoise::measure(clean, result);
        out << "SNR against " << options.reference << ": input " << decibels(before) << ", output " << decibels(after)
            << ", gain " << decibels(after - before) << "\n";
    }
    return 0;
}

} // namespace sonabel
