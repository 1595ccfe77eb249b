#pragma once
// A capture device without hardware: a thread of its own fills the queued
// buffers with silence at the format's rate, paced by
// std::chrono::steady_clock. Its one device is "Null device (no sound)".

#include "io/CaptureQueue.h"

#include <atomic>
#include <thread>

namespace sonabel {

class NullCaptureQueue : public CaptureQueue {
public:
    static constexpr const char* deviceName = "Null device (no sound)";
    static constexpr int32_t periodFrames = 256;

    ~NullCaptureQueue() override;

    const char* getApiName() override { return "Null"; }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t open(int deviceId, const AudioDeviceFormat& format, AudioEvent* event) override;
    uint32_t start() override;
    uint32_t stop() override;
    uint32_t reset() override;
    uint32_t close() override;

private:
    void pace();
    void join();

    bool opened = false;
    double rate = 44100.0;
    std::atomic<bool> running{false};
    std::thread pacer;
};

} // namespace sonabel
