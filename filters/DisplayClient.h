#pragma once
// What a display filter offers the window a DisplayHost made for it. The host
// calls these on the thread that owns the window, except paintWindow, which
// also runs on the caller of DisplayHost::redrawNow (the audio thread for a
// synchronous display).

namespace sonabel {

class DisplaySurface;

class DisplayClient {
public:
    virtual ~DisplayClient() = default;
    // Draws the picture into the window's surface of width x height pixels.
    virtual void paintWindow(DisplaySurface& surface, int width, int height) = 0;
    // The window's drawing area changed size; the next paint starts afresh.
    virtual void windowResized(int width, int height) = 0;
    // The user closed the window. The client destroys it through the host
    // (the host does not) and tells its listener that "Show window" is off.
    virtual void windowCloseRequested() = 0;
};

} // namespace sonabel
