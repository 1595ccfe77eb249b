#include "core/AudioWriter.h"

#include "core/Log.h"

namespace sonabel {

AudioWriter::~AudioWriter() { logTrace(6, "AudioWriter destructor. Object=%p", static_cast<void*>(this)); }

} // namespace sonabel
