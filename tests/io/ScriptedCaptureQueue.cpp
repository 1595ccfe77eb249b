#include "ScriptedCaptureQueue.h"

#include "core/AudioDeviceFormat.h"

namespace sonabel::test {

uint32_t ScriptedCaptureQueue::enumerate(DeviceCallback callback, void* context) {
    for (size_t i = 0; i < names.size(); ++i)
        if (!callback(context, static_cast<int>(i), names[i].c_str())) break;
    return mmresult::ok;
}

uint32_t ScriptedCaptureQueue::open(int deviceId, const AudioDeviceFormat& format, AudioEvent* doneEvent) {
    if (openResult != 0) return openResult;
    setLayout(format);
    event = doneEvent;
    opened = true;
    openedDevice = deviceId;
    return mmresult::ok;
}

uint32_t ScriptedCaptureQueue::add(CaptureBuffer* buffer) {
    if (failAdds > 0) {
        --failAdds;
        return mmresult::noMem;
    }
    const uint32_t r = CaptureQueue::add(buffer);
    if (r == mmresult::ok) added.push_back(buffer);
    return r;
}

uint32_t ScriptedCaptureQueue::start() {
    running = true;
    return mmresult::ok;
}

uint32_t ScriptedCaptureQueue::stop() {
    running = false;
    finishPartialHead();
    return mmresult::ok;
}

uint32_t ScriptedCaptureQueue::reset() {
    running = false;
    flushQueue();
    return mmresult::ok;
}

uint32_t ScriptedCaptureQueue::close() {
    flushQueue();
    opened = false;
    event = nullptr;
    lost.store(false);
    return mmresult::ok;
}

void ScriptedCaptureQueue::capture(int32_t frames, float value) {
    scratch.assign(static_cast<size_t>(frames * channels), value);
    captureBlock(scratch.data(), frames);
}

} // namespace sonabel::test
