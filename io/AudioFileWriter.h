#pragma once
// A file that audio is recorded into: the file side (name, position,
// length) and the writer side (format, open, write, close) of one object.
// Sample size and encoding are chosen before open.

#include "core/AudioFile.h"
#include "core/AudioWriter.h"
#include "core/FourCC.h"

#include <cstdint>

namespace sonabel {

class AudioFileWriter : public AudioFile, public AudioWriter {
public:
    ~AudioFileWriter() override;

    virtual void setBitsPerSample(int bits) = 0;
    virtual void setEncoding(FourCC encoding) = 0;
    virtual int32_t getEncodingCount() = 0;
    virtual FourCC getEncoding(int32_t index) = 0;
};

} // namespace sonabel
