#include "io/SndFileReader.h"

#include "core/Log.h"
#include "core/SampleBuffer.h"

#include "io/SndFileLibrary.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace sonabel {

namespace {

// libsndfile's integers are left-justified 32-bit values whatever the
// sample size: s / 2^31 is the sample over 2^(b-1) for every b.
constexpr double intScale = 1.0 / 2147483648.0;

// "System error : No such file or directory." -> "No such file or directory",
// as the system says it elsewhere in the log.
void plainReason(const char* text, char* out, size_t capacity) {
    for (const char* head : {"System error : ", "Error : "})
        if (std::strncmp(text, head, std::strlen(head)) == 0) text += std::strlen(head);
    std::snprintf(out, capacity, "%s", text);
    const size_t n = std::strlen(out);
    if (n > 0 && out[n - 1] == '.') out[n - 1] = 0;
}

bool isFloatFile(int word) {
    const int subtype = word & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE || subtype == SF_FORMAT_VORBIS ||
           subtype == SF_FORMAT_OPUS;
}

} // namespace

SndFileReader::SndFileReader() : format(new SndFileFormat) {
    logTrace(5, ">SndFileReader::constructor() Object=%p", static_cast<void*>(this));
    close();
    logTrace(5, "<constructor");
}

SndFileReader::~SndFileReader() {
    logTrace(5, ">SndFileReader::destructor() Object=%p", static_cast<void*>(this));
    close();
    delete format;
    logTrace(5, "<destructor");
}

