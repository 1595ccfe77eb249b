#pragma once
// The live path without a window: the chain's output plays on the soundcard
// (which is then the clock) and/or the soundcard input is the source, with an
// optional recording. Runs until the input's end, the capture time, or
// Ctrl-C, showing the position and the underrun and overflow counts. The
// recording counts its clipped samples as a file render does.

#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;
class AudioOutputDevice;
struct RenderOptions;

class LivePlayer {
public:
    // The chain is not owned. out gets the summary, err messages and status.
    LivePlayer(const RenderOptions& options, const std::vector<AudioFilter*>& chain, std::ostream& out, std::ostream& err);
    LivePlayer(const LivePlayer&) = delete;
    LivePlayer& operator=(const LivePlayer&) = delete;

    // The exit status: 0 done (or interrupted), 1 a file or device failed,
    // or the write-ahead is too short for the output device.
    int run();
    // Prints the numbered output and input devices.
    static int listDevices(std::ostream& out);

    // Whether to redraw the status line (on a terminal, unless quiet).
    bool showStatus = false;
    // Where the report goes as one JSON object (--json); null: nowhere.
    std::ostream* jsonOut = nullptr;
    // The input is the stream on this descriptor (not owned), played as it
    // comes, and streamName how messages call it; -1: the input file.
    // Read on the ticker thread at the soundcard's pace, so a writer that
    // is slower than the sound makes underruns.
    int streamFd = -1;
    std::string streamName;

private:
    // Why the output device cannot play from its write-ahead; empty if it
    // can.
    std::string checkWriteAhead(AudioOutputDevice* playback) const;

    const RenderOptions& options;
    const std::vector<AudioFilter*>& chain;
    std::ostream& out;
    std::ostream& err;
};

} // namespace sonabel
