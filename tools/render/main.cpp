// sonabel-render: a filter chain over a WAVE file, from the command line.

#include "core/Log.h"
#include "filters/FilterCatalogue.h"
#include "io/AudioApi.h"
#include "render/RenderOptions.h"
#include "render/Renderer.h"
#include "render/ThresholdSuggestion.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace {

// The log's lines are in its file; stdout carries only data.
void toFileOnly(const char*) {}

} // namespace

int main(int argc, char** argv) {
    sonabel::setOutputHook(&toFileOnly);
    if (sonabel::ThresholdSuggestion::isRequested(argc, argv)) {
        std::string logError; // the suggestion goes on without a log
        sonabel::setLogFile(sonabel::getToolLogPath("sonabel-render"), logError, true);
        return sonabel::ThresholdSuggestion({sonabel::getFilterCount, sonabel::createFilter})
            .run(argc, argv, std::cout, std::cerr);
    }
    sonabel::RenderOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::cerr << "sonabel-render: " << error << "\n";
        return 2;
    }
    const std::string logPath = options.logFile.empty() ? sonabel::getToolLogPath("sonabel-render") : options.logFile;
    if (!sonabel::setLogFile(logPath, error, options.logFile.empty())) {
        // A log the user named must be there; the default one may be missing.
        std::cerr << "sonabel-render: " << (options.logFile.empty() ? "warning: " : "") << "cannot write the log "
                  << logPath << ": " << error << (options.logFile.empty() ? "; no log is kept\n" : "\n");
        if (!options.logFile.empty()) return 1;
    }
    const bool devices = options.isLive() || options.action == sonabel::RenderOptions::Action::ListDevices;
    if (const char* api = std::getenv("SONABEL_AUDIO_API"); devices && api) {
        sonabel::AudioApi chosen;
        if (!sonabel::findAudioApi(api, &chosen)) {
            std::cerr << "sonabel-render: SONABEL_AUDIO_API=" << api << " is not a sound system; use one of "
                      << sonabel::getAudioApiKeys() << "\n";
            return 2;
        }
    }
    sonabel::setAudioClientName("sonabel-render");
    if (options.isLive()) {
        const std::string& media = options.captureSeconds > 0.0 ? options.output : options.input;
        sonabel::setPulseProperties(media.empty() || media == "-" ? "sonabel-render" : media.c_str(), "production");
    }
    sonabel::Renderer renderer(options, sonabel::FilterFactory{sonabel::getFilterCount, sonabel::createFilter}, std::cout,
                               std::cerr);
    renderer.showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    return renderer.run();
}
