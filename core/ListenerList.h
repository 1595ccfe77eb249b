#pragma once
// The listeners of a soundcard class, told of its events in the order added.
// Listeners are not owned. Add and remove them while the device is idle.

#include "core/PointerList.h"

namespace sonabel {

class DeviceListener;

class ListenerList {
public:
    ListenerList() = default;
    virtual ~ListenerList();
    ListenerList(const ListenerList&) = delete;
    ListenerList& operator=(const ListenerList&) = delete;

    virtual void addListener(DeviceListener* listener);
    virtual void removeListener(DeviceListener* listener);
    virtual void notifyListeners(int code, int value);

private:
    PointerList* listeners = nullptr; // made on the first addListener
};

} // namespace sonabel
