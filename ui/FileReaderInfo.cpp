#include "ui/FileReaderInfo.h"

#include "core/Log.h"
#include "engine/AudioMixer.h"
#include "io/WaveFileReader.h"
#include "ui/Application.h"
#include "ui/ControlId.h"

#include <QCheckBox>

namespace sonabel {

FileReaderInfo::FileReaderInfo(Application& app) : FileInfo(app) {}

FileReaderInfo::~FileReaderInfo() { deactivate(); }

WaveFileReader* FileReaderInfo::getReader() const { return dynamic_cast<WaveFileReader*>(file); }

AudioFile* FileReaderInfo::newFile() { return createFileReader(0); }

void FileReaderInfo::createStream() {
    loopBox = findControl<QCheckBox>(mainWindow, 1038);
    bindNameEdit(1006);
}

void FileReaderInfo::commitFileName() {
    fileChanged();
    applyLoop();
}

void FileReaderInfo::applyLoop() {
    WaveFileReader* reader = getReader();
    if (!reader) return;
    reader->setLoop(loopBox && loopBox->isChecked());
    // A started reader that has run out rewinds itself on its next read once
    // looping is on: moving it from here would race with the ticker's read.
}

void FileReaderInfo::volumeChanged() {
    WaveFileReader* reader = getReader();
    if (!reader || !reader->isStarted()) return;
    if (AudioMixer* mixer = application.getMixer()) mixer->setInputVolume(reader, volumeGain(getVolume()));
}

void FileReaderInfo::activate() {
    logTrace(10, ">FileReaderInfo: activate");
    WaveFileReader* reader = getReader();
    if (reader && reader->isStarted())
        logDebug(1, "FileReaderInfo::activate(): file already started...");
    else
        addReader(reader);
    logTrace(10, "<");
}

void FileReaderInfo::deactivate() {
    logTrace(10, ">FileReaderInfo::deactivate");
    removeReader(getReader());
    logTrace(10, "<");
}

} // namespace sonabel
