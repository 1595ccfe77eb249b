#pragma once
// The file the renderer writes, in the container and sample type the user
// chose: the WAVE writer for 8- and 16-bit WAVE, libsndfile's writer for
// the rest. On the way it counts the samples that do not fit the sample
// type and are clipped to full scale, as sox reports them.
//
// Call sequence: choose, setFileName, then as any writer (setAudioFormat,
// open, write, close); getClipped at the end.

#include "core/AudioWriter.h"
#include "io/SndFileFormat.h"

#include <cstdint>
#include <memory>
#include <string>

namespace sonabel {

class AudioFile;
class AudioFileWriter;
class SampleBuffer;
class SndFileWriter;
class WaveFileWriter;

class OutputFile : public AudioWriter {
public:
    OutputFile();
    ~OutputFile() override;

    // The container is containerName (--format) when given, else the one
    // target's extension names, else WAVE. The sample type is bits (and
    // floating) when bits is not 0, else the input's; an input's type the
    // container cannot hold becomes the nearest it can, and note says so.
    // False with a usage error when the chosen type does not fit.
    bool choose(const std::string& target, const std::string& containerName, int bits, bool floating,
                int inputBits, bool inputFloating, std::string& note, std::string& error);
    void setFileName(const std::string& name);

    AudioFormat* getAudioFormat() override;
    int32_t available(int32_t frames) override { return frames; }
    void open() override;
    void close() override;
    bool isOpen() override;
    void start() override;
    void stop() override;
    bool isStarted() override;
    void setAudioFormat(const AudioFormat& format) override;
    // Counts the clipped samples of the channels that go to the file, then
    // writes.
    void write(SampleBuffer& buffer) override;

    // Samples clipped to full scale so far (never for float samples).
    int64_t getClipped() const { return clipped; }
    int32_t getLength();
    void setBatched(bool on);
    bool flush();
    const char* getWriteError() const;

    const SndFileFormat& getChosen() const { return chosen; }

    // Samples of the first `channels` channels of the chunk that an integer
    // type of `bits` cannot hold and clips to full scale.
    static int64_t countClipped(SampleBuffer& buffer, int channels, int bits);

private:
    SndFileFormat chosen;
    std::unique_ptr<AudioFile> file;
    AudioFileWriter* writer = nullptr;
    WaveFileWriter* wave = nullptr;
    SndFileWriter* other = nullptr;
    int64_t clipped = 0;
};

} // namespace sonabel
