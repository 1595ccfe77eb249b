#include "io/RtAudioCaptureQueue.h"

#include "core/AudioDeviceFormat.h"
#include "io/RtAudioErrors.h"

#include <chrono>
#include <thread>

namespace sonabel {

namespace {

// A capturing stream whose callback stays away this long has died. Long
// where the server may pause: a PulseAudio monitor takes two seconds before
// it delivers more than its first block. JACK calls every period.
int64_t getSilentLimitNanos(AudioApi api) { return api == AudioApi::jack ? 2'000'000'000 : 5'000'000'000; }

} // namespace

RtAudioCaptureQueue::RtAudioCaptureQueue(AudioApi soundSystem) : api(soundSystem), stream(soundSystem, &callback, this) {}

RtAudioCaptureQueue::~RtAudioCaptureQueue() {
    if (opened) close();
}

uint32_t RtAudioCaptureQueue::enumerate(DeviceCallback deviceCallback, void* context) {
    std::string message;
    if (!RtAudioStream::listDevices(api, false, &names, &message)) {
        setLastMessage(message);
        return getCaptureResult(RtAudioError(message, RtAudioError::DRIVER_ERROR));
    }
    if (names.empty()) setLastMessage(message);
    for (size_t i = 0; i < names.size(); ++i)
        if (!deviceCallback(context, static_cast<int>(i), names[i].c_str())) break;
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::open(int deviceId, const AudioDeviceFormat& format, AudioEvent* doneEvent) {
    if (opened) return mmresult::allocated;
    if (deviceId < 0 || deviceId >= static_cast<int>(names.size())) return mmresult::badDeviceId;
    const int b = format.getBitsPerSample();
    if ((b != 8 && b != 16) || format.channels < 1 || format.sampleRate < 1.0f) return mmresult::badFormat;
    setLayout(format);
    char streamName[64];
    makeStreamName(streamName, sizeof streamName, "in");
    unsigned int frames = 512;
    event = doneEvent;
    if (!stream.open(false, names[static_cast<size_t>(deviceId)], static_cast<unsigned int>(channels),
                     static_cast<unsigned int>(format.sampleRate), &frames, streamName)) {
        setLastMessage(stream.getMessage());
        event = nullptr;
        return getCaptureResult(stream.getError());
    }
    periodFrames = static_cast<int32_t>(frames);
    serverOverflows.store(0);
    opened = true;
    lost.store(false);
    closedByServer = false;
    capturing = false;
    rate = static_cast<uint32_t>(format.sampleRate);
    return mmresult::ok;
}

int RtAudioCaptureQueue::callback(void*, void* input, unsigned int frames, unsigned int status, void* self) {
    auto* queue = static_cast<RtAudioCaptureQueue*>(self);
    // Stale blocks of a dead server are not captured, and 2 asks RtAudio to
    // abort the stream (for input alone that never waits on the server).
    if (!queue->watch.note(static_cast<int32_t>(frames))) return 2;
    if (status & RTAUDIO_INPUT_OVERFLOW) queue->serverOverflows.fetch_add(1, std::memory_order_relaxed);
    queue->captureBlock(static_cast<const float*>(input), static_cast<int32_t>(frames));
    return 0;
}

bool RtAudioCaptureQueue::isLost() {
    if (lost.load()) return true;
    if (!capturing || !stream.isOpen()) return false;
    const bool running = stream.isRunning();
    if (watch.isRunaway()) {
        setLastMessage("the device ran far faster than real time (its server is gone)");
        lost.store(true);
    } else if (!running) {
        setLastMessage("the sound server closed the stream");
        closedByServer = true;
        lost.store(true);
    } else if (getSteadyNanos() - watch.getLastNanos() > getSilentLimitNanos(api)) {
        setLastMessage("the device stopped calling back");
        lost.store(true);
    }
    return lost.load();
}

void RtAudioCaptureQueue::halt() {
    capturing = false;
    // Aborting waits for the server, which a dead one never answers.
    if (lost.load()) return;
    if (stream.isRunning() && !stream.abort()) {
        setLastMessage(stream.getMessage());
        // A server that did not answer in time has lost the stream.
        if (stream.isHung()) lost.store(true);
    }
}

uint32_t RtAudioCaptureQueue::start() {
    if (!opened) return mmresult::invalidHandle;
    if (lost.load()) return mmresult::noDriver;
    watch.reset(rate);
    if (!stream.start()) {
        setLastMessage(stream.getMessage());
        return getCaptureResult(stream.getError());
    }
    capturing = true;
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::stop() {
    if (!opened) return mmresult::invalidHandle;
    halt();
    finishPartialHead();
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::reset() {
    if (!opened) return mmresult::invalidHandle;
    halt();
    flushQueue();
    return mmresult::ok;
}

uint32_t RtAudioCaptureQueue::close() {
    if (!opened) return mmresult::invalidHandle;
    halt();
    stream.close(closedByServer);
    if (stream.isHung()) setLastMessage(stream.getMessage());
    periodFrames = 0;
    opened = false;
    flushQueue();
    event = nullptr;
    lost.store(false);
    closedByServer = false;
    return mmresult::ok;
}

} // namespace sonabel
