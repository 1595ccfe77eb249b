#include "io/AudioDevice.h"

#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"

namespace sonabel {

int32_t getDeviceDriverCount() { return 1; }

AudioOutputDevice* createOutputDevice(int32_t index) { return index == 0 ? new DirectSoundWriter : nullptr; }

AudioInputDevice* createInputDevice(int32_t index) { return index == 0 ? new MMEReader : nullptr; }

} // namespace sonabel
