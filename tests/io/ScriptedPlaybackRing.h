#pragma once
// A playback ring for tests: the test sets the play and safe-write cursors
// by hand and can make the next calls fail, so the writer's ring arithmetic
// can be checked step by step.

#include "io/PlaybackRing.h"

#include <string>
#include <vector>

namespace sonabel::test {

class ScriptedPlaybackRing : public PlaybackRing {
public:
    struct LockCall {
        int32_t offset;
        int32_t bytes;
        int32_t firstBytes;
        int32_t secondBytes;
    };

    explicit ScriptedPlaybackRing(std::vector<std::string> deviceNames = {"Speakers", "Headphones", "HDMI"})
        : names(std::move(deviceNames)) {}

    const char* getApiName() override { return "Scripted"; }
    uint32_t enumerate(DeviceCallback callback, void* context) override;
    uint32_t openDevice(int deviceId, const AudioDeviceFormat& format) override;
    uint32_t createRing(int32_t ringBytes) override;
    void release() override;
    uint32_t lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                  int32_t* secondBytes) override;
    uint32_t getCurrentPosition(int32_t* play, int32_t* write) override;
    // The safe-write cursor in frames, unless playedFrames is set (>= 0).
    uint32_t getPlayedFrames(int64_t* frames) override {
        *frames = playedFrames >= 0 ? playedFrames : writeCursor / 4;
        return dsresult::ok;
    }
    uint32_t play() override;
    uint32_t stop() override;
    uint32_t getStatus(uint32_t* status) override;
    uint32_t restore() override;

    // Moves both cursors: play at p, safe-write one block (gap bytes) later.
    void setCursors(int32_t p, int32_t w) {
        playCursor = p;
        writeCursor = w;
    }
    const std::vector<uint8_t>& bytes() const { return ring; }
    int16_t sampleAt(int32_t offset) const {
        return static_cast<int16_t>(static_cast<uint16_t>(ring[static_cast<size_t>(offset)] |
                                                          (ring[static_cast<size_t>(offset) + 1] << 8)));
    }

    std::vector<std::string> names;
    int32_t playCursor = 0;
    int32_t writeCursor = 0;
    int64_t playedFrames = -1;
    bool playing = false;
    bool opened = false;
    int openedDevice = -1;
    // Results the next calls give (0 = behave normally).
    uint32_t openResult = 0;
    uint32_t createResult = 0;
    uint32_t nextLockResult = 0; // one-shot
    uint32_t restoreResult = 0;
    uint32_t positionResult = 0;
    int restoreCalls = 0;
    int playCalls = 0;
    int releaseCalls = 0;
    std::vector<LockCall> locks;
};

} // namespace sonabel::test
