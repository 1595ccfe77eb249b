#pragma once

#include "core/AudioStream.h"

namespace sonabel {

class SampleBuffer;

class AudioWriter : public AudioStream {
public:
    ~AudioWriter() override;
    // Adopts channels and rate for the next open.
    virtual void setAudioFormat(const AudioFormat& format) = 0;
    // Encodes and stores or plays currCount frames of the buffer's window.
    virtual void write(SampleBuffer& buffer) = 0;
};

} // namespace sonabel
