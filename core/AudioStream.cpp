#include "core/AudioStream.h"

#include "core/Log.h"

namespace sonabel {

AudioStream::~AudioStream() { logTrace(6, "AudioStream destructor. Object=%p", static_cast<void*>(this)); }

} // namespace sonabel
