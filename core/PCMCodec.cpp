#include "core/PCMCodec.h"

#include "core/Log.h"
#include "core/PCMKernels.h"
#include "core/SampleBuffer.h"

#include <cstring>

namespace sonabel {

AudioCodec* getAudioCodec(FourCC encoding, int bits, bool bigEndian, bool signedSamples, int channels) {
    logTrace(10, "getAudioCodec");
    if (encoding == ENCODING_PCM) return new PCMCodec(bits, bigEndian, signedSamples, channels);
    logError(3, "getAudioCodec: no codec available");
    return nullptr;
}

PCMCodec::PCMCodec(int bitsPerSample, bool big, bool isSigned, int channelCount)
    : bits(bitsPerSample), bigEndian(big), signedSamples(isSigned), channels(channelCount) {
    logTrace(5, "PCMCodec constructor(%d, %s, %s, %d channels) this=%p", bits, bigEndian ? "big endian" : "little endian",
             signedSamples ? "signed" : "unsigned", channels, static_cast<void*>(this));
}

PCMCodec::~PCMCodec() { logTrace(5, "PCMCodec destructor"); }

void PCMCodec::decodeChannel(const uint8_t* in, int sourceChannel, float* out, int frames, float srcFactor) {
    if (bits == 8 || bits == 16) {
        pcm_kernels::bestKernels().decode(in + sourceChannel * (bits / 8), channels, out, frames, srcFactor,
                                          {bits, bigEndian, signedSamples});
        return;
    }
    for (int f = 0; f < frames; ++f) {
        logError(2, "PCM conversion with %d bits per sample is not supported.", bits);
        if (srcFactor == 0.0f) out[f] = 0.0f;
    }
}

void PCMCodec::decode(const uint8_t* in, SampleBuffer& buffer, float srcFactor) {
    logTrace(10, ">PCMCodec::decode(in, out(%d samples, %d channels), %f srcFactor)", buffer.currCount,
             buffer.channelCount, static_cast<double>(srcFactor));
    for (int i = 0; i < buffer.channelCount; ++i) {
        if (channels <= 0) break;
        if (i >= channels && srcFactor == 0.0f) {
            buffer.copyChannel(0, i);
            continue;
        }
        decodeChannel(in, i % channels, buffer.getBuffer(i), buffer.currCount, srcFactor);
    }
    logTrace(10, "<");
}

void PCMCodec::encodeChannel(const float* in, int outputChannel, uint8_t* out, int frames) {
    const int bytes = bits / 8;
    if (bits == 8 || bits == 16) {
        pcm_kernels::bestKernels().encode(in, out + outputChannel * bytes, channels, frames,
                                          {bits, bigEndian, signedSamples});
    } else if (bytes > 0) {
        const int stride = bytes * channels;
        uint8_t* dst = out + outputChannel * bytes;
        for (int f = 0; f < frames; ++f) std::memset(dst + static_cast<long>(f) * stride, 0, static_cast<size_t>(bytes));
    }
}

void PCMCodec::encode(SampleBuffer& buffer, uint8_t* out) {
    logTrace(10, ">PCMCodec::encode(in(%d samples, %d channels), out)", buffer.currCount, buffer.channelCount);
    if (channels == 2 && (bits == 8 || bits == 16)) {
        // Whole frames in one pass.
        pcm_kernels::bestKernels().encodePair(buffer.getBuffer(0), buffer.getBuffer(buffer.channelCount > 1 ? 1 : 0),
                                              out, buffer.currCount, {bits, bigEndian, signedSamples});
        logTrace(10, "<PCMCodec::encode()");
        return;
    }
    for (int c = 0; c < channels; ++c) {
        int source = c < buffer.channelCount ? c : 0;
        encodeChannel(buffer.getBuffer(source), c, out, buffer.currCount);
    }
    logTrace(10, "<PCMCodec::encode()");
}

} // namespace sonabel
