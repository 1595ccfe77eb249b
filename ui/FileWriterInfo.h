#pragma once
// The file output panel: its WAVE writer is one of the synchronizer's
// writers and records the processed flow, 16-bit stereo at 44100 Hz until
// the engine gives it its own format. An existing file is overwritten,
// except the one the file input panel is playing, which is refused.

#include "ui/FileInfo.h"

namespace sonabel {

class AudioFileWriter;

class FileWriterInfo : public FileInfo {
    Q_OBJECT
public:
    explicit FileWriterInfo(Application& application);
    ~FileWriterInfo() override;

    void activate() override;
    void deactivate() override;
    // Finds the name box 1009, then commitFileName.
    void createStream() override { bindNameEdit(1009); }
    bool isReader() override { return false; }
    void commitFileName() override { fileChanged(); }
    AudioFileWriter* getWriter() const;

protected:
    AudioFile* newFile() override;

private:
    // True when the name is the file that the file input panel plays.
    bool isPlayingFile();
};

} // namespace sonabel
