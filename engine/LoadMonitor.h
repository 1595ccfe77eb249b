#pragma once

namespace sonabel {

class AudioMixer;

// Told every 19th mixer read that the filters' processing times are worth
// showing. Called on the audio thread with no lock held; returns at once.
class LoadMonitor {
public:
    virtual ~LoadMonitor() = default;
    virtual void reportLoad(AudioMixer* mixer) = 0;
};

} // namespace sonabel
