#include "wavelet/TransformHistory.h"

#include <algorithm>

namespace sonabel {

TransformHistory::TransformHistory() {
    for (auto& e : entries) {
        std::fill(e.values, e.values + entryCapacity, 0.0f);
        e.count = 0;
    }
}

void TransformHistory::ensureEntries(int count) {
    count = std::min(count, maxEntries);
    for (; entryCount < count; ++entryCount) {
        Entry& e = entries[entryCount];
        std::fill(e.values, e.values + entryCapacity, 0.0f);
        e.count = 0;
    }
}

void TransformHistory::store(int i, const float* v, int n, int keep) {
    if (i < 0 || i >= maxEntries) return;
    ensureEntries(i + 1);
    Entry& e = entries[i];
    const int C = std::min(keep, entryCapacity);
    if (C <= 0 || n <= 0) {
        if (e.count > 0) std::fill(e.values, e.values + entryCapacity, 0.0f);
        e.count = 0;
        return;
    }
    if (n >= C) {
        for (int p = 0; p < C; ++p) e.values[p] = v[n - 1 - p];
        e.count = C;
        return;
    }
    if (e.count > 0) {
        // Move the held values back by n places, from the far end down.
        for (int p = C - n - 1; p >= 0; --p) e.values[p + n] = e.values[p];
    }
    for (int p = 0; p < n; ++p) e.values[p] = v[n - 1 - p];
    e.count = std::min(e.count + n, C);
}

} // namespace sonabel