void SndFileReader::open() {
    logTrace(3, ">SndFileReader::open()");
    if (!getFileName()) {
        logError(1, "No filename set !!");
        logTrace(3, "<open");
        return;
    }
    if (source && file) return; // a stream is opened once, by openStream
    if (file) close();
    char reason[128];
    struct stat info {};
    SF_INFO sfInfo{};
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    if (!sndfile.load()) {
        // The loader has told the user why.
        logError(2, "SndFileReader::open: no libsndfile to read '%s' with", getFileName());
        logTrace(3, "<open");
        return;
    }
    if (::stat(getFileName(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::snprintf(reason, sizeof reason, "%s", std::strerror(EISDIR));
    } else {
        file = sndfile.open(getFileName(), SFM_READ, &sfInfo);
        if (!file) plainReason(sndfile.strerror(nullptr), reason, sizeof reason);
    }
    if (!file) {
        logError(1, "Unable to open file '%s': %s", getFileName(), reason);
        close();
        logTrace(3, "<open");
        return;
    }
    takeInfo(sfInfo.format, sfInfo.channels, sfInfo.samplerate, sfInfo.frames);
    logTrace(3, "<open");
}

bool SndFileReader::takeInfo(int sndFileFormat, int channels, int rate, int64_t frames) {
    if (channels < 1 || channels > SndFileFormat::maxChannels || rate <= 0) {
        // The engine holds at most that many channels in a chunk.
        logError(1, "Unable to open file '%s': unsupported format (%d channels, %d Hz)", getFileName(), channels,
                 rate);
        close();
        return false;
    }
    format->fromSndFile(sndFileFormat);
    format->channels = channels;
    format->sampleRate = static_cast<float>(rate);
    // A stream's header may say 0, a guess or nothing: it is read to its end.
    frameCount = source ? INT32_MAX : (frames < 0 ? 0 : frames);
    sampleCount = frameCount > INT32_MAX ? INT32_MAX : static_cast<int32_t>(frameCount);
    return true;
}

void SndFileReader::openStream(Source* stream) {
    logTrace(3, ">SndFileReader::openStream()");
    if (file) close();
    if (!stream) {
        logError(1, "No stream given !!");
        return;
    }
    if (!getFileName()) setFileName("stream");
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    if (!sndfile.load()) {
        logError(2, "SndFileReader::openStream: no libsndfile to read '%s' with", getFileName());
        logTrace(3, "<openStream");
        return;
    }
    SF_VIRTUAL_IO io{};
    // libsndfile asks the length to bound what a header claims; a stream's is
    // unknown, so no claim is cut short.
    io.get_filelen = [](void*) -> sf_count_t { return INT64_MAX / 4; };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        return static_cast<Source*>(user)->seek(offset, whence);
    };
    io.read = [](void* to, sf_count_t count, void* user) -> sf_count_t {
        return static_cast<Source*>(user)->read(to, count);
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) -> sf_count_t { return static_cast<Source*>(user)->tell(); };
    SF_INFO sfInfo{};
    source = stream;
    file = sndfile.openVirtual(&io, SFM_READ, &sfInfo, stream);
    if (!file) {
        char reason[128];
        plainReason(sndfile.strerror(nullptr), reason, sizeof reason);
        logError(1, "Unable to open file '%s': %s", getFileName(), reason);
        close();
        logTrace(3, "<openStream");
        return;
    }
    if (!takeInfo(sfInfo.format, sfInfo.channels, sfInfo.samplerate, sfInfo.frames)) {
        logTrace(3, "<openStream");
        return;
    }
    headerFrames = sfInfo.frames;
    if ((sfInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) {
        // libsndfile's log holds 2048 bytes; what the header left there is
        // not the decoder's.
        decoderLog.assign(4096, 0);
        decoderLogSeen = static_cast<size_t>(
            sndfile.command(file, SFC_GET_LOG_INFO, decoderLog.data(), static_cast<int>(decoderLog.size())));
    }
    logTrace(3, "<openStream");
}

void SndFileReader::close() {
    logTrace(3, ">SndFileReader::close()");
    if (file) SndFileLibrary::instance().close(file);
    file = nullptr;
    source = nullptr;
    sampleCount = 0;
    frameCount = 0;
    position = 0;
    inBufferPos = 0;
    inBufferUsed = 0;
    inBufferReal = 0;
    started = false;
    // Given back: a reader that is closed holds no chunk-sized memory.
    std::vector<float>().swap(inBuffer);
    std::vector<int32_t>().swap(rawBuffer);
    format->setDefaults();
    readErrorFrame = -1;
    readError[0] = 0;
    headerFrames = 0;
    std::vector<char>().swap(decoderLog);
    decoderLogSeen = 0;
    logTrace(3, "<");
}

void SndFileReader::checkDecoderLog(int32_t from, int32_t to) {
    if (decoderLog.empty() || readErrorFrame >= 0) return;
    const int length =
        SndFileLibrary::instance().command(file, SFC_GET_LOG_INFO, decoderLog.data(), static_cast<int>(decoderLog.size()));
    if (length <= static_cast<int>(decoderLogSeen)) return;
    const char* fresh = decoderLog.data() + decoderLogSeen;
    decoderLogSeen = static_cast<size_t>(length);
    // "ERROR : FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC" (a frame it
    // skipped), as libsndfile's own text says it: "flac decoder lost sync".
    static const char status[] = "ERROR : FLAC__STREAM_DECODER_ERROR_STATUS_";
    if (const char* line = std::strstr(fresh, status)) {
        line += sizeof status - 1;
        size_t n = std::strcspn(line, "\n");
        char words[64];
        if (n >= sizeof words) n = sizeof words - 1;
        for (size_t k = 0; k < n; ++k)
            words[k] = line[k] == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(line[k])));
        words[n] = 0;
        if (char* crc = std::strstr(words, "crc")) std::memcpy(crc, "CRC", 3);
        readErrorFrame = from;
        std::snprintf(readError, sizeof readError, "flac decoder %s", words);
        return;
    }
    // The stream ended inside a frame: the decoder gives up on it.
    if (std::strstr(fresh, "FLAC__stream_decoder_process_single returned false")) {
        readErrorFrame = to;
        std::snprintf(readError, sizeof readError, "the stream ends inside a frame");
    }
}

int32_t SndFileReader::available(int32_t frames) {
    const int32_t left = sampleCount - position;
    if (frames < left) return frames;
    return left <= 0 ? -1 : left;
}

int32_t SndFileReader::setPosition(int32_t frame) {
    if (frame < 0) frame = 0;
    if (frame > getLength()) frame = getLength();
    if (source) return position;
    position = frame;
    if (file) SndFileLibrary::instance().seek(file, frame, SEEK_SET);
    return frame;
}

int32_t SndFileReader::skip(int32_t frames) {
    const int64_t target = static_cast<int64_t>(position) + frames;
    return setPosition(target < 0 ? 0 : (target > INT32_MAX ? INT32_MAX : static_cast<int32_t>(target)));
}

