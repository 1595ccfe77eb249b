#pragma once
// One chunk of audio: a block of 32-bit float samples per channel (never
// interleaved), full scale -1.0..+1.0, seen through a movable window
// (currStart, currCount). pushSubset narrows the window and saves the old one;
// popSubset restores it. Positions and counts are frames, relative to
// currStart. A buffer is used by one thread at a time.

#include <vector>

namespace sonabel {

class WTFilterInfo;

class SampleBuffer {
public:
    SampleBuffer(int channels, int samples);
    virtual ~SampleBuffer();
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;

    // Sample currStart of that channel; the caller may touch currCount samples.
    float* getBuffer(int channel);
    void makeSilence(int start, int count);
    void pushSubset(int start, int count);
    void popSubset();
    void clearSubsets();
    // Reallocates (without keeping or zeroing the contents) only when the
    // request outgrows the arrays.
    void setSize(int samples, int channels);
    void copyChannel(int from, int to);
    // Becomes a copy of other's current window, starting at 0.
    void copyFrom(SampleBuffer& other);
    int getSubsetDepth() const { return static_cast<int>(subsetStack.size()); }

    int capacity = 0;
    int channelCount = 0;
    int currStart = 0;
    int currCount = 0;
    int allocatedChannels = 0;

private:
    struct Window {
        int start;
        int count;
    };
    void freeChannels();
    bool inBounds(int start, int count) const;

    // Saved windows. Room for a few levels is reserved up front and never
    // given back, so balanced pushes and pops allocate nothing per chunk.
    std::vector<Window> subsetStack;
    float** channelData = nullptr;

public:
    // Coefficients of the chunk now in the buffer, handed from the forward
    // transform to the filters after it; not owned, not copied.
    WTFilterInfo* attachedCoeffs = nullptr;
    // When set, setSize never changes channelCount.
    bool fixedChannels = false;
    // Ticks this buffer has been reused for (set by the synchronizer).
    int chunkCounter = 0;
};

} // namespace sonabel
