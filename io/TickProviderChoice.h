#pragma once
// Chooses the synchronizer's clock after every change of sources or
// destinations: the playback device if it is started, else the capture
// device if it is started, else none. File streams never tick. Interface
// thread only; either device may be null (its panel has none).

namespace sonabel {

class AudioInputDevice;
class AudioOutputDevice;
class AudioSynchronizer;

// Does nothing without a synchronizer.
void chooseTickProvider(AudioSynchronizer* synchronizer, AudioOutputDevice* output, AudioInputDevice* input);

} // namespace sonabel
