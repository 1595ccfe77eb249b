// The file types the panels can choose; index 0, WAVE, is the only one.

#include "core/AudioFile.h"
#include "io/WaveFileReader.h"
#include "io/WaveFileWriter.h"

namespace sonabel {

AudioFile* createFileReader(int fileType) {
    if (fileType == 0) return new WaveFileReader;
    return nullptr;
}

AudioFile* createFileWriter(int fileType) {
    if (fileType == 0) return new WaveFileWriter;
    return nullptr;
}

} // namespace sonabel
