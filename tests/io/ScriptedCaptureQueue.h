#pragma once
// A capture queue for tests: the test completes the queued buffers by hand,
// in queue order, with values of its choice, so the reader's ring
// arithmetic can be checked step by step.

#include "io/CaptureQueue.h"

#include <atomic>
#include <string>
#include <vector>

namespace sonabel::test {

class ScriptedCaptureQueue : public CaptureQueue {
public:
    explicit ScriptedCaptureQueue(std::vector<std::string> deviceNames = {"Default input", "Line in"})
        : names(std::move(deviceNames)) {}

    const char* getApiName() override { return "Scripted"; }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t open(int deviceId, const AudioDeviceFormat& format, AudioEvent* event) override;
    uint32_t add(CaptureBuffer* buffer) override;
    uint32_t start() override;
    uint32_t stop() override;
    uint32_t reset() override;
    uint32_t close() override;
    // The device died (the test sets it while capturing); closing clears it.
    bool isLost() override { return lost.load(); }

    // The device captures frames of one constant value (every channel), as
    // its callback would.
    void capture(int32_t frames, float value);
    // Interleaved samples.
    void captureSamples(const std::vector<float>& samples) {
        captureBlock(samples.data(), static_cast<int32_t>(samples.size()) / channels);
    }

    std::vector<std::string> names;
    bool opened = false;
    bool running = false;
    int openedDevice = -1;
    uint32_t openResult = 0;
    int failAdds = 0; // the next adds that fail
    std::atomic<bool> lost{false};
    std::vector<CaptureBuffer*> added;
    std::vector<float> scratch;
};

} // namespace sonabel::test
