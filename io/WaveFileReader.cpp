#include "io/WaveFileReader.h"

#include "core/AudioCodec.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

namespace sonabel {

namespace {

// Byte offsets are 32-bit: nothing beyond this is read.
constexpr int64_t maxFileBytes = INT32_MAX;

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// WAVE_FORMAT_EXTENSIBLE: the real encoding is the subformat GUID that
// follows cbSize, wValidBitsPerSample and dwChannelMask.
constexpr uint16_t tagPcm = 1;
constexpr uint16_t tagExtensible = 0xFFFE;
constexpr uint32_t extensibleBytes = 24;
// KSDATAFORMAT_SUBTYPE_*: the format tag in the first two bytes, then this.
constexpr uint8_t subformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

const char* tagName(uint16_t tag) {
    switch (tag) {
    case 0x0000: return "unknown";
    case 0x0001: return "PCM";
    case 0x0002: return "Microsoft ADPCM";
    case 0x0003: return "IEEE float";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG";
    case 0x0055: return "MPEG Layer 3";
    default: return "not a known encoding";
    }
}

} // namespace

WaveFileReader::WaveFileReader() : format(new WaveFileFormat) {
    logTrace(5, ">WaveFileReader::constructor() Object=%p", static_cast<void*>(this));
    close();
    logTrace(5, "<constructor");
}

WaveFileReader::~WaveFileReader() {
    logTrace(5, ">WaveFileReader::destructor() Object=%p", static_cast<void*>(this));
    close();
    delete format;
    logTrace(5, "<destructor");
}

bool WaveFileReader::seekTo(int64_t offset) {
    if (!file || offset < 0 || offset > maxFileBytes) return false;
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

int64_t WaveFileReader::tell() { return file ? static_cast<int64_t>(::ftello(file)) : 0; }

void WaveFileReader::open() {
    logTrace(3, ">WaveFileReader::open()");
    if (!getFileName()) {
        logError(1, "No filename set !!");
        logTrace(3, "<open");
        return;
    }
    if (file) close();
    file = std::fopen(getFileName(), "rb");
    struct stat info {};
    if (file && (::fstat(::fileno(file), &info) != 0 || S_ISDIR(info.st_mode))) {
        // Linux opens a directory for reading; it is no more a file for us
        // than for a system that refuses it.
        std::fclose(file);
        file = nullptr;
        errno = EISDIR;
    }
    if (!file) {
        // The reason after the name: "No such file or directory",
        // "Permission denied", "Is a directory".
        const int reason = errno;
        logError(1, "Unable to open file '%s': %s", getFileName(), std::strerror(reason));
        close();
        logTrace(3, "<open");
        return;
    }
    fileBuffer = new char[diskBlockBytes];
    std::setvbuf(file, fileBuffer, _IOFBF, diskBlockBytes);
    readRIFF();
    if (!formatSupported) {
        // Nothing of this file is played: keep the engine on a sane format.
        format->setDefaults();
        sampleCount = 0;
    }
    delete decoder;
    decoder = getCodecForFormat(*format);
    if (dataStart >= 0) seekTo(dataStart);
    // Drop what the walk left in the buffer: the first read of frames goes to
    // the disk, which may have changed since.
    std::fflush(file);
    logTrace(3, "<open");
}

void WaveFileReader::close() {
    logTrace(3, ">WaveFileReader::close()");
    delete decoder;
    decoder = nullptr;
    if (file) std::fclose(file);
    file = nullptr;
    delete[] fileBuffer;
    fileBuffer = nullptr;
    dataStart = -1;
    sampleCount = 0;
    position = 0;
    inBufferSize = 0;
    inBufferPos = 0;
    inBufferUsed = 0;
    inBufferReal = 0;
    started = false;
    delete[] inBuffer;
    inBuffer = nullptr;
    format->setDefaults();
    formatSupported = true;
    fileLength = 0;
    dataBytes = 0;
    readErrorFrame = -1;
    readError[0] = 0;
    logTrace(3, "<");
}

bool WaveFileReader::skipChunk(uint32_t size) {
    // Rounded up to even for the pad byte, in 64 bits so 0xFFFFFFFF does not
    // wrap to 0.
    const int64_t target = tell() + ((static_cast<int64_t>(size) + 1) & ~int64_t{1});
    if (target >= fileLength) {
        seekTo(fileLength);
        return false;
    }
    return seekTo(target);
}

void WaveFileReader::readRIFF() {
    logTrace(5, "WaveFileReader::readRIFF()");
    formatSupported = true;
    fileLength = 0;
    if (::fseeko(file, 0, SEEK_END) == 0) fileLength = static_cast<int64_t>(::ftello(file));
    if (fileLength < 0) fileLength = 0;
    const int64_t wholeLength = fileLength;
    if (fileLength > maxFileBytes) fileLength = maxFileBytes;
    seekTo(0);

    uint8_t header[12];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        logError(1, "WaveFileReader::readRIFF: could not read riff header\n");
        return;
    }
    if (FourCC(get32(header)) != FOURCC_RIFF) {
        logError(1, "WaveFileReader::readRIFF: wrong magic\n");
        return;
    }
    if (FourCC(get32(header + 8)) != FOURCC_WAVE) {
        logError(1, "WaveFileReader::readRIFF: wrong master key\n");
        return;
    }

    bool fmtFound = false;
    bool dataFound = false;
    while (!(fmtFound && dataFound) && tell() < fileLength) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, sizeof chunk, file) != sizeof chunk) {
            logError(1, "WaveFileReader::readRIFF: could not read chunk header\n");
            return;
        }
        const FourCC id(get32(chunk));
        const uint32_t size = get32(chunk + 4);
        if (id == FOURCC_FMT) {
            if (fmtFound) {
                logDebug(5, "WaveFileReader::readRIFF: multiple fmt chunks...");
                if (!skipChunk(size)) break;
            } else {
                readFormatChunk(size);
                fmtFound = true;
            }
        } else if (id == FOURCC_DATA) {
            if (!fmtFound) {
                logError(1, "WaveFileReader::readRIFF: data before fmt chunk");
                return;
            }
            dataStart = static_cast<int32_t>(tell());
            const int64_t present = fileLength - dataStart;
            const int64_t wholePresent = wholeLength - dataStart;
            dataBytes = static_cast<int64_t>(size) < wholePresent ? static_cast<int64_t>(size) : wholePresent;
            const int bytesPerFrame = format->getBytesPerFrame();
            if (!formatSupported || bytesPerFrame <= 0) {
                sampleCount = 0;
            } else if (static_cast<int64_t>(size) > present) {
                logDebug(5, "WaveFileReader::readRIFF: chunksize is too long. Adapting sample count");
                sampleCount = static_cast<int32_t>(present / bytesPerFrame);
            } else {
                sampleCount = static_cast<int32_t>(static_cast<int64_t>(size) / bytesPerFrame);
            }
            dataFound = true;
        } else if (!skipChunk(size)) {
            break;
        }
    }
    if (!fmtFound)
        logError(1, "No fmt chunk found !");
    else if (!dataFound)
        logError(1, "No data chunk found !");
}