int32_t SndFileReader::readFrames(int32_t at, int32_t n) {
    const size_t channels = static_cast<size_t>(format->channels);
    float* out = inBuffer.data() + static_cast<size_t>(at) * channels;
    if (isFloatFile(format->sndFileFormat)) return static_cast<int32_t>(SndFileLibrary::instance().readfFloat(file, out, n));
    const int32_t got = static_cast<int32_t>(SndFileLibrary::instance().readfInt(file, rawBuffer.data(), n));
    const size_t count = static_cast<size_t>(got) * channels;
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<float>(rawBuffer[i] * intScale);
    return got;
}

int32_t SndFileReader::read(SampleBuffer& buffer, int32_t readPos, float srcFactor) {
    logTrace(10, ">SndFileReader::read(buffer(%d samples, %d channels), %d pos, %f srcFactor)", buffer.currCount,
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
    const int channels = format->channels;
    int32_t result = buffer.currCount;
    if (readPos == inBufferPos && inBufferUsed >= buffer.currCount) {
        logDebug(3, "SndFileReader::read : copying again the last buffer");
        if (inBufferReal < result) result = inBufferReal;
    } else {
        const size_t samples = static_cast<size_t>(buffer.currCount) * static_cast<size_t>(channels);
        if (inBuffer.size() < samples) inBuffer.resize(samples);
        if (!isFloatFile(format->sndFileFormat) && rawBuffer.size() < samples) rawBuffer.resize(samples);
        inBufferPos = readPos;
        int32_t filled = 0;
        bool diskOk = true;
        while (filled < buffer.currCount) {
            const int32_t remaining = buffer.currCount - filled;
            // A looping reader that stands at the end starts again.
            if (looping && !source && sampleCount > 0 && position >= sampleCount) setPosition(0);
            const int32_t n = available(remaining);
            if (n <= 0 || !diskOk) {
                logDebug(7, "read: providing %d frames silence.", remaining);
                std::memset(inBuffer.data() + static_cast<size_t>(filled) * static_cast<size_t>(channels), 0,
                            static_cast<size_t>(remaining) * static_cast<size_t>(channels) * sizeof(float));
                result -= remaining;
                break;
            }
            const int32_t got = readFrames(filled, n);
            if (source) checkDecoderLog(position, position + (got < 0 ? 0 : got));
            if (got < n && source && got >= 0 && SndFileLibrary::instance().error(file) == SF_ERR_NO_ERROR) {
                // The stream has ended: that is its length.
                position += got;
                filled += got;
                sampleCount = position;
                frameCount = position;
                continue;
            }
            if (got < n) {
                if (readErrorFrame < 0) {
                    // Kept for a caller that must not take the silence for
                    // the file's contents.
                    readErrorFrame = position + got;
                    if (SndFileLibrary::instance().error(file) != SF_ERR_NO_ERROR)
                        plainReason(SndFileLibrary::instance().strerror(file), readError, sizeof readError);
                    else
                        std::snprintf(readError, sizeof readError, "unexpected end of file");
                }
                logDebug(3, "while reading from disk. Only %d frames read instead of %d", got, n);
                diskOk = false;
            }
            position += got < 0 ? 0 : got;
            filled += got < 0 ? 0 : got;
            // After a short read the file stands on the frame the position
            // names again, so the next read is aligned.
            if (!diskOk) setPosition(position);
            if (looping && !source && position >= sampleCount) setPosition(0);
        }
        inBufferReal = result;
    }

    // The mixing step: srcFactor 0 overwrites, anything else adds. Channels
    // beyond the file's copy channel 0 when overwriting, else repeat the
    // file's channels.
    for (int c = 0; c < buffer.channelCount; ++c) {
        if (c >= channels && srcFactor == 0.0f) {
            buffer.copyChannel(0, c);
            continue;
        }
        const float* in = inBuffer.data() + c % channels;
        float* out = buffer.getBuffer(c);
        const size_t stride = static_cast<size_t>(channels);
        if (srcFactor == 0.0f) {
            for (int f = 0; f < buffer.currCount; ++f) out[f] = in[static_cast<size_t>(f) * stride];
        } else {
            for (int f = 0; f < buffer.currCount; ++f) out[f] = in[static_cast<size_t>(f) * stride] * srcFactor + out[f];
        }
    }
    inBufferUsed = buffer.currCount;
    logTrace(10, "<");
    return result;
}

} // namespace sonabel
