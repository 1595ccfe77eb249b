#pragma once

#include "core/AudioStream.h"

namespace sonabel {

class SampleBuffer;

class AudioReader : public AudioStream {
public:
    ~AudioReader() override;
    // Delivers currCount frames into the buffer's window and returns how many
    // came from the source; the rest is silence. srcFactor 0.0 overwrites the
    // buffer, any other value adds the samples scaled by it. position names
    // the chunk: asked again for the same one, a reader may repeat it.
    virtual int32_t read(SampleBuffer& buffer, int32_t position, float srcFactor) = 0;
};

} // namespace sonabel