bool WaveFileReader::readFormatChunk(uint32_t size) {
    logTrace(6, ">WaveFileReader::readFormatChunk()");
    bool ok = false;
    uint8_t bytes[WaveFormatRecord::size];
    if (size < WaveFormatRecord::size) {
        logError(1, "WaveFileReader::readFormatChunk: fmt chunk too small\n");
        skipChunk(size);
    } else if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
        logError(1, "WaveFileReader::readFormatChunk: could not read format\n");
    } else {
        const WaveFormatRecord record = WaveFormatRecord::fromBytes(bytes);
        format->fromWaveFormat(record);
        char what[96];
        // One report for the file instead of one per decoded sample: A-law,
        // float or MP3 bytes decoded as PCM are noise, a frame size of 0
        // cannot be divided by, and a rate of 0 makes a file no one can play.
        if (!isPcm(record.formatTag, size - WaveFormatRecord::size, what, sizeof what)) {
            logError(1, "WaveFileReader::readFormatChunk: unsupported format tag 0x%04X (%s)", record.formatTag, what);
            formatSupported = false;
        } else if (!format->isSupported()) {
            logError(1, "WaveFileReader::readFormatChunk: unsupported format (%d channels, %d bits per sample)",
                     format->channels, format->bitsPerSample);
            formatSupported = false;
        } else if (record.samplesPerSec == 0) {
            logError(1, "WaveFileReader::readFormatChunk: unsupported format (sample rate 0 Hz)");
            formatSupported = false;
        }
        skipChunk(size - WaveFormatRecord::size);
        ok = true;
    }
    logTrace(6, "<");
    return ok;
}

bool WaveFileReader::isPcm(uint16_t tag, uint32_t extra, char* what, size_t capacity) {
    if (tag == tagPcm) return true;
    if (tag != tagExtensible) {
        std::snprintf(what, capacity, "%s", tagName(tag));
        return false;
    }
    uint8_t ext[extensibleBytes];
    const int64_t here = tell();
    const bool complete = extra >= extensibleBytes && std::fread(ext, 1, sizeof ext, file) == sizeof ext;
    seekTo(here); // the caller skips the rest of the chunk from here
    if (!complete || (ext[0] | (ext[1] << 8)) < static_cast<int>(extensibleBytes - 2)) {
        std::snprintf(what, capacity, "extensible, without its subformat");
        return false;
    }
    const uint8_t* guid = ext + 8;
    const uint16_t subformat = static_cast<uint16_t>(guid[0] | (guid[1] << 8));
    const bool known = std::memcmp(guid + 2, subformatTail, sizeof subformatTail) == 0;
    if (known && subformat == tagPcm) return true;
    std::snprintf(what, capacity, "extensible, subformat %s", known ? tagName(subformat) : "not a known encoding");
    return false;
}

