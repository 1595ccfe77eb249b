#include "core/PointerList.h"

#include <algorithm>
#include <cstring>

namespace sonabel {

PointerList::~PointerList() { delete[] items; }

void PointerList::resize(int n) {
    if (n == 0) {
        delete[] items;
        items = nullptr;
        capacity = 0;
        itemCount = 0;
        return;
    }
    int newCapacity = capacity;
    if (n > capacity)
        newCapacity = capacity + 10;
    else if (capacity - 10 >= n)
        newCapacity = capacity - 10;
    if (newCapacity != capacity) {
        void** fresh = new void*[static_cast<size_t>(newCapacity)];
        int keep = std::min(capacity, newCapacity);
        if (items && keep > 0) std::memcpy(fresh, items, sizeof(void*) * static_cast<size_t>(keep));
        delete[] items;
        items = fresh;
        capacity = newCapacity;
    }
    itemCount = n;
}

int PointerList::append(void* p) {
    resize(itemCount + 1);
    items[itemCount - 1] = p;
    return itemCount - 1;
}

void* PointerList::get(int i) const {
    if (i < 0 || i >= itemCount) return nullptr;
    return items[i];
}

int PointerList::set(int i, void* p) {
    if (i >= 0 && i < itemCount) items[i] = p;
    return i;
}

bool PointerList::removeAt(int i) {
    if (i < 0 || i >= itemCount) return false;
    for (int k = i; k < itemCount - 1; ++k) items[k] = items[k + 1];
    resize(itemCount - 1);
    return true;
}

bool PointerList::remove(void* p) {
    int i = indexOf(p);
    return i >= 0 && removeAt(i);
}

int PointerList::indexOf(void* p) const {
    for (int i = 0; i < itemCount; ++i)
        if (items[i] == p) return i;
    return -1;
}

void PointerList::move(int from, int to) {
    if (from < 0 || from >= itemCount || to < 0 || to >= itemCount || from == to) return;
    void* moved = items[from];
    if (from < to)
        for (int k = from; k < to; ++k) items[k] = items[k + 1];
    else
        for (int k = from; k > to; --k) items[k] = items[k - 1];
    items[to] = moved;
}

void* PointerList::pop() {
    if (itemCount == 0) return nullptr;
    void* p = items[itemCount - 1];
    resize(itemCount - 1);
    return p;
}

} // namespace sonabel
