#pragma once
// What the padding-with-history algorithm remembers of one channel between
// chunks: for every level index i (0 = the chunk's samples, i = the input of
// level i + 1, that is the approximations of level i) the last values that
// preceded the next chunk's input at that level, newest first. The transform
// reads an entry to extend a level's input to the left and updates it after
// the level is computed. Owned by the forward transform filter, one per
// channel; entries live in fixed arrays, so updates never allocate.

namespace sonabel {

class TransformHistory {
public:
    static constexpr int entryCapacity = 50;
    static constexpr int maxEntries = 32;

    struct Entry {
        float values[entryCapacity]; // newest first
        int count;                   // valid values
    };

    TransformHistory();
    TransformHistory(const TransformHistory&) = delete;
    TransformHistory& operator=(const TransformHistory&) = delete;

    int getEntryCount() const { return entryCount; }
    // Entry i, or null when the history has no entry i yet.
    const Entry* getEntry(int i) const { return i >= 0 && i < entryCount ? &entries[i] : nullptr; }
    // Creates entries (cleared) up to count.
    void ensureEntries(int count);
    // Keeps the last values of v[0..n-1] in entry i (created if missing),
    // newest first, at most keep of them; shorter inputs push older values back.
    void store(int i, const float* v, int n, int keep);
    void clear() { entryCount = 0; }

private:
    Entry entries[maxEntries];
    int entryCount = 0;
};

} // namespace sonabel
