#include "ui/FileWriterInfo.h"

#include "core/AudioFormat.h"
#include "core/Log.h"
#include "io/AudioFileWriter.h"
#include "ui/Application.h"
#include "ui/FileReaderInfo.h"

#include <filesystem>
#include <system_error>

namespace sonabel {

FileWriterInfo::FileWriterInfo(Application& app) : FileInfo(app) {}

FileWriterInfo::~FileWriterInfo() { deactivate(); }

AudioFileWriter* FileWriterInfo::getWriter() const { return dynamic_cast<AudioFileWriter*>(file); }

AudioFile* FileWriterInfo::newFile() {
    AudioFile* created = createFileWriter(0);
    if (auto* writer = dynamic_cast<AudioFileWriter*>(created)) {
        writer->setBitsPerSample(16);
        writer->setAudioFormat(AudioFormat(2, 44100.0f));
    }
    return created;
}

bool FileWriterInfo::isPlayingFile() {
    FileReaderInfo* input = application.getFileReaderInfo();
    if (!input || !file || !file->getFileName()) return false;
    AudioStream* playing = input->getStream();
    const char* inputName = input->getFile() ? input->getFile()->getFileName() : nullptr;
    if (!playing || !playing->isOpen() || !inputName) return false;
    const std::filesystem::path out(file->getFileName()), in(inputName);
    if (out == in) return true;
    // Another spelling of the same file ("./x.wav", a link).
    std::error_code error;
    return std::filesystem::equivalent(out, in, error) && !error;
}

void FileWriterInfo::activate() {
    logTrace(10, ">FileWriterInfo: activate");
    AudioFileWriter* writer = getWriter();
    if (writer && writer->isStarted()) {
        logDebug(1, "FileWriterInfo::activate(): file already started...");
    } else if (isPlayingFile()) {
        // Opening it for writing would empty the file under its reader.
        logError(1, "FileWriterInfo::activate(): '%s' is the file being played; choose another name to record.",
                 file->getFileName());
        setChecked(false);
    } else {
        addWriter(writer);
    }
    logTrace(10, "<");
}

void FileWriterInfo::deactivate() {
    logTrace(10, ">FileWriterInfo: deactivate");
    removeWriter(getWriter());
    logTrace(10, "<");
}

} // namespace sonabel
