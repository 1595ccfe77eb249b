#pragma once
// A recursive lock: the holder may take it again and must release it as often.

namespace sonabel {

class Lock {
public:
    virtual ~Lock() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
    // For diagnosis only; null clears it.
    virtual void setName(const char* name) = 0;
};

// The caller owns the result.
Lock* createLock();

// Holds a Lock for one scope.
class LockGuard {
public:
    explicit LockGuard(Lock* l) : held(l) { held->lock(); }
    ~LockGuard() { held->unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock* held;
};

} // namespace sonabel
