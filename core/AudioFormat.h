#pragma once
// Channels and sample rate of a stream; 2 channels at 44100.0 Hz by default.

namespace sonabel {

class AudioFormat {
public:
    AudioFormat() = default;
    AudioFormat(int channelCount, float rate) : channels(channelCount), sampleRate(rate) {}
    AudioFormat(const AudioFormat&) = default;
    AudioFormat& operator=(const AudioFormat&) = default;
    virtual ~AudioFormat() = default;

    // Copies channels and rate only.
    void copyFrom(const AudioFormat& other) {
        channels = other.channels;
        sampleRate = other.sampleRate;
    }
    // Same channel count, and rates equal as floats.
    bool isSame(const AudioFormat& other) const {
        return channels == other.channels && sampleRate == other.sampleRate;
    }

    int channels = 2;
    float sampleRate = 44100.0f; // frames per second
};

} // namespace sonabel
