#include "io/WaveFileFormat.h"

#include "core/Log.h"
#include "core/PCMCodec.h"

#include <cmath>
#include <cstdint>

namespace sonabel {

namespace {

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xff);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

template <typename T> T clampTo(int64_t v) {
    constexpr int64_t top = static_cast<int64_t>(static_cast<T>(~T{0}));
    return static_cast<T>(v < 0 ? 0 : (v > top ? top : v));
}

} // namespace

WaveFormatRecord WaveFormatRecord::fromBytes(const uint8_t* bytes) {
    WaveFormatRecord r;
    r.formatTag = get16(bytes);
    r.channels = get16(bytes + 2);
    r.samplesPerSec = get32(bytes + 4);
    r.avgBytesPerSec = get32(bytes + 8);
    r.blockAlign = get16(bytes + 12);
    r.bitsPerSample = get16(bytes + 14);
    return r;
}

void WaveFormatRecord::toBytes(uint8_t* bytes) const {
    put16(bytes, formatTag);
    put16(bytes + 2, channels);
    put32(bytes + 4, samplesPerSec);
    put32(bytes + 8, avgBytesPerSec);
    put16(bytes + 12, blockAlign);
    put16(bytes + 14, bitsPerSample);
}

void WaveFileFormat::setEncoding(FourCC encoding) {
    if (encoding == ENCODING_PCM) return;
    logError(1, "WaveFileFormat::setEncoding: wrong encoding \"%s\" !", encoding.toText().c_str());
}

void WaveFileFormat::fromWaveFormat(const WaveFormatRecord& record) {
    channels = record.channels;
    sampleRate = static_cast<float>(record.samplesPerSec);
    bitsPerSample = record.bitsPerSample;
}

WaveFormatRecord WaveFileFormat::toWaveFormat() const {
    WaveFormatRecord r;
    r.formatTag = 1;
    r.channels = clampTo<uint16_t>(channels);
    // Truncated to whole Hz; a rate that is not a number or out of range
    // must not reach an out-of-range float conversion.
    double rate = std::isfinite(sampleRate) ? std::trunc(static_cast<double>(sampleRate)) : 0.0;
    r.samplesPerSec = rate <= 0.0 ? 0u : (rate >= 4294967295.0 ? 0xffffffffu : static_cast<uint32_t>(rate));
    r.blockAlign = clampTo<uint16_t>(static_cast<int64_t>(getBytesPerFrame()));
    r.avgBytesPerSec = clampTo<uint32_t>(static_cast<int64_t>(r.blockAlign) * r.samplesPerSec);
    r.bitsPerSample = clampTo<uint16_t>(bitsPerSample);
    return r;
}

void WaveFileFormat::setDefaults() {
    channels = 2;
    sampleRate = 44100.0f;
    bitsPerSample = 16;
}

int WaveFileFormat::getBytesPerFrame() const {
    if (channels <= 0 || bitsPerSample <= 0) return 0;
    int64_t bytes = static_cast<int64_t>(bitsPerSample) * channels / 8;
    return bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes);
}

bool WaveFileFormat::isSupported() const {
    return (bitsPerSample == 8 || bitsPerSample == 16) && channels >= 1 && channels <= maxChannels;
}

AudioCodec* getCodecForFormat(const WaveFileFormat& format) {
    return getAudioCodec(format.getEncoding(), format.getBitsPerSample(), format.isBigEndian(), format.isSigned(),
                         format.channels);
}

} // namespace sonabel
