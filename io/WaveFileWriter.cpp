#include "io/WaveFileWriter.h"

#include "core/AudioCodec.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"

#include <cerrno>
#include <cstring>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sonabel {

namespace {

// The file, header and pad byte included, stays within 32-bit offsets.
constexpr int64_t maxFileBytes = INT32_MAX;

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

// Sets the file's length; growing it adds zeros without writing them.
bool setFileLength(std::FILE* file, int64_t length) {
    std::fflush(file);
#ifdef _WIN32
    return ::_chsize_s(::_fileno(file), length) == 0;
#else
    return ::ftruncate(::fileno(file), static_cast<off_t>(length)) == 0;
#endif
}

} // namespace

WaveFileWriter::WaveFileWriter() : format(new WaveFileFormat) {
    logTrace(5, ">WaveFileWriter::constructor() Object=%p", static_cast<void*>(this));
    close();
    logTrace(5, "<constructor");
}

WaveFileWriter::~WaveFileWriter() {
    logTrace(5, ">WaveFileWriter::destructor() Object=%p", static_cast<void*>(this));
    close();
    delete format;
    logTrace(5, "<destructor");
}

void WaveFileWriter::setBitsPerSample(int bits) {
    if (file && bits != format->bitsPerSample) {
        logError(2, "WaveFileWriter::setBitsPerSample: Cannot change bits per sample while open");
        return;
    }
    format->setBitsPerSample(bits);
}

void WaveFileWriter::setAudioFormat(const AudioFormat& newFormat) {
    if (file && !format->isSame(newFormat)) {
        logError(2, "WaveFileWriter::setAudioFormat: Cannot change AudioFormat while open");
        return;
    }
    format->copyFrom(newFormat);
}

bool WaveFileWriter::writeHeader(uint32_t n) {
    if (!file) return false;
    uint8_t h[headerSize];
    const uint32_t riffSize = static_cast<uint32_t>(((static_cast<uint64_t>(n) + 1) & ~uint64_t{1}) + 36);
    put32(h, FOURCC_RIFF.value);
    put32(h + 4, riffSize);
    put32(h + 8, FOURCC_WAVE.value);
    put32(h + 12, FOURCC_FMT.value);
    put32(h + 16, WaveFormatRecord::size);
    format->toWaveFormat().toBytes(h + 20);
    put32(h + 36, FOURCC_DATA.value);
    put32(h + 40, n);
    if (::fseeko(file, 0, SEEK_SET) != 0) return false;
    if (std::fwrite(h, 1, sizeof h, file) != sizeof h) return false;
    headerDataSize = n;
    return true;
}

void WaveFileWriter::open() {
    logTrace(3, ">WaveFileWriter::open()");
    if (!getFileName()) {
        logError(1, "No filename set !!");
        logTrace(3, "<");
        return;
    }
    close();
    if (!format->isSupported()) {
        // Checked before the file is created, so an existing file survives.
        logError(1, "WaveFileWriter::open: unsupported format (%d channels, %d bits per sample)", format->channels,
                 format->bitsPerSample);
        logTrace(3, "<");
        return;
    }
    file = std::fopen(getFileName(), "wb");
    if (!file) {
        logError(1, "error: could not create file '%s'", getFileName());
        close();
        logTrace(3, "<");
        return;
    }
    // Unbuffered: every chunk reaches the kernel when write returns (a killed
    // process keeps it) and a full disk shows in the count written.
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (!writeHeader(placeholderDataSize)) {
        // Not even the header fits: nothing could be recorded.
        const int reason = errno;
        std::fclose(file);
        file = nullptr;
        logError(1, "error: could not create file '%s': %s", getFileName(), std::strerror(reason));
        close();
        logTrace(3, "<");
        return;
    }
    writeError[0] = 0;
    dataStart = headerSize;
    pendingBytes = 0;
    sampleCount = 0;
    position = 0;
    fullReported = false;
    delete encoder;
    encoder = getCodecForFormat(*format);
    logTrace(3, "<");
}

void WaveFileWriter::close() {
    logTrace(3, ">WaveFileWriter::close()");
    flush(); // a short write is reported and leaves the length at what is on disk
    delete encoder;
    encoder = nullptr;
    if (file) {
        const int64_t n = static_cast<int64_t>(format->getBytesPerFrame()) * sampleCount;
        // The length names the data and its pad byte exactly: a frame the
        // disk took only part of goes, and the pad needs no free block (a
        // full disk can still complete the file).
        errno = 0;
        bool ok = setFileLength(file, dataStart + n + (n & 1));
        ok = writeHeader(static_cast<uint32_t>(n)) && ok;
        const int reason = errno;
        ok = std::fclose(file) == 0 && ok;
        file = nullptr;
        if (!ok)
            logError(1, "error: could not complete file '%s': %s", getFileName(),
                     std::strerror(reason ? reason : errno));
    }
    dataStart = -1;
    sampleCount = 0;
    position = 0;
    started = false;
    delete[] outBuffer;
    outBuffer = nullptr;
    outBufferSize = 0;
    headerDataSize = 0;
    pendingBytes = 0;
    logTrace(3, "<");
}

int32_t WaveFileWriter::setPosition(int32_t frame) {
    flush(); // pending frames belong where they were written
    if (frame < 0) frame = 0;
    if (frame > sampleCount) frame = sampleCount;
    position = frame;
    if (file && dataStart >= 0)
        ::fseeko(file, static_cast<off_t>(dataStart + static_cast<int64_t>(frame) * format->getBytesPerFrame()),
                 SEEK_SET);
    return frame;
}

