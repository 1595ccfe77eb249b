#include "render/InputFile.h"

#include "io/SndFileReader.h"
#include "io/WaveFileReader.h"

#include <cstdint>

namespace sonabel {

InputFile::InputFile() = default;
InputFile::~InputFile() = default;

void InputFile::open(const std::string& name, std::string& handover) {
    file.reset(createFileReaderFor(name.c_str(), handover));
    wave = dynamic_cast<WaveFileReader*>(file.get());
    other = dynamic_cast<SndFileReader*>(file.get());
    file->setFileName(name.c_str());
    if (wave) wave->open();
    if (other) other->open();
}

bool InputFile::isOpen() const { return wave ? wave->isOpen() : other && other->isOpen(); }

AudioReader* InputFile::reader() const {
    if (wave) return wave;
    return other;
}

const WaveFileFormat& InputFile::format() const {
    if (wave) return *wave->getFileFormat();
    return *other->getFileFormat();
}

bool InputFile::isFloat() const { return other && other->getFileFormat()->floating; }

int32_t InputFile::getLength() const { return wave ? wave->getLength() : other->getLength(); }

int64_t InputFile::getDataBytes() const {
    if (wave) return wave->getDataBytes();
    // A stream of unknown length claims the most frames there can be.
    const int64_t frames = other->getFrameCount();
    const int64_t frameBytes = other->getFileFormat()->getBytesPerFrame();
    return frameBytes > 0 && frames > INT64_MAX / frameBytes ? INT64_MAX : frames * frameBytes;
}

bool InputFile::beyondReach() const {
    if (other) return other->getFrameCount() > other->getLength();
    const int frameBytes = wave->getFileFormat()->getBytesPerFrame();
    return frameBytes > 0 && wave->getDataBytes() / frameBytes > wave->getLength();
}

int32_t InputFile::getReadErrorFrame() const { return wave ? wave->getReadErrorFrame() : other->getReadErrorFrame(); }

std::string InputFile::getReadError() const { return wave ? wave->getReadError() : other->getReadError(); }

} // namespace sonabel
