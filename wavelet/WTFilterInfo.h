#pragma once
// The coefficients of one chunk, one WaveletCoeffs per channel, made by a
// forward transform filter and attached to the chunk's SampleBuffer
// (attachedCoeffs). Filters further down the chain read and change them in
// place:
//
//   WTFilterInfo* info = buffer.attachedCoeffs;   // null: nothing to do
//   for (int c = 0; c < info->usedChannels; ++c) {
//       WaveletCoeffs& w = info->getCoeffs(c);
//       for (int j = 0; j < w.getLevelCount(); ++j) { int n; float* d = w.getDetails(j, n); ... }
//       int n; float* a = w.getApproximations(n); ...
//   }
//
// The forward filter owns the info and keeps it from chunk to chunk; the
// inverse transform filter rebuilds the samples and clears the attachment.
// Used on the audio thread only.

namespace sonabel {

class WaveletCoeffs;
class WTForwardFilter;

class WTFilterInfo {
public:
    // One (empty) WaveletCoeffs per channel; owner may be null.
    WTFilterInfo(int channels, WTForwardFilter* owner);
    ~WTFilterInfo();
    WTFilterInfo(const WTFilterInfo&) = delete;
    WTFilterInfo& operator=(const WTFilterInfo&) = delete;

    // Channel 0..usedChannels-1; any other channel reports
    // "Wrong argument to WTFilterInfo::getCoeffs" and gives channel 0.
    WaveletCoeffs& getCoeffs(int channel);
    // Any allocated channel, without the usedChannels check (for the maker).
    WaveletCoeffs& getChannelCoeffs(int channel) { return *coefficients[channel]; }

    int channelCapacity;  // WaveletCoeffs allocated
    int usedChannels = 0; // channels transformed for the current chunk
    WTForwardFilter* owner; // the filter that made them; not owned

private:
    WaveletCoeffs** coefficients;
};

} // namespace sonabel
