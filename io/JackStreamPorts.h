#pragma once
// What the program changes on an RtAudio stream's JACK client before the
// stream starts: its ports' names, and who hears that the server is gone.
//
// Gives the ports of an RtAudio stream on JACK our own names: out_1, out_2,
// ... for playback and in_1, in_2, ... for capture, where RtAudio registers
// "outport 0", "inport 0", ... The stream must be open and not yet
// started: RtAudio connects the ports when it starts, by the names they
// have then, so nothing has to be connected again by hand.
//
// RtAudio keeps its JACK client to itself; it is read from the stream's
// handle, whose layout is that of RtAudio 5.2. Under any other version of
// the library, or when a port is not the one expected, nothing is renamed
// and the ports keep RtAudio's names: a rename is a nicety, never a
// reason to fail an open.

#include <atomic>
#include <string>

class RtAudio;

namespace sonabel {

class JackStreamPorts {
public:
    // Renames the channels ports of audio's stream (output: its playback
    // ports). False, with why, when a port kept its name. The thread that
    // opened the stream; waits for the server without a bound.
    static bool rename(RtAudio& audio, bool output, unsigned int channels, std::string* why);
    // "out_3" for the third playback port.
    static std::string getPortName(bool output, unsigned int index);
    // Takes the stream client's shutdown notice from RtAudio, which would
    // close the stream on a thread of its own when the server goes away,
    // even while a call of ours is still inside the client: gone is set
    // instead (from libjack's thread), and the stream is closed by its
    // owner. gone must outlive the client. Open, stopped stream only.
    static bool takeShutdown(RtAudio& audio, std::atomic<bool>* gone, std::string* why);
};

} // namespace sonabel
