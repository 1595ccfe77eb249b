#pragma once

namespace sonabel {

class ListenerList;

// Told of device events: code 100 an underrun, 101 an overflow. Called on the
// device's own thread; it must return at once.
class DeviceListener {
public:
    virtual ~DeviceListener() = default;
    virtual void notify(ListenerList* source, int code, int value) = 0;
};

} // namespace sonabel
