#include "io/RtAudioStream.h"

#include "core/Log.h"
#include "io/JackDeviceList.h"
#include "io/JackStreamPorts.h"
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
// thread running the call: an abandoned call keeps it alive until it
// returns.
//
// The stream of an abandoned call is never touched again, not even to
// close it: the call is stuck inside the server's client library, and once
// the server goes away that client is dead and half closed; closing it
// then (or freeing the RtAudio object, which closes it) crashed inside
// libjack. So its RtAudio object is leaked on purpose, a few kilobytes per
// server that froze under us.
struct RtAudioStream::State {
    explicit State(AudioApi soundSystem) : api(soundSystem) {}
    ~State() { freeAudio(); }
    // Frees the stream, unless its call was abandoned (see above): then it
    // joins the kept ones, reachable till the end (a leak checker that
    // finds them there does not report them).
    void freeAudio() {
        if (abandoned.load()) {
            static std::mutex keeping;
            static auto* kept = new std::vector<std::pair<RtAudio*, std::atomic<bool>*>>;
            std::lock_guard guard(keeping);
            if (audio || serverGone) kept->emplace_back(audio, serverGone);
        } else {
            delete audio;
            delete serverGone;
        }
        audio = nullptr;
        serverGone = nullptr;
    }
    bool isServerGone() const { return serverGone && serverGone->load(); }

