#pragma once
// The format of a soundcard stream: an AudioFormat with a sample size.

#include "core/AudioFormat.h"

namespace sonabel {

class AudioDeviceFormat : public AudioFormat {
public:
    AudioDeviceFormat() = default;
    AudioDeviceFormat(int channelCount, float rate, int bits) : AudioFormat(channelCount, rate), bitsPerSample(bits) {}
    virtual int getBitsPerSample() const { return bitsPerSample; }

    int bitsPerSample = 16;
};

} // namespace sonabel
