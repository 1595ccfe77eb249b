#include "io/SndFileWriter.h"

#include "core/Log.h"
#include "core/SampleBuffer.h"

#include "io/SndFileLibrary.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sonabel {

namespace {

void plainReason(const char* text, char* out, size_t capacity) {
    for (const char* head : {"System error : ", "Error : "})
        if (std::strncmp(text, head, std::strlen(head)) == 0) text += std::strlen(head);
    std::snprintf(out, capacity, "%s", text);
    const size_t n = std::strlen(out);
    if (n > 0 && out[n - 1] == '.') out[n - 1] = 0;
}

} // namespace

SndFileWriter::SndFileWriter() : format(new SndFileFormat) {
    logTrace(5, ">SndFileWriter::constructor() Object=%p", static_cast<void*>(this));
    close();
    logTrace(5, "<constructor");
}

SndFileWriter::~SndFileWriter() {
    logTrace(5, ">SndFileWriter::destructor() Object=%p", static_cast<void*>(this));
    close();
    delete format;
    logTrace(5, "<destructor");
}

void SndFileWriter::setBitsPerSample(int bits) {
    if (file && bits != format->bitsPerSample) {
        logError(2, "SndFileWriter::setBitsPerSample: Cannot change bits per sample while open");
        return;
    }
    format->setBitsPerSample(bits);
}

void SndFileWriter::setEncoding(FourCC encoding) {
    if (encoding != ENCODING_PCM && encoding != ENCODING_FLOAT) {
        logError(1, "SndFileWriter::setEncoding: wrong encoding \"%s\" !", encoding.toText().c_str());
        return;
    }
    if (file && encoding != format->getEncoding()) {
        logError(2, "SndFileWriter::setEncoding: Cannot change the encoding while open");
        return;
    }
    format->floating = encoding == ENCODING_FLOAT;
    if (format->floating) format->bitsPerSample = 32;
}

void SndFileWriter::setContainer(SndFileFormat::Container container) {
    if (file && container != format->container) {
        logError(2, "SndFileWriter::setContainer: Cannot change the file type while open");
        return;
    }
    format->container = container;
}

void SndFileWriter::setAudioFormat(const AudioFormat& newFormat) {
    if (file && !format->isSame(newFormat)) {
        logError(2, "SndFileWriter::setAudioFormat: Cannot change AudioFormat while open");
        return;
    }
    format->copyFrom(newFormat);
}

void SndFileWriter::open() {
    logTrace(3, ">SndFileWriter::open()");
    if (!getFileName()) {
        logError(1, "No filename set !!");
        logTrace(3, "<");
        return;
    }
    close();
    SF_INFO info{};
    info.channels = format->channels;
    info.samplerate = std::isfinite(format->sampleRate) && format->sampleRate >= 1.0f && format->sampleRate < 2.0e9f
                          ? static_cast<int>(format->sampleRate)
                          : 0;
    info.format = format->toSndFile();
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    if (!sndfile.load()) {
        // The loader has told the user why.
        logError(2, "SndFileWriter::open: no libsndfile to write '%s' with", getFileName());
        logTrace(3, "<");
        return;
    }
    // Checked before the file is created, so an existing file survives.
    if (info.format == 0 || format->channels < 1 || format->channels > SndFileFormat::maxChannels ||
        info.samplerate <= 0 || !sndfile.formatCheck(&info)) {
        logError(1, "SndFileWriter::open: a %s file cannot hold %s (%d channels, %d Hz)",
                 format->container == SndFileFormat::Flac ? "FLAC"
                 : format->container == SndFileFormat::Aiff ? "AIFF"
                                                            : "WAVE",
                 SndFileFormat::sampleTypeName(format->bitsPerSample, format->floating).c_str(), format->channels,
                 info.samplerate);
        logTrace(3, "<");
        return;
    }
    file = sndfile.open(getFileName(), SFM_WRITE, &info);
    if (!file) {
        char reason[128];
        plainReason(sndfile.strerror(nullptr), reason, sizeof reason);
        logError(1, "error: could not create file '%s': %s", getFileName(), reason);
        close();
        logTrace(3, "<");
        return;
    }
    // A recording keeps a complete header after every chunk.
    sndfile.command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, batched ? SF_FALSE : SF_TRUE);
    format->extensible = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX;
    writeError[0] = 0;
    sampleCount = 0;
    position = 0;
    pendingFrames = 0;
    logTrace(3, "<");
}

void SndFileWriter::close() {
    logTrace(3, ">SndFileWriter::close()");
    flush();
    if (file) {
        const int error = SndFileLibrary::instance().close(file);
        file = nullptr;
        if (error != SF_ERR_NO_ERROR) {
            char reason[128];
            plainReason(SndFileLibrary::instance().errorNumber(error), reason, sizeof reason);
            logError(1, "error: could not complete file '%s': %s", getFileName(), reason);
        }
    }
    sampleCount = 0;
    position = 0;
    started = false;
    pendingFrames = 0;
    std::vector<int32_t>().swap(pendingInts);
    std::vector<float>().swap(pendingFloats);
    logTrace(3, "<");
}

void SndFileWriter::setBatched(bool on) {
    if (!on) flush();
    batched = on;
    if (file) SndFileLibrary::instance().command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, batched ? SF_FALSE : SF_TRUE);
}

int32_t SndFileWriter::setPosition(int32_t frame) {
    flush(); // pending frames belong where they were written
    if (frame < 0) frame = 0;
    if (frame > sampleCount || !isSeekable()) frame = sampleCount;
    if (file && SndFileLibrary::instance().seek(file, frame, SEEK_SET) < 0) frame = position;
    position = frame;
    return frame;
}

