#pragma once
// The command line of sonabel-render.
//
// Options are read GNU style: "--chunk 512" or "--chunk=512", "-c FILE" or
// "-cFILE", flags bundled ("-vq"), "--" ends the options. Every option is
// one row of the table in RenderOptions.cpp: its short letter, long name,
// whether it takes a value, and the function that stores it.

#include <string>
#include <vector>

namespace sonabel {

struct RenderOptions {
    enum class Action { Render, Help, Version, ListFilters, Describe, ListDevices };

    // Fills the options from argv; false with a one-line error on bad usage.
    bool parse(int argc, char** argv, std::string& error);
    static const char* usage();
    // "sonabel-render 0.1"
    static const char* version();

    Action action = Action::Render;
    // "-" for standard input and standard output.
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
    bool floatSamples = false; // --bits float (bits is 32)
    std::string container;     // --format; empty: the output's extension
    bool quiet = false;
    // The report (speed, loads, measured values) on stdout instead of stderr.
    bool stats = false;
    // The report as one JSON object on stdout.
    bool json = false;
    // The log file; empty: the state folder's sonabel-render.log.
    std::string logFile;
    // The live path: the soundcard output plays the chain (and is the clock),
    // and/or the soundcard input is the source for that many seconds.
    bool play = false;
    double captureSeconds = 0.0;
    int device = -1;        // -1: the default device, or the one named
    std::string deviceName; // --device with a name instead of a number
    int writeAhead = 0;     // chunks queued ahead of the soundcard output; 0: its default
    bool isLive() const { return play || captureSeconds > 0.0; }
    // Whether the output goes to standard output (which then carries nothing else).
    bool outputIsStdout() const { return output == "-"; }
};

} // namespace sonabel
