#pragma once
// The window of a display filter: made, raised and destroyed through the
// DisplayHost that the filter's listener offers, and redrawn on request.
// The owner's lock guards the slot; windows are made and destroyed outside
// it, since that may take the interface thread a while and the audio thread
// must not wait for it.

namespace sonabel {

class DisplayClient;
class DisplayHost;
class DisplayWindow;
class FilterListener;
class Lock;

class DisplayWindowSlot {
public:
    // Interface thread only, so nothing else changes the window meanwhile.
    // Without a listener, or one with no interface behind it, "on" shows
    // nothing. beforeCreate (may be null) runs just before a new window is
    // made, with no lock held.
    void show(bool on, Lock* lock, FilterListener* listener, DisplayClient* client, const char* caption,
              void (*beforeCreate)(DisplayClient*) = nullptr);
    // Redraws at once or asks for a redraw; nothing without a window. Takes
    // the lock, which keeps the window from being destroyed under the request.
    void redraw(bool now, Lock* lock);
    // The caller holds the lock.
    bool isShown() const { return window != nullptr; }

private:
    DisplayHost* host = nullptr;     // the host that made `window`
    DisplayWindow* window = nullptr; // owned by the host
};

} // namespace sonabel
