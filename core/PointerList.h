#pragma once
// A growable array of untyped pointers. It never owns what it points to.
// The capacity moves in steps of 10: it grows by 10 when full and shrinks by
// 10 when 10 slots stand empty, so lists that change by one element at a
// time reallocate rarely. Not thread-safe: the owner guards it.

namespace sonabel {

class PointerList {
public:
    PointerList() = default;
    ~PointerList();
    PointerList(const PointerList&) = delete;
    PointerList& operator=(const PointerList&) = delete;

    int append(void* p);          // returns the new item's index
    void* get(int i) const;       // null outside 0..count-1
    int set(int i, void* p);      // ignored outside the range; returns i
    bool removeAt(int i);
    bool remove(void* p);         // the first item equal to p
    void move(int from, int to);  // keeps the other items' order
    int indexOf(void* p) const;   // -1 when absent
    int push(void* p) { return append(p); }
    void* pop();                  // null when empty
    bool isEmpty() const { return itemCount == 0; }
    int count() const { return itemCount; }
    int getCapacity() const { return capacity; }
    void clear() { resize(0); }

private:
    void resize(int n);

    int itemCount = 0;
    int capacity = 0;
    void** items = nullptr;
};

} // namespace sonabel
