#include "core/AudioFile.h"

#include "core/Log.h"

namespace sonabel {

AudioFile::AudioFile() { logTrace(6, "AudioFile constructor. Object=%p", static_cast<void*>(this)); }

AudioFile::~AudioFile() { logTrace(6, "AudioFile destructor. Object=%p", static_cast<void*>(this)); }

int32_t AudioFile::setPosition(int32_t) { return 0; }

int32_t AudioFile::skip(int32_t) { return 0; }

void AudioFile::setFileName(const char* name) {
    if (!name) return;
    fileName = name;
    hasName = true;
}

} // namespace sonabel
