#include "io/RtAudioCaptureQueue.h"

#include "core/AudioDeviceFormat.h"
#include "io/RtAudioErrors.h"

#include <chrono>
#include <thread>

namespace sonabel {

namespace {

// A capturing stream whose callback stays away this long has died. Long: a
// PulseAudio monitor takes two seconds before it delivers more than its
// first block.
constexpr int64_t silentLimitNanos = 5'000'000'000;

} // namespace

RtAudioCaptureQueue::RtAudioCaptureQueue(AudioApi soundSystem) : api(soundSystem) {}

RtAudioCaptureQueue::~RtAudioCaptureQueue() {
    if (audio) close();
}

uint32_t RtAudioCaptureQueue::enumerate(DeviceCallback deviceCallback, void* context) {
    names.clear();
    try {
        RtAudio probe(getRtAudioApi(api));
        probe.showWarnings(false);
        const unsigned int count = probe.getDeviceCount();
        if (count == 0) return mmresult::ok;
        const unsigned int preferred = probe.getDefaultInputDevice();
        std::vector<unsigned int> order;
        if (preferred < count) order.push_back(preferred);
        for (unsigned int i = 0; i < count; ++i)
            if (i != preferred) order.push_back(i);
        for (unsigned int i : order) {
            RtAudio::DeviceInfo info = probe.getDeviceInfo(i);
            if (!info.probed || info.inputChannels == 0) continue;
            names.push_back(info.name);
        }
    } catch (const RtAudioError& e) {
        setLastMessage(e.getMessage());
        return getCaptureResult(e);
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (!deviceCallback(context, static_cast<int>(i), names[i].c_str())) break;
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::open(int deviceId, const AudioDeviceFormat& format, AudioEvent* doneEvent) {
    if (audio) return mmresult::allocated;
    if (deviceId < 0 || deviceId >= static_cast<int>(names.size())) return mmresult::badDeviceId;
    const int b = format.getBitsPerSample();
    if ((b != 8 && b != 16) || format.channels < 1 || format.sampleRate < 1.0f) return mmresult::badFormat;
    setLayout(format);
    const std::string& wanted = names[static_cast<size_t>(deviceId)];
    char streamName[64];
    makeStreamName(streamName, sizeof streamName, "in");
    try {
        audio = new RtAudio(getRtAudioApi(api));
        audio->showWarnings(false);
        // Device numbers move as clients come and go; the name stays.
        const unsigned int count = audio->getDeviceCount();
        unsigned int id = count;
        for (unsigned int i = 0; i < count && id == count; ++i) {
            RtAudio::DeviceInfo info = audio->getDeviceInfo(i);
            if (info.probed && info.name == wanted && info.inputChannels > 0) id = i;
        }
        if (id == count) {
            setLastMessage("device \"" + wanted + "\" is gone");
            delete audio;
            audio = nullptr;
            return mmresult::noDriver;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = id;
        parameters.nChannels = static_cast<unsigned int>(channels);
        RtAudio::StreamOptions options;
        options.streamName = streamName;
        options.numberOfBuffers = 4;
        unsigned int frames = 512;
        event = doneEvent;
        audio->openStream(nullptr, &parameters, RTAUDIO_FLOAT32, static_cast<unsigned int>(format.sampleRate), &frames,
                          &RtAudioCaptureQueue::callback, this, &options);
        periodFrames = static_cast<int32_t>(frames);
    } catch (const RtAudioError& e) {
        setLastMessage(e.getMessage());
        delete audio;
        audio = nullptr;
        event = nullptr;
        return getCaptureResult(e);
    }
    lost.store(false);
    closedByServer = false;
    capturing = false;
    rate = static_cast<uint32_t>(format.sampleRate);
    return mmresult::ok;
}

int RtAudioCaptureQueue::callback(void*, void* input, unsigned int frames, double, unsigned int, void* self) {
    auto* queue = static_cast<RtAudioCaptureQueue*>(self);
    // Stale blocks of a dead server are not captured, and 2 asks RtAudio to
    // abort the stream (for input alone that never waits on the server).
    if (!queue->watch.note(static_cast<int32_t>(frames))) return 2;
    queue->captureBlock(static_cast<const float*>(input), static_cast<int32_t>(frames));
    return 0;
}

bool RtAudioCaptureQueue::isLost() {
    if (lost.load()) return true;
    if (!capturing || !audio) return false;
    bool running = false;
    try {
        running = audio->isStreamRunning();
    } catch (const RtAudioError&) {
    }
    if (watch.isRunaway()) {
        setLastMessage("the device ran far faster than real time (its server is gone)");
        lost.store(true);
    } else if (!running) {
        setLastMessage("the sound server closed the stream");
        closedByServer = true;
        lost.store(true);
    } else if (getSteadyNanos() - watch.getLastNanos() > silentLimitNanos) {
        setLastMessage("the device stopped calling back");
        lost.store(true);
    }
    return lost.load();
}

void RtAudioCaptureQueue::halt() {
    capturing = false;
    // Aborting waits for the server, which a dead one never answers.
    if (lost.load()) return;
    try {
        if (audio->isStreamRunning()) audio->abortStream();
    } catch (const RtAudioError& e) {
        setLastMessage(e.getMessage());
    }
}

uint32_t RtAudioCaptureQueue::start() {
    if (!audio) return mmresult::invalidHandle;
    if (lost.load()) return mmresult::noDriver;
    watch.reset(rate);
    try {
        if (!audio->isStreamRunning()) audio->startStream();
    } catch (const RtAudioError& e) {
        setLastMessage(e.getMessage());
        return getCaptureResult(e);
    }
    capturing = true;
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::stop() {
    if (!audio) return mmresult::invalidHandle;
    halt();
    finishPartialHead();
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::reset() {
    if (!audio) return mmresult::invalidHandle;
    halt();
    flushQueue();
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::close() {
    if (!audio) return mmresult::invalidHandle;
    halt();
    try {
        // When the server goes away RtAudio closes the stream on a thread of
        // its own; let that finish before touching the stream.
        for (int i = 0; i < 100 && closedByServer && !audio->isStreamRunning() && audio->isStreamOpen(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (audio->isStreamRunning()) audio->abortStream();
    } catch (const RtAudioError& e) {
        // Aborting a stream whose server is gone may fail; closing still works.
        setLastMessage(e.getMessage());
    }
    try {
        if (audio->isStreamOpen()) audio->closeStream();
    } catch (const RtAudioError& e) {
        setLastMessage(e.getMessage());
    }
    delete audio;
    audio = nullptr;
    periodFrames = 0;
    flushQueue();
    event = nullptr;
    lost.store(false);
    closedByServer = false;
    return mmresult::ok;
}

} // namespace sonabel
