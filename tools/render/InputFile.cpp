#include "render/InputFile.h"

#include "io/SndFileReader.h"
#include "io/WaveFileReader.h"
#include "render/LogErrors.h"
#include "render/StreamSource.h"
#include "render/WaveStreamReader.h"

#include <sndfile.h>

#include <cstdint>
#include <cstdio>

namespace sonabel {

InputFile::InputFile() = default;
InputFile::~InputFile() = default;

void InputFile::open(const std::string& name, std::string& handover) {
    // A stream copied to a file first is read as that file from here on.
    wave = nullptr;
    other = nullptr;
    file.reset();
    waveStream.reset();
    stream.reset();
    streamDataStart = 0;
    claimedFrames = -1;
    file.reset(createFileReaderFor(name.c_str(), handover));
    wave = dynamic_cast<WaveFileReader*>(file.get());
    other = dynamic_cast<SndFileReader*>(file.get());
    file->setFileName(name.c_str());
    if (wave) wave->open();
    if (other) other->open();
}

InputFile::StreamOpen InputFile::openStream(int fd, const std::string& name, std::string& handover,
                                            std::string& error, const volatile std::sig_atomic_t* stop) {
    handover.clear();
    stream = std::make_unique<StreamSource>(fd, stop);
    if (WaveStreamReader::isWave(stream->peek(12))) {
        waveStream = std::make_unique<WaveStreamReader>(*stream);
        bool unsupported = false;
        if (waveStream->readHeader(error, unsupported)) return StreamOpen::Opened;
        waveStream.reset();
        // A sample type of its own: libsndfile may read it, else the spool.
        if (!unsupported || stream->seek(0, SEEK_SET) != 0) return StreamOpen::Failed;
    } else if (!stream->getError().empty() || stream->peek(1).empty()) {
        error = stream->getError().empty() ? "the stream is empty" : stream->getError();
        return StreamOpen::Failed;
    }
    auto reader = std::make_unique<SndFileReader>();
    reader->setFileName(name.c_str());
    {
        LogErrors quiet; // a refusal here is not the last word
        reader->openStream(stream.get());
        error = quiet.first();
    }
    if (!reader->isOpen()) {
        if (stream->keepsAll() && stream->getError().empty()) return StreamOpen::Spool;
        if (!stream->getError().empty()) error = stream->getError();
        return StreamOpen::Failed;
    }
    error.clear();
    // libsndfile stands on the first frame after its open.
    streamDataStart = stream->tell();
    // What the header claims, where it can be held to it: FLAC's total of
    // samples when it is stated, a PCM container's size below a writer's
    // guess for "unknown". Other compressed streams claim nothing here.
    const int64_t frames = reader->getHeaderFrames();
    const int major = reader->getFileFormat()->sndFileFormat & SF_FORMAT_TYPEMASK;
    const int64_t frameBytes = reader->getFileFormat()->getBytesPerFrame();
    if (major == SF_FORMAT_FLAC)
        claimedFrames = frames > 0 && frames < SF_COUNT_MAX ? frames : -1;
    else if (major != SF_FORMAT_OGG && major != SF_FORMAT_MPEG && frameBytes > 0)
        claimedFrames = frames > 0 && frames < StreamSource::guessedDataBytes / frameBytes ? frames : -1;
    handover = name + ": " + reader->getFileFormat()->describe() + ", reading it through libsndfile";
    other = reader.get();
    file = std::move(reader);
    return StreamOpen::Opened;
}

const std::vector<uint8_t>& InputFile::spoolHead() const {
    static const std::vector<uint8_t> none;
    return stream ? stream->keptBytes() : none;
}

bool InputFile::isOpen() const {
    if (waveStream) return waveStream->isOpen();
    return wave ? wave->isOpen() : other && other->isOpen();
}

AudioReader* InputFile::reader() const {
    if (waveStream) return waveStream.get();
    if (wave) return wave;
    return other;
}

const WaveFileFormat& InputFile::format() const {
    if (waveStream) return *waveStream->getAudioFormat();
    if (wave) return *wave->getFileFormat();
    return *other->getFileFormat();
}

bool InputFile::isFloat() const {
    if (waveStream) return waveStream->getAudioFormat()->floating;
    return other && other->getFileFormat()->floating;
}

int64_t InputFile::getFramesRead() const {
    if (waveStream) return waveStream->getFramesRead();
    return other ? other->getPosition() : 0;
}

bool InputFile::hasEnded() const {
    if (waveStream) return waveStream->hasEnded();
    return other && other->available(1) < 0;
}

int32_t InputFile::getLength() const {
    if (waveStream) return 0;
    return wave ? wave->getLength() : other->getLength();
}

int64_t InputFile::getDataBytes() const {
    if (waveStream) return 0;
    if (wave) return wave->getDataBytes();
    // A stream of unknown length claims the most frames there can be.
    const int64_t frames = other->getFrameCount();
    const int64_t frameBytes = other->getFileFormat()->getBytesPerFrame();
    return frameBytes > 0 && frames > INT64_MAX / frameBytes ? INT64_MAX : frames * frameBytes;
}

bool InputFile::beyondReach() const {
    if (stream) return false;
    if (other) return other->getFrameCount() > other->getLength();
    const int frameBytes = wave->getFileFormat()->getBytesPerFrame();
    return frameBytes > 0 && wave->getDataBytes() / frameBytes > wave->getLength();
}

bool InputFile::endsInsideFrame() const {
    if (!stream || !other || !hasEnded()) return false;
    // All the frames the header claims came: whatever follows them (a
    // chunk, a terminator) is not audio.
    if (claimedFrames >= 0 && other->getPosition() >= claimedFrames) return false;
    // Whole frames of PCM bytes: libsndfile drops a part at the end unsaid.
    const int subtype = other->getFileFormat()->sndFileFormat & SF_FORMAT_SUBMASK;
    // (Doubles count as 32 bits in the format: not checked.) FLAC, Ogg and
    // MPEG carry PCM subtypes, but compressed.
    const int major = other->getFileFormat()->sndFileFormat & SF_FORMAT_TYPEMASK;
    if (major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG) return false;
    // Only where the frames run in one piece to the end of the stream does a
    // byte count tell a cut frame (VOC, for one, has blocks and an end mark).
    const bool onePiece = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF ||
                          major == SF_FORMAT_AU || major == SF_FORMAT_RAW || major == SF_FORMAT_W64 ||
                          major == SF_FORMAT_CAF || major == SF_FORMAT_RF64;
    if (!onePiece) return false;
    const bool pcm = subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16 ||
                     subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32 || subtype == SF_FORMAT_FLOAT;
    const int64_t frameBytes = other->getFileFormat()->getBytesPerFrame();
    return pcm && frameBytes > 0 && (stream->tell() - streamDataStart) % frameBytes != 0;
}

bool InputFile::endsEarly() const {
    return stream && other && claimedFrames >= 0 && hasEnded() && other->getPosition() < claimedFrames;
}

bool InputFile::beyondLongest() const {
    // libsndfile's reader counts frames in 32 bits: a stream still going at
    // the last one would end there unsaid.
    return stream && other && hasEnded() && other->getPosition() >= INT32_MAX;
}

int64_t InputFile::getReadErrorFrame() const {
    if (waveStream) return waveStream->getReadErrorFrame();
    if (beyondLongest() && other->getReadErrorFrame() < 0) return other->getPosition();
    if (endsInsideFrame() && other->getReadErrorFrame() < 0) return other->getPosition();
    // libsndfile takes a failed read for the end of the stream.
    if (stream && !stream->getError().empty() && other->getReadErrorFrame() < 0) return other->getPosition();
    if (wave) return wave->getReadErrorFrame();
    if (other->getReadErrorFrame() < 0 && endsEarly()) return other->getPosition();
    return other->getReadErrorFrame();
}

std::string InputFile::getReadError() const {
    if (waveStream) return waveStream->getReadError();
    if (beyondLongest() && other->getReadErrorFrame() < 0) return "the stream is longer than 2147483647 frames";
    if (endsInsideFrame() && other->getReadErrorFrame() < 0) return "the stream ends inside a frame";
    if (stream && !stream->getError().empty() && other->getReadErrorFrame() < 0) return stream->getError();
    if (wave) return wave->getReadError();
    if (other->getReadErrorFrame() < 0 && endsEarly()) return StreamSource::endsEarly(claimedFrames);
    return other->getReadError();
}

} // namespace sonabel
