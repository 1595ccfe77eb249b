#include "filters/DisplayWindowSlot.h"

#include "core/Lock.h"
#include "filters/DisplayHost.h"
#include "filters/FilterListener.h"

namespace sonabel {

void DisplayWindowSlot::show(bool on, Lock* lock, FilterListener* listener, DisplayClient* client, const char* caption,
                             void (*beforeCreate)(DisplayClient*)) {
    DisplayWindow* existing;
    DisplayHost* existingHost;
    {
        LockGuard guard(lock);
        existing = window;
        existingHost = host;
        if (!on) window = nullptr; // from here on the audio thread leaves it alone
    }
    if (!on) {
        if (existing) existingHost->destroyWindow(existing);
        return;
    }
    if (existing) {
        existingHost->raiseWindow(existing);
        return;
    }
    DisplayHost* offered = listener ? listener->getDisplayHost() : nullptr;
    if (!offered) return;
    if (beforeCreate) beforeCreate(client);
    DisplayWindow* made = offered->createWindow(client, caption);
    LockGuard guard(lock);
    host = offered;
    window = made;
}

void DisplayWindowSlot::redraw(bool now, Lock* lock) {
    LockGuard guard(lock);
    if (!window) return;
    if (now)
        host->redrawNow(window);
    else
        host->requestRedraw(window);
}

} // namespace sonabel