    AudioApi api;
    RtAudio* audio = nullptr;
    // Set by the owner when it stops waiting for a call; the helper thread
    // then does nothing more with the stream once the call comes back.
    std::atomic<bool> abandoned{false};
    // Set from libjack's thread when the JACK server went away; the stream
    // is then closed by its owner (RtAudio would close it on a thread of its
    // own, even under a call of ours). Lives as long as the stream's client.
    std::atomic<bool>* serverGone = nullptr;
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

// The devices of one side in the order listed, the default one first
// (RtAudio's default of a side is its device 0, when it has channels there).
void listJack(State& s) {
    JackDeviceList list;
    if (!list.probe() || list.getDevices().empty()) {
        s.message = serverText(s.api, "is not running");
        s.type = RtAudioError::NO_DEVICES_FOUND;
        return;
    }
    for (const JackDeviceList::Device& d : list.getDevices()) {
        if (d.outputChannels > 0) (s.output ? s.names : s.otherNames).push_back(d.name);
        if (d.inputChannels > 0) (s.output ? s.otherNames : s.names).push_back(d.name);
    }
    s.ok = true;
}

void listBody(State& s) {
    s.ok = false;
    s.names.clear();
    s.otherNames.clear();
    // On JACK one client of ours reads every port: RtAudio would open one
    // for the count and one more per device.
    if (s.api == AudioApi::jack) {
        listJack(s);
        return;
    }
    try {
        RtAudio probe(getRtAudioApi(s.api));
        probe.showWarnings(false);
        const unsigned int count = probe.getDeviceCount();
        if (count == 0) {
            s.message = serverText(s.api, "has no devices");
            s.type = RtAudioError::NO_DEVICES_FOUND;
            return;
        }
        // Each device is asked once; its record says whether it is the
        // default of a side. (getDefaultOutputDevice and getDefaultInputDevice
        // would ask every device again.)
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

// Where open finds its device: RtAudio's number for it (count when there
// is none), the channels it has on the side asked for, and the server's
// rate (0: any).
struct DeviceChoice {
    unsigned int count = 0;
    unsigned int id = 0;
    unsigned int has = 0;
    unsigned int rate = 0;
};

DeviceChoice chooseJackDevice(const State& s) {
    DeviceChoice c;
    JackDeviceList list;
    if (!list.probe()) return c;
    c.count = static_cast<unsigned int>(list.getDevices().size());
    const int id = list.find(s.name, s.output);
    c.id = id < 0 ? c.count : static_cast<unsigned int>(id);
    if (id >= 0) {
        const JackDeviceList::Device& d = list.getDevices()[static_cast<size_t>(id)];
        c.has = s.output ? d.outputChannels : d.inputChannels;
    }
    c.rate = list.getSampleRate();
    return c;
}

DeviceChoice chooseDevice(State& s) {
    DeviceChoice c;
    c.count = s.audio->getDeviceCount();
    c.id = c.count;
    for (unsigned int i = 0; i < c.count && c.id == c.count; ++i) {
        RtAudio::DeviceInfo info = s.audio->getDeviceInfo(i);
        if (info.probed && info.name == s.name && (s.output ? info.outputChannels : info.inputChannels) > 0) {
            c.id = i;
            c.has = s.output ? info.outputChannels : info.inputChannels;
        }
    }
    return c;
}

void openBody(State& s) {
    s.ok = false;
    try {
        s.audio = new RtAudio(getRtAudioApi(s.api));
        s.audio->showWarnings(false);
        const DeviceChoice choice = s.api == AudioApi::jack ? chooseJackDevice(s) : chooseDevice(s);
        const unsigned int count = choice.count, id = choice.id, has = choice.has;
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
        } else if (s.api == AudioApi::jack && choice.rate != 0 && choice.rate != s.rate) {
            s.message = "the JACK server runs at the sample rate " + std::to_string(choice.rate) +
                        " Hz, not at the " + std::to_string(s.rate) + " Hz of the audio";
            s.type = RtAudioError::INVALID_PARAMETER;
        } else {
            RtAudio::StreamParameters parameters;
            parameters.deviceId = id;
            parameters.nChannels = s.channels;
            RtAudio::StreamOptions options;
            options.streamName = s.streamName;
            options.numberOfBuffers = 4;
            // A refusal here (RtAudio counts the devices again with a probe
            // client a namesake can turn away) is tried again by open().
            s.audio->openStream(s.output ? &parameters : nullptr, s.output ? nullptr : &parameters, RTAUDIO_FLOAT32,
                                s.rate, &s.frames, &trampoline, &s, &options);
            // Our own port names, before the start connects them (not on a
            // stream whose open we stopped waiting for).
            std::string why;
            if (s.api == AudioApi::jack && !s.abandoned.load() &&
                !JackStreamPorts::rename(*s.audio, s.output, s.channels, &why))
                logDebug(2, "JACK ports of %s keep RtAudio's names: %s", s.streamName.c_str(), why.c_str());
            if (s.api == AudioApi::jack && !s.abandoned.load()) {
                s.serverGone = new std::atomic<bool>(false);
                if (!JackStreamPorts::takeShutdown(*s.audio, s.serverGone, &why))
                    logDebug(2, "RtAudio closes %s itself if the server goes: %s", s.streamName.c_str(), why.c_str());
            }
            s.ok = true;
            return;
        }
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
    s.freeAudio();
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
        for (int i = 0; i < 100 && s.closedByServer && !s.isServerGone() && !s.audio->isStreamRunning() &&
                        s.audio->isStreamOpen();
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (s.audio->isStreamRunning()) s.audio->abortStream();
    } catch (const RtAudioError& e) {
        // Aborting a stream whose server is gone fails; closing still works.
        fail(s, e);
    }
    // An abort that came back only after we stopped waiting for it: the
    // stream stays as it is (see State).
    if (s.abandoned.load()) return;
    try {
        if (s.audio->isStreamOpen()) s.audio->closeStream();
    } catch (const RtAudioError& e) {
        fail(s, e);
    }
    s.freeAudio();
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

// One probe lists both sides, and each costs at least one client of the
// server (tens of milliseconds on a busy machine): a listing of the
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
    state->abandoned.store(true);
    logDebug(1, "%s: the call was abandoned; its stream is left open and never freed, so that nothing closes a "
                "client the server may have half closed",
             serverText(api, "does not answer").c_str());
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

bool RtAudioStream::isRunning() const {
    return state && state->audio && state->audio->isStreamRunning() && !state->isServerGone();
}

} // namespace sonabel