int32_t SndFileWriter::skip(int32_t frames) {
    const int64_t target = static_cast<int64_t>(position) + frames;
    return setPosition(target < 0 ? 0 : (target > INT32_MAX ? INT32_MAX : static_cast<int32_t>(target)));
}

void SndFileWriter::encode(SampleBuffer& buffer, size_t at, int32_t frames) {
    const int channels = format->channels;
    const size_t stride = static_cast<size_t>(channels);
    for (int c = 0; c < channels; ++c) {
        const float* in = buffer.getBuffer(c < buffer.channelCount ? c : 0);
        if (format->floating) {
            float* out = pendingFloats.data() + at * stride + static_cast<size_t>(c);
            for (int32_t f = 0; f < frames; ++f) out[static_cast<size_t>(f) * stride] = in[f];
            continue;
        }
        // x = v * 2^(b-1), clipped to the b-bit range and rounded half up,
        // then left-justified in 32 bits as libsndfile takes integers.
        const int bits = format->bitsPerSample;
        const double scale = std::ldexp(1.0, bits - 1);
        const double top = scale - 1.0;
        const int shift = 32 - bits;
        int32_t* out = pendingInts.data() + at * stride + static_cast<size_t>(c);
        for (int32_t f = 0; f < frames; ++f) {
            double x = static_cast<double>(in[f]) * scale;
            if (x != x) x = 0.0; // NaN has no sample value
            x = x > top ? top : (x < -scale ? -scale : x);
            const int64_t q = static_cast<int64_t>(std::floor(x + 0.5));
            out[static_cast<size_t>(f) * stride] = static_cast<int32_t>(static_cast<uint32_t>(q) << shift);
        }
    }
}

int32_t SndFileWriter::writeOut(int32_t at, int32_t frames) {
    if (frames <= 0) return 0;
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    const sf_count_t got = format->floating ? sndfile.writefFloat(file, pendingFloats.data(), frames)
                                            : sndfile.writefInt(file, pendingInts.data(), frames);
    const int32_t written = got < 0 ? 0 : static_cast<int32_t>(got);
    if (written < frames) {
        if (!writeError[0]) {
            plainReason(sndfile.strerror(file), writeError, sizeof writeError);
            if (!writeError[0] || std::strcmp(writeError, "No Error") == 0)
                std::snprintf(writeError, sizeof writeError, "the disk took only part of the data");
            logError(1, "error: could not write file '%s': %s", getFileName(), writeError);
        }
        // libsndfile's own count goes on past what the disk took: cut the
        // file to the whole frames written, so its state, the header it
        // writes and the length all name what is there.
        sf_count_t keep = static_cast<sf_count_t>(at) + written;
        sndfile.command(file, SFC_FILE_TRUNCATE, &keep, sizeof keep);
        sndfile.seek(file, keep, SEEK_SET);
        logError(3, "write: error: only %d frames instead %d frames written to disk", written, frames);
    }
    return written;
}

bool SndFileWriter::flush() {
    if (!file || pendingFrames <= 0) return true;
    const int32_t want = pendingFrames;
    pendingFrames = 0;
    const int32_t got = writeOut(position - want, want);
    // The pending frames were counted when they came; only what libsndfile
    // took is in the file.
    position -= want - got;
    sampleCount = position > pendingBase ? position.load() : pendingBase;
    return got == want;
}

void SndFileWriter::write(SampleBuffer& buffer) {
    logTrace(10, ">SndFileWriter::write(buffer(%d samples, %d channels)", buffer.currCount, buffer.channelCount);
    if (!isOpen()) {
        logError(3, "write: error: file not opened");
        logTrace(10, "<");
        return;
    }
    if (buffer.currCount <= 0) {
        logTrace(10, "<");
        return;
    }
    started = true;
    int32_t frames = buffer.currCount;
    if (static_cast<int64_t>(position) + pendingFrames + frames > INT32_MAX) {
        frames = INT32_MAX - position - pendingFrames;
        logError(1, "error: file '%s' has reached %d frames; the rest of the recording is not written", getFileName(),
                 INT32_MAX);
    }
    const size_t channels = static_cast<size_t>(format->channels);
    // Gathering needs a block of whole chunks of at least batchBytes; after a
    // short write every chunk goes out on its own.
    const bool gather = batched && !writeError[0];
    const int32_t frameBytes = static_cast<int32_t>(channels * 4);
    int32_t capacity = frames;
    if (gather && frameBytes * frames < batchBytes) capacity = (batchBytes / frameBytes / frames + 1) * frames;
    if (pendingFrames > 0 && (!gather || pendingFrames + frames > capacity)) flush();
    const size_t need = static_cast<size_t>(pendingFrames + capacity) * channels;
    if (format->floating ? pendingFloats.size() < need : pendingInts.size() < need) {
        if (format->floating)
            pendingFloats.resize(need);
        else
            pendingInts.resize(need);
    }
    if (pendingFrames == 0) pendingBase = sampleCount;
    encode(buffer, static_cast<size_t>(pendingFrames), frames);
    if (gather) {
        pendingFrames += frames;
        position += frames;
        if (pendingFrames + frames > capacity) flush();
    } else {
        position += writeOut(position, frames);
    }
    if (position > sampleCount) sampleCount = position;
    logTrace(10, "<");
}

} // namespace sonabel
