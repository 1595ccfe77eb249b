#include "io/NullCaptureQueue.h"

#include "core/AudioDeviceFormat.h"

#include <chrono>
#include <system_error>

namespace sonabel {

NullCaptureQueue::~NullCaptureQueue() { join(); }

uint32_t NullCaptureQueue::enumerate(DeviceCallback callback, void* context) {
    callback(context, 0, deviceName);
    return mmresult::ok;
}

uint32_t NullCaptureQueue::open(int deviceId, const AudioDeviceFormat& format, AudioEvent* doneEvent) {
    if (opened) return mmresult::allocated;
    if (deviceId != 0) return mmresult::badDeviceId;
    const int b = format.getBitsPerSample();
    if (format.sampleRate < 1.0f || format.channels < 1 || (b != 8 && b != 16)) return mmresult::badFormat;
    setLayout(format);
    rate = static_cast<int>(format.sampleRate);
    event = doneEvent;
    opened = true;
    return mmresult::ok;
}

void NullCaptureQueue::pace() {
    using clock = std::chrono::steady_clock;
    const auto begin = clock::now();
    int64_t frames = 0;
    while (running.load(std::memory_order_acquire)) {
        frames += periodFrames;
        const auto due = begin + std::chrono::duration_cast<clock::duration>(
                                     std::chrono::duration<double>(static_cast<double>(frames) / rate));
        std::this_thread::sleep_until(due);
        if (!running.load(std::memory_order_acquire)) break;
        captureBlock(nullptr, periodFrames);
    }
}

void NullCaptureQueue::join() {
    running.store(false, std::memory_order_release);
    if (pacer.joinable()) pacer.join();
}

uint32_t NullCaptureQueue::start() {
    if (!opened) return mmresult::invalidHandle;
    if (running.load()) return mmresult::ok;
    running.store(true, std::memory_order_release);
    try {
        pacer = std::thread([this] { pace(); });
    } catch (const std::system_error&) {
        running.store(false);
        return mmresult::noMem;
    }
    return mmresult::ok;
}

uint32_t NullCaptureQueue::stop() {
    if (!opened) return mmresult::invalidHandle;
    join();
    finishPartialHead();
    return mmresult::ok;
}

uint32_t NullCaptureQueue::reset() {
    if (!opened) return mmresult::invalidHandle;
    join();
    flushQueue();
    return mmresult::ok;
}

uint32_t NullCaptureQueue::close() {
    if (!opened) return mmresult::invalidHandle;
    join();
    flushQueue();
    opened = false;
    event = nullptr;
    return mmresult::ok;
}

} // namespace sonabel
