#pragma once
// The wavelet coefficients of one channel of one chunk, in one contiguous
// store that this object owns. Consumers (denoiser, equalizer, displays, the
// inverse transform) find each level through getDetails/getApproximations
// and may change the values in place, never the layout.
//
// Levels are indexed from 0 (detail level 1, the finest). Two layouts:
// - Padding algorithms (zero, mirror, history): with N samples and filter
//   length L, level j holds size(j) = (size(j-1) + L - 1) >> 1 values,
//   size(0) = N. The store holds details of level 1, 2, ..., J and then the
//   approximations of level J (size(J) values), without gaps. Each level
//   carries padding values from the filter overhanging the chunk ends; its
//   core is the middle N >> (j+1) values (see getCore).
// - Wrap algorithm: the store holds the N values in the order
//   [2 approximations | coarsest details (2) | ... | level 1 (N/2)] and
//   wrapOrder points at all of it. No padding values.
// With N < 4 there are no levels and the approximations are the samples.
//
// Not thread-safe: the owning forward transform filter and the filters of
// the chain use it one at a time on the audio thread.

#include "wavelet/WaveletKernels.h"

#include <cstddef>
#include <vector>

namespace sonabel {

class WaveletCoeffs {
public:
    WaveletCoeffs();
    WaveletCoeffs(const WaveletCoeffs&) = delete;
    WaveletCoeffs& operator=(const WaveletCoeffs&) = delete;

    // Sets signalLength = N, grows the store (contents dropped, never shrunk)
    // to N + 2L(round(log2 N) - 1) values (at least N) and forgets every
    // level, the approximations and wrapOrder.
    void prepare(int N, int L);
    // Registers the next coarser level; pointer into this object's store.
    void addDetails(float* details, int count);
    void setApproximations(float* approximations, int count);
    int getLevelCount() const { return static_cast<int>(detailPointers.size()); }
    // Details of a level (0 = finest) and their number; null with count 0 and
    // an error for a level outside 0..getLevelCount()-1.
    float* getDetails(int level, int& count);
    float* getApproximations(int& count);
    // The middle of a level for a chunk of signalLength samples: the part
    // that lies over the chunk rather than over its padding. level < 0 or
    // level == getLevelCount() means the approximations. Returns the pointer
    // and sets count (0 and null for an unknown level).
    float* getCore(int level, int& count);
    // Length of the signal that level k + 1 was computed from: signalLength
    // for k < 0, the details count of level k for 0 <= k < getLevelCount(),
    // else 0.
    int getLevelLength(int k) const {
        if (k < 0) return signalLength;
        if (k < getLevelCount()) return detailCounts[static_cast<size_t>(k)];
        return 0;
    }
    // Makes this an independent copy of other (same layout, own store).
    void copyCoeffs(const WaveletCoeffs& other);

    // Capacity a store needs for N samples and filter length L.
    static int storeCapacity(int N, int L);
    // Values past the capacity that the store also holds: the transform's
    // vector kernels read and write whole blocks past a level's end.
    static constexpr int room = wavelet_kernels::phaseSlack;
    // True if count values from p, and room values after them, lie in the store.
    bool hasRoomAfter(const float* p, int count) const;

    float* getStore() { return store.data(); }
    int getStoreCapacity() const { return store.empty() ? 0 : static_cast<int>(store.size()) - room; }

    int signalLength = 0; // N, samples of the chunk that was transformed
    float* wrapOrder = nullptr; // wrap algorithm: the whole store, N values
    int wrapCount = 0;
    // How these coefficients were made (set by WaveletTransform, -1 unknown);
    // the inverse transform rebuilds with the same wavelet and layout, even
    // if the transform's settings changed in between.
    int waveletIndex = -1;
    int algorithmIndex = -1;

private:
    std::vector<float*> detailPointers;
    std::vector<int> detailCounts;
    float* approximations = nullptr;
    int approximationCount = 0;
    std::vector<float> store;
    int preparedLength = -1, preparedFilterLength = -1; // the store fits these
};

} // namespace sonabel
