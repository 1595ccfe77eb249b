#include "io/RtAudioPlaybackRing.h"

#include "core/AudioDeviceFormat.h"
#include "io/RtAudioErrors.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sonabel {

namespace {

// A playing stream whose callback stays away this long has died. Long: a
// PulseAudio null sink takes two seconds before it asks for more than its
// first block.
constexpr int64_t silentLimitNanos = 5'000'000'000;

} // namespace

RtAudioPlaybackRing::RtAudioPlaybackRing(AudioApi soundSystem) : api(soundSystem) {}

RtAudioPlaybackRing::~RtAudioPlaybackRing() { release(); }

uint32_t RtAudioPlaybackRing::enumerate(DeviceCallback deviceCallback, void* context) {
    names.clear();
    try {
        RtAudio probe(getRtAudioApi(api));
        probe.showWarnings(false);
        const unsigned int count = probe.getDeviceCount();
        if (count == 0) return dsresult::ok;
        const unsigned int preferred = probe.getDefaultOutputDevice();
        std::vector<unsigned int> order;
        if (preferred < count) order.push_back(preferred);
        for (unsigned int i = 0; i < count; ++i)
            if (i != preferred) order.push_back(i);
        for (unsigned int i : order) {
            RtAudio::DeviceInfo info = probe.getDeviceInfo(i);
            if (!info.probed || info.outputChannels == 0) continue;
            names.push_back(info.name);
        }
    } catch (const RtAudioError& e) {
        lastMessage = e.getMessage();
        return getPlaybackResult(e);
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (!deviceCallback(context, static_cast<int>(i), names[i].c_str())) break;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::openDevice(int deviceId, const AudioDeviceFormat& format) {
    release();
    if (deviceId < 0 || deviceId >= static_cast<int>(names.size())) return dsresult::noDriver;
    const int b = format.getBitsPerSample();
    if ((b != 8 && b != 16) || format.channels < 1 || format.sampleRate < 1.0f) return dsresult::badFormat;
    setLayout(format);
    rate = static_cast<unsigned int>(format.sampleRate);
    openName = names[static_cast<size_t>(deviceId)];
    return openStream();
}

uint32_t RtAudioPlaybackRing::openStream() {
    char streamName[64];
    makeStreamName(streamName, sizeof streamName, "out");
    try {
        audio = new RtAudio(getRtAudioApi(api));
        audio->showWarnings(false);
        // Device numbers move as clients come and go; the name stays.
        const unsigned int count = audio->getDeviceCount();
        unsigned int id = count;
        for (unsigned int i = 0; i < count && id == count; ++i) {
            RtAudio::DeviceInfo info = audio->getDeviceInfo(i);
            if (info.probed && info.name == openName && info.outputChannels > 0) id = i;
        }
        if (id == count) {
            lastMessage = "device \"" + openName + "\" is gone";
            delete audio;
            audio = nullptr;
            return dsresult::noDriver;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = id;
        parameters.nChannels = static_cast<unsigned int>(channels);
        RtAudio::StreamOptions options;
        options.streamName = streamName;
        options.numberOfBuffers = 4;
        unsigned int frames = 512;
        audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, rate, &frames, &RtAudioPlaybackRing::callback, this,
                          &options);
        periodFrames = static_cast<int32_t>(frames);
    } catch (const RtAudioError& e) {
        lastMessage = e.getMessage();
        delete audio;
        audio = nullptr;
        return getPlaybackResult(e);
    }
    lost.store(false);
    return dsresult::ok;
}

void RtAudioPlaybackRing::closeStream() {
    if (!audio) return;
    try {
        // When the server goes away RtAudio closes the stream on a thread of
        // its own; let that finish before touching the stream.
        for (int i = 0; i < 100 && closedByServer && !audio->isStreamRunning() && audio->isStreamOpen(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (audio->isStreamRunning()) audio->abortStream();
    } catch (const RtAudioError& e) {
        // Aborting a stream whose server is gone fails; closing still works.
        lastMessage = e.getMessage();
    }
    try {
        if (audio->isStreamOpen()) audio->closeStream();
    } catch (const RtAudioError& e) {
        lastMessage = e.getMessage();
    }
    delete audio;
    audio = nullptr;
    periodFrames = 0;
}

void RtAudioPlaybackRing::release() {
    closeStream();
    playing = false;
    lost.store(false);
    closedByServer = false;
    freeRing();
}

int RtAudioPlaybackRing::callback(void* output, void*, unsigned int frames, double, unsigned int status, void* self) {
    auto* ring = static_cast<RtAudioPlaybackRing*>(self);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW) ring->deviceUnderflows.fetch_add(1, std::memory_order_relaxed);
    // The time first: a reader that sees the new block sees its time too.
    ring->watch.note(static_cast<int32_t>(frames));
    ring->playBlock(static_cast<float*>(output), static_cast<int32_t>(frames));
    return 0;
}

bool RtAudioPlaybackRing::checkLost() {
    if (lost.load()) return true;
    if (!playing || !audio) return false;
    bool running = false;
    try {
        running = audio->isStreamRunning();
    } catch (const RtAudioError&) {
    }
    if (watch.isRunaway()) {
        lastMessage = "the device ran far faster than real time (its server is gone)";
        lost.store(true);
    } else if (!running) {
        lastMessage = "the sound server closed the stream";
        closedByServer = true;
        lost.store(true);
    } else if (getSteadyNanos() - watch.getLastNanos() > silentLimitNanos) {
        lastMessage = "the device stopped calling back";
        lost.store(true);
    }
    return lost.load();
}

uint32_t RtAudioPlaybackRing::lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                                   int32_t* secondBytes) {
    if (checkLost()) return dsresult::bufferLost;
    return PlaybackRing::lock(offset, bytes, first, firstBytes, second, secondBytes);
}

uint32_t RtAudioPlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    if (checkLost()) return dsresult::bufferLost;
    const int64_t n = getRingBytes();
    if (n == 0) return dsresult::uninitialized;
    int64_t frames = 0, block = 0;
    loadConsumed(&frames, &block);
    // The block the device took last plays out during its period: the play
    // cursor moves through it with the clock instead of jumping a whole
    // period, as a sound card's does. It stays one frame short of the
    // safe-write cursor.
    int64_t into = 0;
    if (playing && block > 1) {
        const int64_t elapsed = getSteadyNanos() - watch.getLastNanos();
        into = std::clamp<int64_t>(elapsed * static_cast<int64_t>(rate) / 1'000'000'000, 0, block - 1);
    }
    *play = static_cast<int32_t>(((frames - block + into) * bytesPerFrame) % n);
    *write = static_cast<int32_t>((frames * bytesPerFrame) % n);
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::play() {
    if (!audio || getRingBytes() == 0) return dsresult::uninitialized;
    if (checkLost()) return dsresult::bufferLost;
    if (playing) return dsresult::ok;
    watch.reset(rate);
    try {
        audio->startStream();
    } catch (const RtAudioError& e) {
        lastMessage = e.getMessage();
        return getPlaybackResult(e);
    }
    playing = true;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::stop() {
    if (!audio) return dsresult::uninitialized;
    if (!playing) return dsresult::ok;
    playing = false;
    if (lost.load()) return dsresult::ok;
    try {
        // abort, not stop: stopping waits for the device to drain, which a
        // dead server never does.
        if (audio->isStreamRunning()) audio->abortStream();
    } catch (const RtAudioError& e) {
        lastMessage = e.getMessage();
        return getPlaybackResult(e);
    }
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::getStatus(uint32_t* status) {
    if (!audio && !lost.load()) return dsresult::uninitialized;
    uint32_t s = playing ? (ringstatus::playing | ringstatus::looping) : 0;
    if (checkLost()) s |= ringstatus::bufferLost;
    *status = s;
    return dsresult::ok;
}

uint32_t RtAudioPlaybackRing::restore() {
    if (!lost.load()) return dsresult::ok;
    const int32_t bytes = getRingBytes();
    closeStream();
    playing = false;
    const uint32_t result = openStream();
    closedByServer = false;
    if (result != dsresult::ok) {
        lost.store(true);
        return result;
    }
    // A fresh, silent ring; the writer places its next chunk anew.
    return createRing(bytes);
}

} // namespace sonabel
