#include "core/AudioReader.h"

#include "core/Log.h"

namespace sonabel {

AudioReader::~AudioReader() { logTrace(6, "AudioReader destructor. Object=%p", static_cast<void*>(this)); }

} // namespace sonabel