void WaveFileWriter::setBatched(bool on) {
    if (!on) flush();
    batched = on;
}

bool WaveFileWriter::flush() {
    if (!file || pendingBytes <= 0) return true;
    const int bytesPerFrame = format->getBytesPerFrame();
    const size_t want = static_cast<size_t>(pendingBytes);
    pendingBytes = 0;
    errno = 0;
    const size_t got = std::fwrite(outBuffer, 1, want, file);
    if (got == want) return true;
    const int reason = errno;
    const int32_t gotFrames = static_cast<int32_t>(got / static_cast<size_t>(bytesPerFrame));
    position = pendingStart + gotFrames;
    sampleCount = position > pendingBase ? position.load() : pendingBase;
    reportShortWrite(reason);
    logError(3, "write: error: only %d frames instead %d frames written to disk", gotFrames,
             static_cast<int32_t>(want / static_cast<size_t>(bytesPerFrame)));
    return false;
}

void WaveFileWriter::reportShortWrite(int reason) {
    std::clearerr(file);
    if (!writeError[0]) {
        std::snprintf(writeError, sizeof writeError, "%s", std::strerror(reason ? reason : EIO));
        logError(1, "error: could not write file '%s': %s", getFileName(), writeError);
    }
    // The disk may have taken part of a frame: the next write starts on the
    // frame the position names.
    ::fseeko(file, static_cast<off_t>(dataStart + static_cast<int64_t>(position) * format->getBytesPerFrame()),
             SEEK_SET);
}

int32_t WaveFileWriter::skip(int32_t frames) {
    const int64_t target = static_cast<int64_t>(position) + frames;
    return setPosition(target < 0 ? 0 : (target > INT32_MAX ? INT32_MAX : static_cast<int32_t>(target)));
}

void WaveFileWriter::write(SampleBuffer& buffer) {
    logTrace(10, ">WaveFileWriter::write(buffer(%d samples, %d channels)", buffer.currCount, buffer.channelCount);
    if (!isOpen()) {
        logError(3, "write: error: file not opened");
        logTrace(10, "<");
        return;
    }
    if (buffer.currCount <= 0) {
        logTrace(10, "<");
        return;
    }
    if (!encoder) {
        logError(3, "write: error: no encoder");
        logTrace(10, "<");
        return;
    }
    started = true;
    const int bytesPerFrame = format->getBytesPerFrame();
    const int64_t bytes = static_cast<int64_t>(bytesPerFrame) * buffer.currCount;
    if (bytes > maxFileBytes) {
        // No chunk of that size fits a file at all.
        logError(3, "write: error: only %d frames instead %d frames written to disk", 0, buffer.currCount);
        logTrace(10, "<");
        return;
    }
    const int64_t room = maxFileBytes - 1 - dataStart - static_cast<int64_t>(position) * bytesPerFrame;
    int32_t frames = buffer.currCount;
    if (bytes > room) {
        frames = static_cast<int32_t>(room > 0 ? room / bytesPerFrame : 0);
        if (!fullReported) {
            logError(1, "error: file '%s' has reached 2 GB; the rest of the recording is not written", getFileName());
            fullReported = true;
        }
    }
    // A block holds whole chunks: 64 KiB rounded up to a multiple of this one.
    // Pending frames go out first when this chunk does not fit after them, or
    // when a chunk of another size needs a larger block.
    bool gather = batched && !writeError[0];
    int64_t capacity = gather ? (batchBytes + bytes - 1) / bytes * bytes : bytes;
    if (gather && pendingBytes > 0 && (pendingBytes + bytes > outBufferSize || capacity > outBufferSize)) {
        flush();
        gather = !writeError[0];
        if (!gather) capacity = bytes;
    }
    if (outBufferSize < capacity) {
        // Never with frames pending: those were flushed above.
        delete[] outBuffer;
        outBuffer = new uint8_t[static_cast<size_t>(capacity)];
        outBufferSize = static_cast<int32_t>(capacity);
    }
    if (gather) {
        encoder->encode(buffer, outBuffer + pendingBytes);
        if (pendingBytes == 0) {
            pendingStart = position;
            pendingBase = sampleCount;
        }
        pendingBytes += frames * bytesPerFrame;
        position += frames;
        if (position > sampleCount) sampleCount = position;
        // Full when the next chunk of this size would not fit.
        if (pendingBytes + bytes > outBufferSize) flush();
    } else {
        encoder->encode(buffer, outBuffer);
        int32_t got = 0;
        errno = 0;
        if (frames > 0)
            got = static_cast<int32_t>(
                std::fwrite(outBuffer, static_cast<size_t>(bytesPerFrame), static_cast<size_t>(frames), file));
        const int reason = errno;
        position += got;
        if (position > sampleCount) sampleCount = position;
        if (got < frames) reportShortWrite(reason);
        if (got != frames)
            logError(3, "write: error: only %d frames instead %d frames written to disk", got, buffer.currCount);
    }

    const int64_t dataBytes = static_cast<int64_t>(sampleCount) * bytesPerFrame;
    if (dataBytes > headerDataSize && flush()) {
        // Past the placeholder: claim the most a file may hold, so the length
        // is still taken from the bytes present if we never get to close.
        const int64_t most = (maxFileBytes - 1 - dataStart) / bytesPerFrame * bytesPerFrame;
        const int64_t here = static_cast<int64_t>(position) * bytesPerFrame + dataStart;
        writeHeader(static_cast<uint32_t>(most));
        ::fseeko(file, static_cast<off_t>(here), SEEK_SET);
    }
    logTrace(10, "<");
}

} // namespace sonabel
