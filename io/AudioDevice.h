#pragma once
// The driver interface both soundcard classes offer to the device panels:
// the device format, the device list and choice, and the buffer sizes.
// Everything here runs on the interface thread.

#include "core/AudioExtension.h"

#include <cstdint>

namespace sonabel {

class AudioDeviceFormat;
class AudioInputDevice;
class AudioOutputDevice;

class AudioDevice : public AudioExtension {
public:
    // Owned by the device; what it opens with.
    virtual AudioDeviceFormat* getDeviceFormat() = 0;
    // Refused while open; an equal format is ignored.
    virtual void setDeviceFormat(const AudioDeviceFormat& format) = 0;
    // The devices are listed on first use; the default device comes first.
    virtual int32_t getDeviceCount() = 0;
    // Owned by the device; null (and a report) for an index out of range.
    virtual const char* getDeviceName(int32_t index) = 0;
    // Refused while open; checked against the count only at open.
    virtual void setDevice(int32_t index) = 0;
    virtual int32_t getDevice() = 0;
    virtual int32_t getBufferCount() = 0;
    virtual void setBufferCount(int32_t count) = 0;
    // Frames per buffer.
    virtual int32_t getBufferSizeFrames() = 0;
    virtual void setBufferSizeFrames(int32_t frames) = 0;
};

// Number of device driver types (one: the soundcard classes over the
// system's sound servers).
int32_t getDeviceDriverCount();
// A DirectSoundWriter for index 0, else null. The caller owns it.
AudioOutputDevice* createOutputDevice(int32_t index);
// An MMEReader for index 0, else null. The caller owns it.
AudioInputDevice* createInputDevice(int32_t index);

} // namespace sonabel
