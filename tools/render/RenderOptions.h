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
    std::string chainFile;
    std::vector<std::string> filterSpecs; // -f, in order, after the chain file
    std::string describeName;
    std::string reference;
    int chunkFrames = 1024;
    int bits = 0; // 0: the input's
    bool quiet = false;
    // The live path: the soundcard output plays the chain (and is the clock),
    // and/or the soundcard input is the source for that many seconds.
    bool play = false;
    double captureSeconds = 0.0;
    int device = -1; // -1: the default device
    bool isLive() const { return play || captureSeconds > 0.0; }
};

} // namespace sonabel
