#pragma once
// A playback device as the panels and the engine see it: a driver, a clock,
// a source of underrun (100) and overflow (101) notices, and a writer.

#include "core/AudioWriter.h"
#include "core/ListenerList.h"
#include "engine/TickProvider.h"
#include "io/AudioDevice.h"

namespace sonabel {

class AudioOutputDevice : public AudioDevice, public TickProvider, public ListenerList, public AudioWriter {};

} // namespace sonabel
