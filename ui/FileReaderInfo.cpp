#include "ui/FileReaderInfo.h"

#include "core/Log.h"
#include "engine/AudioMixer.h"
#include "io/SndFileReader.h"
#include "io/WaveFileReader.h"
#include "ui/Application.h"
#include "ui/ControlId.h"

#include <QCheckBox>

#include <memory>
#include <string>
#include <typeinfo>

namespace sonabel {

FileReaderInfo::FileReaderInfo(Application& app) : FileInfo(app) {}

FileReaderInfo::~FileReaderInfo() { deactivate(); }

AudioReader* FileReaderInfo::getReader() const { return dynamic_cast<AudioReader*>(file); }

bool FileReaderInfo::isLoop() const {
    if (auto* wave = dynamic_cast<WaveFileReader*>(file)) return wave->isLoop();
    if (auto* other = dynamic_cast<SndFileReader*>(file)) return other->isLoop();
    return false;
}

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
    const bool on = loopBox && loopBox->isChecked();
    if (auto* wave = dynamic_cast<WaveFileReader*>(file)) wave->setLoop(on);
    if (auto* other = dynamic_cast<SndFileReader*>(file)) other->setLoop(on);
    // A started reader that has run out rewinds itself on its next read once
    // looping is on: moving it from here would race with the ticker's read.
}

void FileReaderInfo::volumeChanged() {
    AudioReader* reader = getReader();
    if (!reader || !reader->isStarted()) return;
    if (AudioMixer* mixer = application.getMixer()) mixer->setInputVolume(reader, volumeGain(getVolume()));
}

void FileReaderInfo::chooseReader() {
    const char* name = file ? file->getFileName() : nullptr;
    if (!name || !*name) return;
    std::string handover;
    std::unique_ptr<AudioFile> chosen(createFileReaderFor(name, handover));
    // Only a file libsndfile reads changes hands: whatever it cannot read
    // stays with the WAVE reader, which reports it as it always has.
    if (handover.empty()) chosen.reset(createFileReader(0));
    if (!chosen || typeid(*chosen) == typeid(*file)) return;
    logDebug(1, "FileReaderInfo: %s", handover.empty() ? "the WAVE reader reads it" : handover.c_str());
    chosen->setFileName(name);
    delete file;
    file = chosen.release();
    applyLoop();
}

void FileReaderInfo::activate() {
    logTrace(10, ">FileReaderInfo: activate");
    AudioReader* reader = getReader();
    if (reader && reader->isStarted()) {
        logDebug(1, "FileReaderInfo::activate(): file already started...");
    } else {
        chooseReader();
        addReader(getReader());
    }
    logTrace(10, "<");
}

void FileReaderInfo::deactivate() {
    logTrace(10, ">FileReaderInfo::deactivate");
    removeReader(getReader());
    logTrace(10, "<");
}

} // namespace sonabel
