#pragma once

#include "core/Lock.h"

#include <mutex>
#include <string>

namespace sonabel {

class WinLock : public Lock {
public:
    WinLock();
    ~WinLock() override;
    void lock() override { mutex.lock(); }
    void unlock() override { mutex.unlock(); }
    void setName(const char* text) override;
    const char* getName() const { return name.c_str(); }

private:
    std::string name;
    std::recursive_mutex mutex;
};

} // namespace sonabel
