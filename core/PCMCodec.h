#pragma once
// Linear PCM of 8 or 16 bits, signed or unsigned, either byte order. A 16-bit
// sample s is s/32768 and an 8-bit one s/128. Decoding is also the mixing
// step: a source is added into the chunk with its gain. Neither direction
// allocates.

#include "core/AudioCodec.h"
#include "core/FourCC.h"

namespace sonabel {

class PCMCodec : public AudioCodec {
public:
    PCMCodec(int bits, bool bigEndian, bool signedSamples, int channels);
    ~PCMCodec() override;
    PCMCodec(const PCMCodec&) = delete;
    PCMCodec& operator=(const PCMCodec&) = delete;

    const char* getName() override { return "PCM"; }
    const char* getDescription() override { return "PCM encoder/decoder"; }
    void encode(SampleBuffer& buffer, uint8_t* out) override;
    void decode(const uint8_t* in, SampleBuffer& buffer, float srcFactor) override;

    // Bytes of one frame: (bits / 8) * channels.
    int getFrameSize() const { return (bits / 8) * channels; }

    int bits;
    bool bigEndian;
    bool signedSamples;
    int channels;

private:
    void decodeChannel(const uint8_t* in, int sourceChannel, float* out, int frames, float srcFactor);
    void encodeChannel(const float* in, int outputChannel, uint8_t* out, int frames);
};

// A codec for the encoding, owned by the caller; null for anything but PCM.
AudioCodec* getAudioCodec(FourCC encoding, int bits, bool bigEndian, bool signedSamples, int channels);

} // namespace sonabel
