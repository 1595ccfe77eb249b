#pragma once
// Gives display filters a window of their own. The interface implements it
// and hands it out through FilterListener::getDisplayHost; without a host
// (the command-line renderer) a display filter simply shows nothing.
//
// Sequence: createWindow (the window appears and will ask its client to
// paint), then any number of raiseWindow / redrawNow / requestRedraw, then
// destroyWindow. A window is destroyed only by its client, through
// destroyWindow, so the handle stays valid for as long as the client keeps it.
//
// createWindow, raiseWindow and destroyWindow are called on the interface
// thread. redrawNow and requestRedraw may be called on the audio thread:
// neither may wait for the interface thread, and neither calls back into the
// client except paintWindow (redrawNow, on the calling thread).

namespace sonabel {

class DisplayClient;
// A host's window, as display filters see it: something to pass back to the
// host. Each host derives its own.
class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;
};

class DisplayHost {
public:
    virtual ~DisplayHost() = default;
    // Makes and shows a window titled caption that draws through client.
    // Null when no window can be made.
    virtual DisplayWindow* createWindow(DisplayClient* client, const char* caption) = 0;
    // Brings an existing window to the top.
    virtual void raiseWindow(DisplayWindow* window) = 0;
    // Closes the window; the client is not called any more for it.
    virtual void destroyWindow(DisplayWindow* window) = 0;
    // Has the client paint into the window's surface at once, on this thread.
    virtual void redrawNow(DisplayWindow* window) = 0;
    // Asks for a paint on the window's own thread, soon; returns at once.
    virtual void requestRedraw(DisplayWindow* window) = 0;
};

} // namespace sonabel
