#pragma once
// A capture device as the panels and the engine see it: a driver, a clock,
// a source of underrun notices (100), and a reader.

#include "core/AudioReader.h"
#include "core/ListenerList.h"
#include "engine/TickProvider.h"
#include "io/AudioDevice.h"

namespace sonabel {

class AudioInputDevice : public AudioDevice, public TickProvider, public ListenerList, public AudioReader {};

} // namespace sonabel
