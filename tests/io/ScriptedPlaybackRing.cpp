#include "ScriptedPlaybackRing.h"

#include "core/AudioDeviceFormat.h"

namespace sonabel::test {

uint32_t ScriptedPlaybackRing::enumerate(DeviceCallback callback, void* context) {
    for (size_t i = 0; i < names.size(); ++i)
        if (!callback(context, static_cast<int>(i), names[i].c_str())) break;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::openDevice(int deviceId, const AudioDeviceFormat& format) {
    if (openResult != 0) return openResult;
    setLayout(format);
    opened = true;
    openedDevice = deviceId;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::createRing(int32_t ringBytes) {
    if (createResult != 0) return createResult;
    return PlaybackRing::createRing(ringBytes);
}

void ScriptedPlaybackRing::release() {
    ++releaseCalls;
    opened = false;
    playing = false;
    freeRing();
}

uint32_t ScriptedPlaybackRing::lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                                    int32_t* secondBytes) {
    if (nextLockResult != 0) {
        const uint32_t r = nextLockResult;
        nextLockResult = 0;
        return r;
    }
    const uint32_t r = PlaybackRing::lock(offset, bytes, first, firstBytes, second, secondBytes);
    if (r == dsresult::ok) locks.push_back({offset, bytes, *firstBytes, *secondBytes});
    return r;
}

uint32_t ScriptedPlaybackRing::getCurrentPosition(int32_t* play, int32_t* write) {
    if (positionResult != 0) return positionResult;
    *play = playCursor;
    *write = writeCursor;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::play() {
    ++playCalls;
    playing = true;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::stop() {
    playing = false;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::getStatus(uint32_t* status) {
    *status = playing ? (ringstatus::playing | ringstatus::looping) : 0;
    if (positionResult == dsresult::bufferLost) *status |= ringstatus::bufferLost;
    return dsresult::ok;
}

uint32_t ScriptedPlaybackRing::restore() {
    ++restoreCalls;
    if (restoreResult == 0) positionResult = 0;
    return restoreResult;
}

} // namespace sonabel::test
