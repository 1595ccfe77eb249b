#include "core/WinLock.h"

#include "core/Log.h"

namespace sonabel {

Lock* createLock() { return new WinLock; }

WinLock::WinLock() { logTrace(10, "WinLock constructor"); }

WinLock::~WinLock() { logTrace(10, "WinLock destructor"); }

void WinLock::setName(const char* text) {
    if (text)
        name = text;
    else
        name.clear();
}

} // namespace sonabel
