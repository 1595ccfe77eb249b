#pragma once
// The command line of sonabel-render.

#include <string>
#include <vector>

namespace sonabel {

struct RenderOptions {
    enum class Action { Render, Help, ListFilters, Describe, ListDevices };

    // Fills the options from argv; false with a one-line error on bad usage.
    bool parse(int argc, char** argv, std::string& error);
    static const char* usage();

    Action action = Action::Render;
    std::string input;
    std::string output;
    // -c FILE and -f LINE, in command-line order: the chain is their filters
    // one after another.
    struct ChainSource {
        bool isFile;
        std::string text; // the file's name, or the chain line
    };
    std::vector<ChainSource> chainSources;
    std::string describeName;
    bool steps = false;   // --describe lists every step of a slider
    bool verbose = false; // echo what each setting resolved to
    std::string reference;
    int chunkFrames = 1024;
    int bits = 0; // 0: the input's
    bool quiet = false;
    // The live path: the soundcard output plays the chain (and is the clock),
    // and/or the soundcard input is the source for that many seconds.
    bool play = false;
    double captureSeconds = 0.0;
    int device = -1; // -1: the default device
    int writeAhead = 0; // chunks queued ahead of the soundcard output; 0: its default
    bool isLive() const { return play || captureSeconds > 0.0; }
};

} // namespace sonabel
