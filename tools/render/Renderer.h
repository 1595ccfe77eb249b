#pragma once
// sonabel-render's work: reads INPUT with a WaveFileReader into an
// AudioMixer that runs the chain, and ticks an AudioSynchronizer as fast as
// the machine allows into a WaveFileWriter. These are the objects the live
// program uses, so the output is what it would have played for the same file
// and chunk size. The last chunk is cut so the output has the input's length.

#include "filters/FilterChainFile.h"
#include "render/RenderOptions.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;

class Renderer {
public:
    // out gets results and reports, err messages and the progress bar.
    Renderer(const RenderOptions& options, FilterFactory catalogue, std::ostream& out, std::ostream& err);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // The exit status: 0 success, 1 a file failed, 2 a usage error.
    int run();

    // Whether to draw the progress bar (on a terminal, unless quiet).
    bool showProgress = false;

private:
    int listFilters();
    int describe();
    int render();
    // The chain from --chain and --filter; false with the exit status set.
    bool buildChain(int& status);
    void fail(const std::string& message);

    const RenderOptions& options;
    FilterChainFile chainFile;
    FilterFactory catalogue;
    std::ostream& out;
    std::ostream& err;
    std::vector<AudioFilter*> chain; // owned
};

} // namespace sonabel
