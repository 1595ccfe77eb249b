#include "core/PCMCodec.h"

#include "core/Log.h"
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

namespace {

// One sample of stored bytes as a float. Each width gets its own loop so the
// per-frame work has no format branches.
template <typename Convert>
void decodeLoop(const uint8_t* in, int stride, float* out, int frames, float srcFactor, Convert convert) {
    if (srcFactor == 0.0f) {
        for (int f = 0; f < frames; ++f) out[f] = convert(in + static_cast<long>(f) * stride);
    } else {
        for (int f = 0; f < frames; ++f) out[f] = convert(in + static_cast<long>(f) * stride) * srcFactor + out[f];
    }
}

// x = v * 32768.0 is taken in double precision and rounded with
// floor(x + 0.5). After clamping, x + 32768.5 is positive and exact in a
// double, so truncation is the floor: no library call, no branch.
inline int clip16(float v) {
    double x = static_cast<double>(v) * 32768.0;
    if (x != x) return 0; // NaN has no sample value
    x = x > 32767.0 ? 32767.0 : (x < -32768.0 ? -32768.0 : x);
    return static_cast<int>(x + 32768.5) - 32768;
}

inline int clip8(float v) {
    double x = static_cast<double>(v) * 128.0;
    if (x != x) return 0;
    x = x >= 127.0 ? 127.0 : (x <= -128.0 ? -128.0 : x);
    return static_cast<int>(x + 128.5) - 128;
}

} // namespace

void PCMCodec::decodeChannel(const uint8_t* in, int sourceChannel, float* out, int frames, float srcFactor) {
    const int bytes = bits / 8;
    const int stride = bytes * channels;
    const uint8_t* src = in + sourceChannel * bytes;
    if (bits == 8) {
        if (signedSamples)
            decodeLoop(src, stride, out, frames, srcFactor,
                       [](const uint8_t* p) { return static_cast<float>(static_cast<int8_t>(p[0])) * 0.0078125f; });
        else
            decodeLoop(src, stride, out, frames, srcFactor,
                       [](const uint8_t* p) { return static_cast<float>(static_cast<int>(p[0]) - 128) * 0.0078125f; });
    } else if (bits == 16) {
        const int lo = bigEndian ? 1 : 0;
        const int hi = bigEndian ? 0 : 1;
        if (signedSamples)
            decodeLoop(src, stride, out, frames, srcFactor, [lo, hi](const uint8_t* p) {
                int16_t s = static_cast<int16_t>(p[lo] | (p[hi] << 8));
                return static_cast<float>(s) * 0.000030517578125f;
            });
        else
            decodeLoop(src, stride, out, frames, srcFactor, [lo, hi](const uint8_t* p) {
                int u = p[lo] | (p[hi] << 8);
                return static_cast<float>(u - 32768) * 0.000030517578125f;
            });
    } else {
        for (int f = 0; f < frames; ++f) {
            logError(2, "PCM conversion with %d bits per sample is not supported.", bits);
            if (srcFactor == 0.0f) out[f] = 0.0f;
        }
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
    const int stride = bytes * channels;
    uint8_t* dst = out + outputChannel * bytes;
    if (bits == 16) {
        const int lo = bigEndian ? 1 : 0;
        const int hi = bigEndian ? 0 : 1;
        const int offset = signedSamples ? 0 : 32768;
        for (int f = 0; f < frames; ++f) {
            unsigned v = static_cast<unsigned>(clip16(in[f]) + offset) & 0xffffu;
            uint8_t* p = dst + static_cast<long>(f) * stride;
            p[lo] = static_cast<uint8_t>(v & 0xff);
            p[hi] = static_cast<uint8_t>(v >> 8);
        }
    } else if (bits == 8) {
        const int offset = signedSamples ? 0 : 128;
        for (int f = 0; f < frames; ++f)
            dst[static_cast<long>(f) * stride] = static_cast<uint8_t>((clip8(in[f]) + offset) & 0xff);
    } else if (bytes > 0) {
        for (int f = 0; f < frames; ++f) std::memset(dst + static_cast<long>(f) * stride, 0, static_cast<size_t>(bytes));
    }
}

void PCMCodec::encode(SampleBuffer& buffer, uint8_t* out) {
    logTrace(10, ">PCMCodec::encode(in(%d samples, %d channels), out)", buffer.currCount, buffer.channelCount);
    for (int c = 0; c < channels; ++c) {
        int source = c < buffer.channelCount ? c : 0;
        encodeChannel(buffer.getBuffer(source), c, out, buffer.currCount);
    }
    logTrace(10, "<PCMCodec::encode()");
}

} // namespace sonabel
