#include "render/WaveStreamWriter.h"

#include "core/AudioCodec.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "render/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sonabel {

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

} // namespace

WaveStreamWriter::WaveStreamWriter(int descriptor) : fd(descriptor) {}

WaveStreamWriter::~WaveStreamWriter() { delete encoder; }

void WaveStreamWriter::setAudioFormat(const AudioFormat& newFormat) {
    if (opened && !format.isSame(newFormat)) {
        logError(2, "WaveStreamWriter::setAudioFormat: Cannot change AudioFormat while open");
        return;
    }
    format.copyFrom(newFormat);
}

bool WaveStreamWriter::writeAll(const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (!writeError[0]) {
                std::snprintf(writeError, sizeof writeError, "%s", std::strerror(put < 0 ? errno : EIO));
                logError(1, "error: could not write to '%s': %s", name.c_str(), writeError);
            }
            return false;
        }
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

void WaveStreamWriter::open() {
    if (!format.isSupported()) {
        logError(1, "WaveStreamWriter::open: unsupported format (%d channels, %d bits per sample)", format.channels,
                 format.bitsPerSample);
        return;
    }
    writeError[0] = 0;
    written = 0;
    clipped = 0;
    position = 0;
    // Sizes a header can state: the data and the RIFF body below 4 GB.
    const int64_t dataBytes = expectedFrames >= 0 ? expectedFrames * format.getBytesPerFrame() : -1;
    const bool known = dataBytes >= 0 && dataBytes + headerSize - 8 + 1 < int64_t{unknownSize};
    uint8_t h[headerSize];
    put32(h, FOURCC_RIFF.value);
    put32(h + 4, known ? static_cast<uint32_t>(((dataBytes + 1) & ~int64_t{1}) + headerSize - 8) : unknownSize);
    put32(h + 8, FOURCC_WAVE.value);
    put32(h + 12, FOURCC_FMT.value);
    put32(h + 16, WaveFormatRecord::size);
    format.toWaveFormat().toBytes(h + 20);
    put32(h + 36, FOURCC_DATA.value);
    put32(h + 40, known ? static_cast<uint32_t>(dataBytes) : unknownSize);
    if (!writeAll(h, sizeof h)) return;
    delete encoder;
    encoder = getCodecForFormat(format);
    opened = true;
}

void WaveStreamWriter::close() {
    if (opened && !writeError[0] && (written * format.getBytesPerFrame()) % 2 != 0) {
        const uint8_t pad = 0;
        writeAll(&pad, 1);
    }
    opened = false;
}

void WaveStreamWriter::write(SampleBuffer& buffer) {
    if (!opened || !encoder || buffer.currCount <= 0 || writeError[0]) return;
    started = true;
    const size_t frameBytes = static_cast<size_t>(format.getBytesPerFrame());
    const size_t count = frameBytes * static_cast<size_t>(buffer.currCount);
    if (bytes.size() < count) bytes.resize(count);
    clipped += OutputFile::countClipped(buffer, format.channels, format.bitsPerSample);
    encoder->encode(buffer, bytes.data());
    if (writeAll(bytes.data(), count)) {
        written += buffer.currCount;
        position += buffer.currCount;
    }
}

} // namespace sonabel
