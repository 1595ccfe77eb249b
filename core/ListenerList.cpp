#include "core/ListenerList.h"

#include "core/DeviceListener.h"

namespace sonabel {

ListenerList::~ListenerList() { delete listeners; }

void ListenerList::addListener(DeviceListener* listener) {
    if (!listeners) listeners = new PointerList;
    listeners->append(listener);
}

void ListenerList::removeListener(DeviceListener* listener) {
    if (listeners) listeners->remove(listener);
}

void ListenerList::notifyListeners(int code, int value) {
    if (!listeners) return;
    for (int i = 0; i < listeners->count(); ++i)
        static_cast<DeviceListener*>(listeners->get(i))->notify(this, code, value);
}

} // namespace sonabel
