#pragma once
// The party a filter tells about parameter changes (the interface). Every
// operation returns at once: it only posts to the window, never calls back
// into the filter, and may be called on the audio thread with the filter's
// lock held.

namespace sonabel {

class AudioFilter;
class DisplayHost;

class FilterListener {
public:
    virtual ~FilterListener() = default;
    virtual void parameterTextChanged(AudioFilter* filter, int index) = 0;
    virtual void parameterValueChanged(AudioFilter* filter, int index) = 0;
    // The window that owns any window the filter opens; null while none.
    virtual void* getOwnerWindow() { return nullptr; }
    virtual void* getInstance() { return nullptr; }
    // Makes the windows of the display filters; null where there is no
    // interface, and "Show window" then shows nothing. Not owned.
    virtual DisplayHost* getDisplayHost() { return nullptr; }
};

} // namespace sonabel
