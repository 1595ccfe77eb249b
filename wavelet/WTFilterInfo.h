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

#include "core/Log.h"
#include "wavelet/WaveletCoeffs.h"

namespace sonabel {

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

    // The nine detail bands and the approximations (band 9) of every used
    // channel, for filters with one setting per band: visit(values, count,
    // band). Levels past the ninth are left alone and reported.
    template <class Visit>
    void forEachBand(Visit visit) {
        for (int c = 0; c < usedChannels; ++c) {
            WaveletCoeffs& coeffs = getCoeffs(c);
            int J = coeffs.getLevelCount();
            if (J > 9) {
                logDebug(1, "Scales not sufficient.");
                J = 9;
            }
            int count = 0;
            for (int j = 0; j < J; ++j) {
                float* values = coeffs.getDetails(j, count);
                visit(values, count, j);
            }
            float* values = coeffs.getApproximations(count);
            visit(values, count, 9);
        }
    }

    int channelCapacity;  // WaveletCoeffs allocated
    int usedChannels = 0; // channels transformed for the current chunk
    WTForwardFilter* owner; // the filter that made them; not owned

private:
    WaveletCoeffs** coefficients;
};

} // namespace sonabel
