#pragma once
// An output that is written in place as a stream rather than as a file:
// standard output ("-"), or a name that is already a named pipe, a
// character device (/dev/null, a terminal) or a socket. Replacing such a
// name with a file would leave its reader waiting forever, so the WAVE
// stream goes straight into it, as to standard output: 8- or 16-bit WAVE,
// its header stating the sizes when the length is known beforehand, else
// "read to the end" (see WaveStreamWriter).
//
// Call sequence: isStream (is this name one?), choose (the sample type),
// open (a named pipe's open waits for its reader), writer() for the
// chunks, close (the reader sees the end). A write to a reader that went
// away fails with "Broken pipe" instead of ending the process: from the
// first open on, SIGPIPE is ignored unless the program handles it itself.
// Used from one thread.

#include "render/WaveStreamWriter.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

namespace sonabel {

class AudioFormat;

class StreamOutput {
public:
    // name as the user gave it; "-" is standard output.
    explicit StreamOutput(const std::string& name);
    ~StreamOutput();
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    // Whether name is written as a stream: "-", or an existing named pipe,
    // character device or socket (links followed).
    static bool isStream(const std::string& name);

    // The sample size: bits when not 0, else the input's at most 16. The
    // container is containerText (--format) when given, else the one the
    // name's extension says, else WAVE. False with a usage error when the
    // stream cannot carry them.
    bool choose(const std::string& containerText, int bits, bool floating, int inputBits, std::string& error);
    // Opens the descriptor and writes the header for expectedFrames (-1:
    // unknown). A signal that interrupts a waiting open while *stop is set
    // gives up. False with the system's reason.
    bool open(const AudioFormat& format, int64_t expectedFrames, std::string& error,
              const volatile std::sig_atomic_t* stop = nullptr);
    // Ends the WAVE and closes what open opened.
    void close();

    // The chunks' writer; valid from a successful open to the destructor.
    WaveStreamWriter& writer() { return *stream; }
    // How messages call it: "standard output", else the name.
    const std::string& displayName() const { return shown; }

private:
    std::string name;
    std::string shown;
    int bitsPerSample = 16;
    int fd = -1;
    bool owned = false;
    std::unique_ptr<WaveStreamWriter> stream; // made at open, on fd
};

} // namespace sonabel
