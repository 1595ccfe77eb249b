#pragma once
// The format of a RIFF WAVE file, shared by the reader and the writer.
//
// Layout (all integers little-endian, identifiers compared as FourCC):
//   "RIFF" <u32 file length - 8> "WAVE", then chunks:
//   <id> <u32 body size> <body> [one pad byte when the size is odd]
// The "fmt " body starts with the 16-byte WaveFormatRecord below; "data"
// holds interleaved frames. 8-bit samples are unsigned (silence 0x80),
// wider ones signed two's complement.

#include "core/AudioFormat.h"
#include "core/FourCC.h"

#include <cstdint>

namespace sonabel {

class AudioCodec;

inline constexpr FourCC FOURCC_RIFF{"RIFF"};
inline constexpr FourCC FOURCC_WAVE{"WAVE"};
inline constexpr FourCC FOURCC_FMT{"fmt "};
inline constexpr FourCC FOURCC_DATA{"data"};

// The first 16 bytes of a "fmt " body, field by field.
struct WaveFormatRecord {
    static constexpr int size = 16;

    uint16_t formatTag = 1; // 1 is PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;

    static WaveFormatRecord fromBytes(const uint8_t* bytes);
    void toBytes(uint8_t* bytes) const;
};

class WaveFileFormat : public AudioFormat {
public:
    // 16 bits, 2 channels, 44100 Hz.
    WaveFileFormat() = default;
    ~WaveFileFormat() override = default;

    virtual int getBitsPerSample() const { return bitsPerSample; }
    virtual FourCC getFileType() const { return FOURCC_WAVE; }
    virtual const char* getExtension() const { return "wav"; }
    // PCM is the only encoding of WAVE files.
    virtual FourCC getEncoding() const { return ENCODING_PCM; }
    virtual bool isBigEndian() const { return false; }
    virtual bool isSigned() const { return bitsPerSample != 8; }

    void setBitsPerSample(int bits) { bitsPerSample = bits; }
    // Only ENCODING_PCM is accepted; anything else is reported and ignored.
    void setEncoding(FourCC encoding);
    void fromWaveFormat(const WaveFormatRecord& record);
    // Tag 1, the sample rate truncated to whole Hz, byte rate and block align
    // from the sample size. Values that do not fit a field are clamped.
    WaveFormatRecord toWaveFormat() const;
    void setDefaults();

    // (bitsPerSample * channels) / 8; 0 for a format with no whole byte per
    // frame or with negative fields, never more than INT32_MAX.
    int getBytesPerFrame() const;
    // 8 or 16 bits and 1..maxChannels channels: what the PCM codec handles
    // and what the engine can hold in a chunk.
    bool isSupported() const;

    static constexpr int maxChannels = 256;

    int bitsPerSample = 16;
};

// A codec for the format's encoding, sample size, byte order, signedness and
// channel count; owned by the caller, null when there is none.
AudioCodec* getCodecForFormat(const WaveFileFormat& format);

} // namespace sonabel
