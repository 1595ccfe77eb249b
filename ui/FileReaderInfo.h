#pragma once
// The file input panel: its WAVE reader is one of the mixer's inputs, with
// the panel's volume, looped while "Loop" (1038) is ticked.

#include "ui/FileInfo.h"

#include <QCheckBox>

namespace sonabel {

class WaveFileReader;

class FileReaderInfo : public FileInfo {
    Q_OBJECT
public:
    explicit FileReaderInfo(Application& application);
    ~FileReaderInfo() override;

    void volumeChanged() override;
    void activate() override;
    void deactivate() override;
    // Finds the name box 1006 and the "Loop" box, then commitFileName.
    void createStream() override;
    bool isReader() override { return true; }
    // fileChanged, then applyLoop.
    void commitFileName() override;
    // Loops the reader as the "Loop" box says; a file that has run out
    // starts again once looping is on.
    void applyLoop();
    WaveFileReader* getReader() const;

protected:
    AudioFile* newFile() override;

private:
    QPointer<QCheckBox> loopBox;
};

} // namespace sonabel
