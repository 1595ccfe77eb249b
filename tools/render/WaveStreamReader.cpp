#include "render/WaveStreamReader.h"

#include "core/AudioCodec.h"
#include "core/SampleBuffer.h"
#include "render/StreamSource.h"

#include <algorithm>
#include <cstring>

namespace sonabel {

namespace {

constexpr uint16_t tagPcm = 1;
constexpr uint16_t tagFloat = 3;
constexpr uint16_t tagExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_*: the format tag in the first two bytes, then this.
constexpr uint8_t subformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// libsndfile's integers are left-justified 32-bit values: s / 2^31.
constexpr double intScale = 1.0 / 2147483648.0;

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

const char* const endsInHeader = "the stream ends inside its WAVE header";

} // namespace

WaveStreamReader::WaveStreamReader(StreamSource& s) : source(s) {}

WaveStreamReader::~WaveStreamReader() { close(); }

bool WaveStreamReader::isWave(const std::vector<uint8_t>& head) {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
           std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

bool WaveStreamReader::readExactly(uint8_t* to, int64_t count, int64_t& got) {
    got = count > 0 ? source.read(to, count) : 0;
    return got == count;
}

bool WaveStreamReader::skipBytes(int64_t count) {
    uint8_t scrap[4096];
    while (count > 0) {
        int64_t got = 0;
        const int64_t n = std::min<int64_t>(count, sizeof scrap);
        if (!readExactly(scrap, n, got)) return false;
        count -= n;
    }
    return true;
}

bool WaveStreamReader::readHeader(std::string& error, bool& unsupported) {
    unsupported = false;
    close();
    uint8_t riff[12];
    int64_t got = 0;
    if (!readExactly(riff, sizeof riff, got)) {
        error = got == 0 ? "the stream is empty" : endsInHeader;
        return false;
    }
    if (!isWave(std::vector<uint8_t>(riff, riff + sizeof riff))) {
        error = "not a RIFF WAVE stream";
        return false;
    }
    bool haveFormat = false;
    uint16_t tag = 0, bits = 0;
    for (;;) {
        uint8_t chunk[8];
        if (!readExactly(chunk, sizeof chunk, got)) {
            error = got == 0 && haveFormat ? "the stream has no data chunk" : endsInHeader;
            return false;
        }
        const uint32_t size = get32(chunk + 4);
        const int64_t padded = (static_cast<int64_t>(size) + 1) & ~int64_t{1};
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            if (size < 16) {
                error = "its fmt chunk is too small";
                return false;
            }
            uint8_t record[40] = {};
            const int64_t take = std::min<int64_t>(size, sizeof record);
            if (!readExactly(record, take, got) || !skipBytes(padded - take)) {
                error = endsInHeader;
                return false;
            }
            tag = get16(record);
            format.channels = get16(record + 2);
            format.sampleRate = static_cast<float>(get32(record + 4));
            bits = get16(record + 14);
            if (tag == tagExtensible && take >= 40 && get16(record + 16) >= 22 &&
                std::memcmp(record + 26, subformatTail, sizeof subformatTail) == 0) {
                tag = get16(record + 24);
                format.extensible = true;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "its data chunk comes before the fmt chunk";
                return false;
            }
            // A writer that could not go back left 0 or 0xFFFFFFFF.
            dataLeft = size == 0 || size == 0xFFFFFFFF ? -1 : static_cast<int64_t>(size);
            claimedFrames = dataLeft >= 0 && dataLeft < StreamSource::guessedDataBytes ? dataLeft : -1;
            break;
        } else if (!skipBytes(padded)) {
            error = endsInHeader;
            return false;
        }
    }
    const bool pcm = tag == tagPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = tag == tagFloat && (bits == 32 || bits == 64);
    if ((!pcm && !floating) || format.channels < 1 || format.channels > SndFileFormat::maxChannels ||
        format.sampleRate <= 0.0f) {
        error = "a WAVE of format tag " + std::to_string(tag) + ", " + std::to_string(bits) + " bits, " +
                std::to_string(format.channels) + " channels, which is not read in order here";
        unsupported = true;
        return false;
    }
    format.container = SndFileFormat::Wave;
    format.floating = floating;
    format.bitsPerSample = floating ? 32 : bits;
    if (pcm && bits <= 16) {
        WaveFileFormat plain;
        plain.channels = format.channels;
        plain.sampleRate = format.sampleRate;
        plain.bitsPerSample = bits;
        codec = getCodecForFormat(plain);
    }
    // The stream's own sample size, for the bytes of a frame.
    frameBytes = format.channels * (bits / 8);
    if (claimedFrames > 0) claimedFrames /= frameBytes;
    opened = true;
    return true;
}

void WaveStreamReader::close() {
    delete codec;
    codec = nullptr;
    opened = false;
    started = false;
}

int32_t WaveStreamReader::available(int32_t frames) { return ended ? -1 : frames; }

void WaveStreamReader::decodeWide(int32_t n) {
    const size_t count = static_cast<size_t>(n) * static_cast<size_t>(format.channels);
    if (samples.size() < count) samples.resize(count);
    const uint8_t* in = bytes.data();
    const int width = frameBytes / format.channels;
    for (size_t i = 0; i < count; ++i, in += width) {
        if (format.floating && width == 4) {
            std::memcpy(&samples[i], in, 4);
        } else if (format.floating) {
            double d;
            std::memcpy(&d, in, 8);
            samples[i] = static_cast<float>(d);
        } else {
            // Left-justified in 32 bits, as libsndfile gives integers.
            const uint32_t u = width == 3 ? (static_cast<uint32_t>(in[0]) << 8 | static_cast<uint32_t>(in[1]) << 16 |
                                             static_cast<uint32_t>(in[2]) << 24)
                                          : get32(in);
            samples[i] = static_cast<float>(static_cast<int32_t>(u) * intScale);
        }
    }
}

int32_t WaveStreamReader::read(SampleBuffer& buffer, int32_t readPos, float srcFactor) {
    if (!opened || buffer.currCount <= 0) return 0;
    const int32_t n = buffer.currCount;
    int32_t result = n;
    if (readPos == lastPos && lastCount >= n) {
        result = std::min(result, lastReal);
    } else {
        const int64_t need = static_cast<int64_t>(n) * frameBytes;
        if (static_cast<int64_t>(bytes.size()) < need) bytes.resize(static_cast<size_t>(need));
        const int64_t want = dataLeft >= 0 ? std::min(need, dataLeft) : need;
        int64_t got = 0;
        if (!ended) readExactly(bytes.data(), want, got);
        if (dataLeft >= 0) dataLeft -= got;
        if (got < need) ended = true;
        const int64_t whole = got / frameBytes;
        if (readErrorFrame < 0 && (!source.getError().empty() || got % frameBytes != 0)) {
            readErrorFrame = framesRead + whole;
            readError = source.getError().empty() ? "the stream ends inside a frame" : source.getError();
        } else if (readErrorFrame < 0 && got < want && framesRead + whole < claimedFrames) {
            // Cut between two frames, short of what the header promised.
            readErrorFrame = framesRead + whole;
            readError = StreamSource::endsEarly(claimedFrames);
        }
        std::memset(bytes.data() + whole * frameBytes, format.bitsPerSample == 8 ? 0x80 : 0,
                    static_cast<size_t>(need - whole * frameBytes));
        framesRead += whole;
        position += static_cast<int32_t>(whole);
        result = static_cast<int32_t>(whole);
        lastPos = readPos;
        lastReal = result;
        if (!codec) decodeWide(n);
    }
    lastCount = n;
    if (codec) {
        codec->decode(bytes.data(), buffer, srcFactor);
        return result;
    }
    // As libsndfile's reader mixes: srcFactor 0 overwrites, anything else
    // adds; channels beyond the stream's copy channel 0 when overwriting,
    // else repeat the stream's channels.
    const int channels = format.channels;
    const size_t stride = static_cast<size_t>(channels);
    for (int c = 0; c < buffer.channelCount; ++c) {
        if (c >= channels && srcFactor == 0.0f) {
            buffer.copyChannel(0, c);
            continue;
        }
        const float* in = samples.data() + c % channels;
        float* out = buffer.getBuffer(c);
        if (srcFactor == 0.0f) {
            for (int f = 0; f < n; ++f) out[f] = in[static_cast<size_t>(f) * stride];
        } else {
            for (int f = 0; f < n; ++f) out[f] = in[static_cast<size_t>(f) * stride] * srcFactor + out[f];
        }
    }
    return result;
}

} // namespace sonabel
