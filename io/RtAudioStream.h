#pragma once
// One RtAudio stream whose calls into the sound system never hold the
// caller without a bound. A sound server that is frozen (stopped, or hung
// itself) answers nothing, and the library's calls then wait for ever: the
// ticker inside a lost-ring restore, and the interface thread waiting for
// the ticker, would hang with it.
//
// So every call that talks to the server (listing, open, start, abort,
// close) runs on a helper thread, and the caller waits at most callMillis
// (openMillis for listing and opening, which make several round trips). A
// call that is not back by then is abandoned: the helper thread keeps the
// stream and frees it if the call ever returns, the stream is "hung", and
// every later call but open fails at once with "the JACK server does not
// answer". A killed server answers at once (its socket is closed); only a
// frozen one costs the wait. After setHurried (Ctrl-C) every wait is
// callMillis at most.
//
// The stream's callback reaches the owner through a link that close and
// abandonment cut (waiting for a callback that is inside), so no callback
// touches the owner afterwards; with the link cut an output block is
// silence.
//
// Call sequence (the owner's thread, one call at a time): open; start;
// abort; close (also by the destructor). isRunning and the getters between
// them. listDevices from any thread.

#include "io/AudioApi.h"

#include <RtAudio.h>

#include <memory>
#include <string>
#include <vector>

namespace sonabel {

class RtAudioStream {
public:
    // RtAudio's callback with the owner in place of the stream time and
    // user data. Runs on the library's thread: never locks or allocates.
    using Callback = int (*)(void* output, void* input, unsigned int frames, unsigned int status, void* owner);
    // Milliseconds a call on an open stream (start, abort, close) may take.
    // A live JACK server on a machine loaded with a dozen busy processes
    // takes several hundred milliseconds to activate a client.
    static constexpr int callMillis = 1000;
    // Milliseconds listing or opening may take. On such a machine a JACK
    // client takes up to a second to open, and RtAudio's probes of the
    // other systems several round trips each.
    static constexpr int openMillis = 10000;

    RtAudioStream(AudioApi api, Callback callback, void* owner);
    ~RtAudioStream();
    RtAudioStream(const RtAudioStream&) = delete;
    RtAudioStream& operator=(const RtAudioStream&) = delete;

    // Ctrl-C: from now on no wait for the sound system, running or to
    // come, lasts longer than callMillis, so that the program ends at once
    // even while it opens a device. Async-signal-safe.
    static void setHurried(bool hurried);

    // The probed devices with output (or input) channels, the default one
    // first. False when the sound system failed or did not answer
    // (getMessage says which).
    static bool listDevices(AudioApi api, bool output, std::vector<std::string>* names, std::string* message);

    // Opens the device called name (numbers move as clients come and go;
    // the name stays) for output or input of channels 32-bit float samples
    // at rate. frames: the block size asked for in, the device's out.
    bool open(bool output, const std::string& name, unsigned int channels, unsigned int rate, unsigned int* frames,
              const char* streamName);
    bool start();
    // Stops a running stream at once; stopping would wait for the device
    // to drain, which a dead server never does.
    bool abort();
    // Closes and frees the stream. closedByServer: the server dropped the
    // stream, and RtAudio finishes closing it on a thread of its own; that
    // is let finish first. (Not on JACK: there the stream takes the
    // server's notice from RtAudio, isRunning turns false, and close does
    // all of the closing.)
    void close(bool closedByServer);

    bool isOpen() const;
    // What RtAudio believes; no call to the server.
    bool isRunning() const;
    // A call was abandoned since the last open.
    bool isHung() const { return hung; }
    // The last failure, as RtAudio reports it (or ours: a device that is
    // gone, a server that does not answer).
    RtAudioError getError() const { return RtAudioError(message, type); }
    const std::string& getMessage() const { return message; }

    // What a call works on, shared with its helper thread (defined with the
    // calls).
    struct State;

private:
    // Runs body on a helper thread and waits for it at most millis; false
    // when it failed or was abandoned.
    bool call(void (*body)(State& state), int millis);
    void abandon();

    AudioApi api;
    Callback callback;
    void* owner;
    std::shared_ptr<State> state; // shared with the helper threads
    bool hung = false;
    std::string message;
    RtAudioError::Type type = RtAudioError::UNSPECIFIED;
};

} // namespace sonabel
