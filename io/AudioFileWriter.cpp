#include "io/AudioFileWriter.h"

#include "core/Log.h"

namespace sonabel {

AudioFileWriter::~AudioFileWriter() { logTrace(6, "AudioFileWriter destructor. Object=%p", static_cast<void*>(this)); }

} // namespace sonabel
