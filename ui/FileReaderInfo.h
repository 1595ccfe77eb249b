#pragma once
// The file input panel: its file reader is one of the mixer's inputs, with
// the panel's volume, looped while "Loop" (1038) is ticked.
//
// The reader is the WAVE reader for the 8- and 16-bit WAVE files it plays
// and for anything libsndfile cannot read either (so their texts stay the
// WAVE reader's); for a 24-bit, float, FLAC or AIFF file it is libsndfile's.
// It is chosen again for the file each time the panel is ticked.

#include "ui/FileInfo.h"

#include <QCheckBox>

namespace sonabel {

class AudioReader;

class FileReaderInfo : public FileInfo {
    Q_OBJECT
public:
    explicit FileReaderInfo(Application& application);
    ~FileReaderInfo() override;

    void volumeChanged() override;
    // Chooses the reader for the file, then connects it.
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
    AudioReader* getReader() const;
    bool isLoop() const;

protected:
    AudioFile* newFile() override;

private:
    // Replaces the file object by the reader the file factories choose for
    // the file's name, when that is another kind. Only while disconnected.
    void chooseReader();

    QPointer<QCheckBox> loopBox;
};

} // namespace sonabel
