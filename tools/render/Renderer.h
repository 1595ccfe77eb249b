#pragma once
// sonabel-render's work: reads INPUT with the file reader the factories
// choose, or as a stream in order when it is standard input or a named pipe
// (InputFile), into an AudioMixer that runs the chain, and ticks an
// AudioSynchronizer as fast as the machine allows into the file writer of
// the chosen format (OutputFile). These are the objects the live
// program uses, so the output is what it would have played for the same file
// and chunk size. The last chunk is cut so the output has the input's length.
//
// The output is written under a temporary name beside the target and takes
// the target's name only when the render succeeded (TemporaryOutput); one
// that is a stream already (standard output, a named pipe, a device) is
// written in place as a WAVE stream (StreamOutput). A
// failed read or write, SIGINT or SIGTERM ends the render with a message;
// what was rendered is kept under the target's name only where no file had
// that name, with a header that claims no more than the file holds.

#include "filters/FilterChainFile.h"
#include "render/RenderOptions.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;
class RenderReport;
class WaveFileFormat;

class Renderer {
public:
    // out gets what the user asked for (the audio for OUTPUT -, listings,
    // --stats and --json reports), err messages, the report and the
    // progress bar.
    Renderer(const RenderOptions& options, FilterFactory catalogue, std::ostream& out, std::ostream& err);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // The exit status: 0 success, 1 a file failed, 2 a usage error, 128 + the
    // signal's number when SIGINT or SIGTERM ended an offline render.
    int run();

    // Whether to draw the progress bar (on a terminal, unless quiet).
    bool showProgress = false;
    // Called after each chunk of an offline render with the frames rendered
    // so far, on the rendering thread; for a caller that watches the render.
    std::function<void(int64_t frames)> afterChunk;

private:
    int listFilters();
    int describe();
    // Renders the input file, or the stream on streamFd (read in order).
    int render(int streamFd = -1);
    // Whether INPUT is a stream: "-" or a named pipe.
    static bool isStream(const std::string& name);
    // How messages call the input ("standard input" for -).
    std::string inputName() const;
    // Whether the reference can be compared with the input; false with the
    // exit status set. A length that differs is only warned about.
    bool checkReference(const WaveFileFormat& inputFormat, int64_t inputFrames, int& status);
    // The SNR of the input and of the output against the reference, into
    // the report; false (with the message shown) when a file can't be read.
    bool measureSignalToNoise(const std::string& outputPath, RenderReport& report);
    // The chain from --chain and --filter; false with the exit status set.
    bool buildChain(int& status);
    void fail(const std::string& message);

    const RenderOptions& options;
    FilterChainFile chainFile;
    FilterFactory catalogue;
    std::ostream& out;
    std::ostream& err;
    std::vector<AudioFilter*> chain; // owned
    // The file read for the input: the input's name, or the spooled stream.
    std::string inputPath;
};

} // namespace sonabel
