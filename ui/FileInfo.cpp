#include "ui/FileInfo.h"

#include "core/AudioFile.h"
#include "core/AudioStream.h"
#include "core/Log.h"
#include "ui/ControlId.h"

#include <QLineEdit>

namespace sonabel {

FileInfo::FileInfo(Application& app) : StreamInfo(app) {}

FileInfo::~FileInfo() { delete file; }

AudioStream* FileInfo::getStream() { return dynamic_cast<AudioStream*>(file); }

QString FileInfo::getFileName() const {
    const char* name = file ? file->getFileName() : nullptr;
    return name ? QString::fromLocal8Bit(name) : QString();
}

void FileInfo::bindNameEdit(int editId) {
    nameEdit = findControl<QLineEdit>(mainWindow, editId);
    if (nameEdit) nameEdit->setMaxLength(299);
    commitFileName();
}

void FileInfo::fileChanged() {
    logTrace(10, ">FileInfo::fileChanged");
    const QByteArray text = nameEdit ? nameEdit->text().left(299).toLocal8Bit() : QByteArray();
    const char* current = file ? file->getFileName() : nullptr;
    if (file && current && text == QByteArray(current)) {
        logDebug(3, "FileInfo::fileChanged() : nothing to do !");
        logTrace(10, "<FileInfo::fileChanged");
        return;
    }
    bool restart = false;
    if (AudioStream* stream = getStream(); stream && stream->isStarted()) {
        logDebug(3, "FileInfo::fileChanged() : file is started. Stopping it.");
        deactivate();
        restart = true;
    }
    if (!file) file = newFile();
    if (file) file->setFileName(text.constData());
    if (restart) activate();
    logTrace(10, "<");
}

} // namespace sonabel
