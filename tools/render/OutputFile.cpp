#include "render/OutputFile.h"

#include "core/SampleBuffer.h"
#include "io/SndFileWriter.h"
#include "io/WaveFileWriter.h"

#include <cmath>

namespace sonabel {

namespace {

const char* containerName(SndFileFormat::Container c) {
    return c == SndFileFormat::Flac ? "FLAC" : c == SndFileFormat::Aiff ? "AIFF" : "WAVE";
}

// The smallest float at or above x: for a float v, v >= x exactly when
// v >= floatAtOrAbove(x), and v < x exactly when v < floatAtOrAbove(x).
float floatAtOrAbove(double x) {
    const float f = static_cast<float>(x);
    return static_cast<double>(f) < x ? std::nextafter(f, HUGE_VALF) : f;
}

} // namespace

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { close(); }

bool OutputFile::choose(const std::string& target, const std::string& containerText, int bits, bool floating,
                        int inputBits, bool inputFloating, std::string& note, std::string& error) {
    note.clear();
    SndFileFormat::Container container = SndFileFormat::Wave;
    if (!containerText.empty()) {
        if (!SndFileFormat::parseContainer(containerText, container)) {
            error = "--format takes wav, flac or aiff, not \"" + containerText + "\"";
            return false;
        }
    } else {
        SndFileFormat::containerOfFileName(target, container);
    }
    chosen.container = container;
    chosen.bitsPerSample = bits ? bits : inputBits;
    chosen.floating = bits ? floating : inputFloating;
    if (!chosen.canHold()) {
        const std::string wanted = SndFileFormat::sampleTypeName(chosen.bitsPerSample, chosen.floating);
        if (bits) {
            error = std::string("a ") + containerName(container) + " file cannot hold " + wanted +
                    " samples (FLAC holds 8, 16 or 24 bits)";
            return false;
        }
        // FLAC holds 24 bits at most: the nearest to a wider input.
        chosen.bitsPerSample = 24;
        chosen.floating = false;
        note = target + ": a " + containerName(container) + " file cannot hold the input's " + wanted +
               " samples; writing " + SndFileFormat::sampleTypeName(24, false);
    }
    if (container == SndFileFormat::Wave && !chosen.floating &&
        (chosen.bitsPerSample == 8 || chosen.bitsPerSample == 16)) {
        file.reset(createFileWriter(0));
        wave = dynamic_cast<WaveFileWriter*>(file.get());
    } else {
        file.reset(createFileWriter(1));
        other = dynamic_cast<SndFileWriter*>(file.get());
        other->setContainer(container);
        other->setEncoding(chosen.floating ? ENCODING_FLOAT : ENCODING_PCM);
    }
    writer = dynamic_cast<AudioFileWriter*>(file.get());
    writer->setBitsPerSample(chosen.bitsPerSample);
    return true;
}

void OutputFile::setFileName(const std::string& name) { writer->setFileName(name.c_str()); }
AudioFormat* OutputFile::getAudioFormat() { return writer->getAudioFormat(); }
void OutputFile::open() {
    clipped = 0;
    writer->open();
}
void OutputFile::close() {
    if (writer) writer->close();
}
bool OutputFile::isOpen() { return writer->isOpen(); }
void OutputFile::start() { writer->start(); }
void OutputFile::stop() { writer->stop(); }
bool OutputFile::isStarted() { return writer->isStarted(); }
void OutputFile::setAudioFormat(const AudioFormat& format) { writer->setAudioFormat(format); }
int32_t OutputFile::getLength() { return writer->getLength(); }

void OutputFile::setBatched(bool on) {
    if (wave) wave->setBatched(on);
    if (other) other->setBatched(on);
}

bool OutputFile::flush() { return wave ? wave->flush() : other->flush(); }

const char* OutputFile::getWriteError() const { return wave ? wave->getWriteError() : other->getWriteError(); }

int64_t OutputFile::countClipped(SampleBuffer& buffer, int channels, int bits) {
    // Encoding rounds x = v * 2^(b-1) half up after clipping it to
    // -2^(b-1)..2^(b-1)-1: a sample is clipped where rounding alone would
    // have left that range, x >= 2^(b-1) - 0.5 or x < -2^(b-1) - 0.5.
    // Both bounds over 2^(b-1) are exact in double, and compared on v
    // itself as floats, so the loop runs in vector registers.
    const double scale = std::ldexp(1.0, bits - 1);
    const float high = floatAtOrAbove((scale - 0.5) / scale), low = floatAtOrAbove((-scale - 0.5) / scale);
    int64_t clipped = 0;
    for (int c = 0; c < channels; ++c) {
        const float* in = buffer.getBuffer(c < buffer.channelCount ? c : 0);
        int32_t count = 0;
        for (int f = 0; f < buffer.currCount; ++f) count += (in[f] >= high) | (in[f] < low);
        clipped += count;
    }
    return clipped;
}

void OutputFile::write(SampleBuffer& buffer) {
    if (!chosen.floating && writer->isOpen())
        clipped += countClipped(buffer, writer->getAudioFormat()->channels, chosen.bitsPerSample);
    writer->write(buffer);
}

} // namespace sonabel
