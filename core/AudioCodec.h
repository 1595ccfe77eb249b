#pragma once
// Conversion between interleaved integer bytes and a SampleBuffer.

#include "core/AudioExtension.h"

#include <cstdint>

namespace sonabel {

class SampleBuffer;

class AudioCodec : public AudioExtension {
public:
    // Writes currCount frames of the buffer's window to out.
    virtual void encode(SampleBuffer& buffer, uint8_t* out) = 0;
    // Reads currCount frames from in into the buffer's window: srcFactor 0.0
    // overwrites, any other value adds the samples scaled by it.
    virtual void decode(const uint8_t* in, SampleBuffer& buffer, float srcFactor) = 0;
};

} // namespace sonabel
