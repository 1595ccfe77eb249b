#include "io/RtAudioStream.h"

#include "io/AudioApi.h"
#include "io/RtAudioErrors.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace sonabel {

// Everything a call works on, shared between the owner and the helper
// thread running the call: an abandoned call keeps it (and the stream)
// alive until it returns.
struct RtAudioStream::State {
    explicit State(AudioApi soundSystem) : api(soundSystem) {}
    ~State() { delete audio; }

    AudioApi api;
    RtAudio* audio = nullptr;
    // The link to the owner; the callback is inside while inside > 0.
    Callback callback = nullptr;
    std::atomic<void*> owner{nullptr};
    std::atomic<int> inside{0};
    unsigned int outChannels = 0;
    // What open or listDevices asks for.
    bool output = true;
    std::string name;
    unsigned int channels = 0;
    unsigned int rate = 0;
    unsigned int frames = 0;
    std::string streamName;
    bool closedByServer = false;
    // What the last call gave.
    bool ok = false;
    std::string message;
    RtAudioError::Type type = RtAudioError::UNSPECIFIED;
    std::vector<std::string> names;
    // listBody's other side: the devices with input channels when output
    // was asked for, and the other way round.
    std::vector<std::string> otherNames;
};

namespace {

using State = RtAudioStream::State;

std::atomic<bool> hurried{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

std::string serverText(AudioApi api, const char* what) {
    switch (api) {
    case AudioApi::jack: return std::string("the JACK server ") + what;
    case AudioApi::pulse: return std::string("the PulseAudio server ") + what;
    case AudioApi::alsa: return std::string("ALSA ") + what;
    case AudioApi::null: break;
    }
    return std::string("the sound system ") + what;
}

int trampoline(void* output, void* input, unsigned int frames, double, RtAudioStreamStatus status, void* data) {
    auto* s = static_cast<State*>(data);
    s->inside.fetch_add(1);
    int result = 0;
    if (void* owner = s->owner.load()) {
        result = s->callback(output, input, frames, status, owner);
    } else if (output) {
        std::memset(output, 0, static_cast<size_t>(frames) * s->outChannels * sizeof(float));
    }
    s->inside.fetch_sub(1);
    return result;
}

// After this no callback runs for the owner, and none is inside.
void cutLink(State& s) {
    s.owner.store(nullptr);
    while (s.inside.load() != 0) std::this_thread::yield();
}

void fail(State& s, const RtAudioError& e) {
    s.ok = false;
    s.message = e.getMessage();
    s.type = e.getType();
}

void listBody(State& s) {
    s.ok = false;
    s.names.clear();
    s.otherNames.clear();
    try {
        RtAudio probe(getRtAudioApi(s.api));
        probe.showWarnings(false);
        const unsigned int count = probe.getDeviceCount();
        if (count == 0) {
            s.message = s.api == AudioApi::jack ? serverText(s.api, "is not running") : serverText(s.api, "has no devices");
            s.type = RtAudioError::NO_DEVICES_FOUND;
            return;
        }
        // Each device is asked once; its record says whether it is the
        // default of a side. (getDefaultOutputDevice and getDefaultInputDevice
        // would ask every device again: on JACK a client each, 600 ms.)
        std::vector<RtAudio::DeviceInfo> infos;
        for (unsigned int i = 0; i < count; ++i) infos.push_back(probe.getDeviceInfo(i));
        // The devices of one side, its default first.
        auto side = [&](bool output, std::vector<std::string>& names) {
            for (int pass = 0; pass < 2; ++pass) {
                for (const RtAudio::DeviceInfo& info : infos) {
                    if (!info.probed || (output ? info.outputChannels : info.inputChannels) == 0) continue;
                    const bool isDefault = output ? info.isDefaultOutput : info.isDefaultInput;
                    if (isDefault == (pass == 0)) names.push_back(info.name);
                }
            }
        };
        side(s.output, s.names);
        side(!s.output, s.otherNames);
        s.ok = true;
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
}

void openBody(State& s) {
    s.ok = false;
    try {
        s.audio = new RtAudio(getRtAudioApi(s.api));
        s.audio->showWarnings(false);
        const unsigned int count = s.audio->getDeviceCount();
        unsigned int id = count;
        RtAudio::DeviceInfo found;
        for (unsigned int i = 0; i < count && id == count; ++i) {
            RtAudio::DeviceInfo info = s.audio->getDeviceInfo(i);
            if (info.probed && info.name == s.name && (s.output ? info.outputChannels : info.inputChannels) > 0) {
                id = i;
                found = info;
            }
        }
        const unsigned int has = s.output ? found.outputChannels : found.inputChannels;
        if (count == 0) {
            s.message = s.api == AudioApi::jack ? serverText(s.api, "is not running") : serverText(s.api, "has no devices");
            s.type = RtAudioError::NO_DEVICES_FOUND;
        } else if (id == count) {
            s.message = "device \"" + s.name + "\" is gone";
            s.type = RtAudioError::INVALID_DEVICE;
        } else if (s.channels > has) {
            // Said in the user's terms, before the library's own words.
            s.message = "device \"" + s.name + "\" has " + std::to_string(has) + (s.output ? " output" : " input") +
                        " channels, fewer than the " + std::to_string(s.channels) + " of the audio";
            s.type = RtAudioError::INVALID_PARAMETER;
        } else if (s.api == AudioApi::jack && found.preferredSampleRate != 0 && found.preferredSampleRate != s.rate) {
            s.message = "the JACK server runs at the sample rate " + std::to_string(found.preferredSampleRate) +
                        " Hz, not at the " + std::to_string(s.rate) + " Hz of the audio";
            s.type = RtAudioError::INVALID_PARAMETER;
        } else {
            RtAudio::StreamParameters parameters;
            parameters.deviceId = id;
            parameters.nChannels = s.channels;
            RtAudio::StreamOptions options;
            options.streamName = s.streamName;
            options.numberOfBuffers = 4;
            s.audio->openStream(s.output ? &parameters : nullptr, s.output ? nullptr : &parameters, RTAUDIO_FLOAT32, s.rate,
                                &s.frames, &trampoline, &s, &options);
            s.ok = true;
            return;
        }
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
    delete s.audio;
    s.audio = nullptr;
}

void startBody(State& s) {
    s.ok = false;
    try {
        if (!s.audio->isStreamRunning()) s.audio->startStream();
        s.ok = true;
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
}

void abortBody(State& s) {
    s.ok = false;
    try {
        if (s.audio->isStreamRunning()) s.audio->abortStream();
        s.ok = true;
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
}

void closeBody(State& s) {
    s.ok = true;
    try {
        // A stream the server dropped is closed by RtAudio on a thread of
        // its own; let that finish before touching the stream.
        for (int i = 0; i < 100 && s.closedByServer && !s.audio->isStreamRunning() && s.audio->isStreamOpen(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (s.audio->isStreamRunning()) s.audio->abortStream();
    } catch (const RtAudioError& e) {
        // Aborting a stream whose server is gone fails; closing still works.
        fail(s, e);
    }
    try {
        if (s.audio->isStreamOpen()) s.audio->closeStream();
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
    delete s.audio;
    s.audio = nullptr;
}

// True when body came back within millis. Otherwise the helper thread
// goes on alone with its share of the state.
bool runBounded(const std::shared_ptr<State>& state, void (*body)(State&), int millis) {
    struct Call {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
    };
    auto call = std::make_shared<Call>();
    auto run = [call, state, body] {
        body(*state);
        {
            std::lock_guard guard(call->mutex);
            call->finished = true;
        }
        call->cv.notify_all();
    };
    std::thread helper;
    try {
        helper = std::thread(run);
    } catch (const std::system_error&) {
        // No thread to spare: the call runs here, without a bound.
        body(*state);
        return true;
    }
    bool finished;
    {
        // In slices, so that a Ctrl-C shortens a long wait already begun.
        using Clock = std::chrono::steady_clock;
        const Clock::time_point begin = Clock::now();
        std::unique_lock lock(call->mutex);
        for (;;) {
            finished = call->finished;
            const int limit = hurried.load() ? std::min(millis, RtAudioStream::callMillis) : millis;
            const Clock::time_point now = Clock::now();
            const Clock::time_point deadline = begin + std::chrono::milliseconds(limit);
            if (finished || now >= deadline) break;
            call->cv.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(20)));
        }
    }
    if (finished) helper.join();
    else helper.detach();
    return finished;
}

// Two clients of one name on two JACK servers of one user share one socket
// (/dev/shm/jack_<client>_<uid>_0), so a client that opens while a
// namesake opens on another server is turned away as if no server ran.
// RtAudio's probe clients have the same names in every program: two
// programs opening devices on two servers at once meet this. It shows as
// no devices, a device gone, a device number out of range (openStream
// counts the devices again) or a stream client refused. While the
// server's own socket answers, such a refusal is tried again after a
// pause, a few times; a server that is gone does not answer and is
// reported at once, and a refused format is never tried again.
constexpr int jackAttempts = 4;

bool worthAnotherTry(AudioApi api, RtAudioError::Type type, int attempt, std::chrono::steady_clock::time_point deadline) {
    if (api != AudioApi::jack || attempt >= jackAttempts || hurried.load()) return false;
    if (type != RtAudioError::NO_DEVICES_FOUND && type != RtAudioError::INVALID_DEVICE &&
        type != RtAudioError::INVALID_USE && type != RtAudioError::SYSTEM_ERROR)
        return false;
    if (!jackServerAnswers()) return false;
    // The namesake's open is over by then, unless the machine is very busy.
    const auto pause = std::chrono::milliseconds(50 << attempt);
    if (std::chrono::steady_clock::now() + pause + std::chrono::milliseconds(RtAudioStream::callMillis) > deadline)
        return false;
    std::this_thread::sleep_for(pause);
    return true;
}

int millisUntil(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    return static_cast<int>(duration_cast<milliseconds>(deadline - steady_clock::now()).count());
}

} // namespace

namespace {

// A sound server that dies while we talk to it closes its socket under the
// client library, whose next write would raise SIGPIPE and end the whole
// program, recordings and all. Ignored, it becomes a failed write that the
// stream reports like any other loss of the device. A handler the program
// installed itself is left alone.
void ignoreBrokenServerPipes() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

} // namespace

RtAudioStream::RtAudioStream(AudioApi soundSystem, Callback streamCallback, void* streamOwner)
    : api(soundSystem), callback(streamCallback), owner(streamOwner) {
    ignoreBrokenServerPipes();
}

RtAudioStream::~RtAudioStream() { close(false); }

void RtAudioStream::setHurried(bool on) { hurried.store(on); }

namespace {

// One probe lists both sides, and each costs a JACK client per device plus
// one (a few hundred milliseconds on a busy machine): a listing of the
// outputs and then the inputs, or a choice of the sound system followed by
// a listing, takes the second side from the first probe. A list older than
// listCacheMillis is probed afresh, so a server started later is seen.
constexpr int listCacheMillis = 1000;

// Which server a list came from: the system and the variables that name
// its server.
std::string serverKey(AudioApi api) {
    std::string key = getAudioApiKey(api);
    for (const char* name : {"JACK_DEFAULT_SERVER", "PULSE_SERVER"}) {
        const char* value = std::getenv(name);
        key += std::string("\n") + (value ? value : "");
    }
    return key;
}

struct ListCache {
    std::mutex mutex;
    bool valid = false;
    std::string server;
    std::chrono::steady_clock::time_point at;
    std::vector<std::string> outputs, inputs;
};

ListCache& listCache() {
    static ListCache cache;
    return cache;
}

} // namespace

bool RtAudioStream::listDevices(AudioApi api, bool output, std::vector<std::string>* names, std::string* message) {
    ignoreBrokenServerPipes();
    names->clear();
    ListCache& cache = listCache();
    const std::string server = serverKey(api);
    {
        std::lock_guard guard(cache.mutex);
        if (cache.valid && cache.server == server &&
            std::chrono::steady_clock::now() - cache.at < std::chrono::milliseconds(listCacheMillis)) {
            *names = output ? cache.outputs : cache.inputs;
            return true;
        }
    }
    auto state = std::make_shared<State>(api);
    state->output = output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(openMillis);
    for (int attempt = 1;; ++attempt) {
        if (!runBounded(state, &listBody, millisUntil(deadline))) {
            *message = serverText(api, "does not answer");
            return false;
        }
        if (state->ok || !worthAnotherTry(api, state->type, attempt, deadline)) break;
    }
    if (!state->ok) {
        *message = state->message;
        // No devices is a list, not a failure.
        return state->type == RtAudioError::NO_DEVICES_FOUND;
    }
    *names = state->names;
    std::lock_guard guard(cache.mutex);
    cache.valid = true;
    cache.server = server;
    cache.at = std::chrono::steady_clock::now();
    cache.outputs = output ? state->names : state->otherNames;
    cache.inputs = output ? state->otherNames : state->names;
    return true;
}

void RtAudioStream::abandon() {
    cutLink(*state);
    state.reset();
    hung = true;
    message = serverText(api, "does not answer");
    type = RtAudioError::DRIVER_ERROR;
}

bool RtAudioStream::call(void (*body)(State&), int millis) {
    if (!state) return false;
    if (!runBounded(state, body, millis)) {
        abandon();
        return false;
    }
    if (!state->ok) {
        message = state->message;
        type = state->type;
    }
    return state->ok;
}

bool RtAudioStream::open(bool output, const std::string& name, unsigned int channels, unsigned int rate,
                         unsigned int* frames, const char* streamName) {
    close(false);
    hung = false;
    state = std::make_shared<State>(api);
    state->callback = callback;
    state->owner.store(owner);
    state->output = output;
    state->outChannels = output ? channels : 0;
    state->name = name;
    state->channels = channels;
    state->rate = rate;
    state->frames = *frames;
    state->streamName = streamName;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(openMillis);
    for (int attempt = 1;; ++attempt) {
        if (call(&openBody, millisUntil(deadline))) break;
        if (hung || !worthAnotherTry(api, type, attempt, deadline)) {
            // A stream that failed to open is gone (an abandoned one lives
            // on with its helper thread).
            state.reset();
            return false;
        }
    }
    *frames = state->frames;
    return true;
}

bool RtAudioStream::start() {
    if (hung) return false;
    return call(&startBody, callMillis);
}

bool RtAudioStream::abort() {
    if (hung) return false;
    return call(&abortBody, callMillis);
}

void RtAudioStream::close(bool closedByServer) {
    if (!state) return;
    cutLink(*state);
    state->closedByServer = closedByServer;
    // The wait for RtAudio's own closing comes on top of the bound.
    call(&closeBody, callMillis + (closedByServer ? 1000 : 0));
    state.reset();
}

bool RtAudioStream::isOpen() const { return state && state->audio; }

bool RtAudioStream::isRunning() const { return state && state->audio && state->audio->isStreamRunning(); }

} // namespace sonabel