int32_t WaveFileReader::available(int32_t frames) {
    const int32_t left = sampleCount - position;
    if (frames < left) return frames;
    return left <= 0 ? -1 : left;
}

int32_t WaveFileReader::setPosition(int32_t frame) {
    if (frame < 0) frame = 0;
    if (frame > getLength()) frame = getLength();
    position = frame;
    if (file && dataStart >= 0)
        seekTo(static_cast<int64_t>(dataStart) + static_cast<int64_t>(frame) * format->getBytesPerFrame());
    return frame;
}

int32_t WaveFileReader::skip(int32_t frames) {
    // In 64 bits: position + frames must not overflow before the clamp.
    const int64_t target = static_cast<int64_t>(position) + frames;
    return setPosition(target < 0 ? 0 : (target > INT32_MAX ? INT32_MAX : static_cast<int32_t>(target)));
}

int32_t WaveFileReader::read(SampleBuffer& buffer, int32_t readPos, float srcFactor) {
    logTrace(10, ">WaveFileReader::read(buffer(%d samples, %d channels), %d pos, %f srcFactor)", buffer.currCount,
             buffer.channelCount, readPos, static_cast<double>(srcFactor));
    if (!isOpen()) {
        logError(3, "read: error: file not opened");
        logTrace(10, "<");
        return 0;
    }
    if (buffer.currCount <= 0) {
        logTrace(10, "<");
        return 0;
    }
    const int bytesPerFrame = format->getBytesPerFrame();
    const int64_t bytesToRead = static_cast<int64_t>(bytesPerFrame) * buffer.currCount;
    int32_t result = buffer.currCount;

    if (readPos == inBufferPos && inBufferUsed >= buffer.currCount) {
        logDebug(3, "WaveFileReader::read : copying again the last buffer");
        logDebug(-1,
                 "WaveFileReader::read : copying again the last buffer. ReadPos=%d inBufferPos=%d inBufferUsed=%d "
                 "bytesToRead=%lld",
                 readPos, inBufferPos, inBufferUsed, static_cast<long long>(bytesToRead));
        // The repeat counts what the first delivery counted, not the silence.
        if (inBufferReal < result) result = inBufferReal;
    } else {
        if (bytesToRead > INT32_MAX) {
            logError(3, "read: error: chunk of %d frames is too large", buffer.currCount);
            logTrace(10, "<");
            return 0;
        }
        if (inBufferSize < bytesToRead) {
            delete[] inBuffer;
            inBuffer = new uint8_t[static_cast<size_t>(bytesToRead)];
            inBufferSize = static_cast<int32_t>(bytesToRead);
        }
        inBufferPos = readPos;
        uint8_t* fill = inBuffer;
        int32_t remaining = buffer.currCount;
        bool diskOk = true;
        while (remaining > 0) {
            // A looping reader that stands at the end (looping was switched on
            // late, or it was moved there) starts again rather than going silent.
            if (looping && sampleCount > 0 && position >= sampleCount) setPosition(0);
            const int32_t n = available(remaining);
            if (n <= 0 || !diskOk) {
                logDebug(7, "read: providing %d frames silence.", remaining);
                std::memset(fill, format->getBitsPerSample() == 8 ? 0x80 : 0,
                            static_cast<size_t>(remaining) * static_cast<size_t>(bytesPerFrame));
                result -= remaining;
                break;
            }
            const int32_t got = static_cast<int32_t>(
                std::fread(fill, static_cast<size_t>(bytesPerFrame), static_cast<size_t>(n), file));
            if (got < n) {
                if (readErrorFrame < 0) {
                    // Kept for a caller that must not take the silence for
                    // the file's contents.
                    readErrorFrame = position + got;
                    std::snprintf(readError, sizeof readError, "%s",
                                  std::ferror(file) ? std::strerror(errno) : "unexpected end of file");
                }
                logDebug(3, "while reading from disk. Only %d frames read instead of %d", got, n);
                logDebug(5, "Pos=%d, this=%p.", static_cast<int>(tell()), static_cast<void*>(this));
                diskOk = false;
                std::clearerr(file);
            }
            position += got;
            remaining -= got;
            fill += static_cast<int64_t>(got) * bytesPerFrame;
            if (!diskOk) {
                // A partial frame may have been consumed: put the file back on
                // the frame the position names, so the next read is aligned.
                setPosition(position);
            }
            if (looping && position >= sampleCount) setPosition(0);
        }
        inBufferReal = result;
    }

    if (decoder) {
        decoder->decode(inBuffer, buffer, srcFactor);
        inBufferUsed = buffer.currCount;
    } else {
        logError(3, "read: error: no decoder. Filling with Silence.");
        inBufferUsed = 0;
    }
    logTrace(10, "<");
    return result;
}

} // namespace sonabel
