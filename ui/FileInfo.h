#pragma once
// A file panel: owns its file object (made by the file factories, type 0,
// WAVE) and its name box. The name is committed when the box loses the
// focus or on Enter; a new name while the file plays stops it, renames it
// and starts it again from the new file. Names are compared exactly:
// "Voice.wav" and "voice.wav" are two files.

#include "ui/StreamInfo.h"

#include <QLineEdit>

namespace sonabel {

class AudioFile;

class FileInfo : public StreamInfo {
    Q_OBJECT
public:
    explicit FileInfo(Application& application);
    // The subclass has deactivated; the file object goes here.
    ~FileInfo() override;

    AudioStream* getStream() override;
    // Commits the name box's text as the file name.
    virtual void commitFileName() = 0;
    void fileChanged();

    AudioFile* getFile() const { return file; }
    // The file's name, empty before one is set.
    QString getFileName() const;
    void setEditing(bool on) { editing = on; }
    bool isEditing() const { return editing; }
    QLineEdit* getNameEdit() const { return nameEdit.data(); }

protected:
    // Finds the name box by id, then commitFileName.
    void bindNameEdit(int editId);
    // A new file object for this panel, owned by the caller.
    virtual AudioFile* newFile() = 0;

    AudioFile* file = nullptr;
    QPointer<QLineEdit> nameEdit;
    bool editing = false;
};

} // namespace sonabel
