#pragma once
// sonabel-render --suggest-threshold: the "Threshold" step for a chain's
// "Wavelet Denoiser", from the noise in the input itself.
//
//   d     the finest details of every channel, with the wavelet of the
//         forward transform before the denoiser
//   sigma median(|d|) / 0.6745, the noise's standard deviation (white noise
//         keeps its level in the finest details of an orthonormal transform,
//         and the few large details of the signal barely move the median)
//   T     sigma sqrt(2 ln N) for N frames per channel, the universal threshold
//
// T goes to the denoiser as a quantity in decibels and takes the step whose
// value text shows the nearest one, exactly as "Threshold = -26 dB" in a
// chain line does; the filter's own mapping is nowhere repeated here. The
// denoiser's other parameters are left as the chain sets them.
//
// Everything runs on the caller's thread; the input is decoded whole.

#include "filters/FilterChainFile.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class ThresholdSuggestion {
public:
    using Channels = std::vector<std::vector<float>>;

    explicit ThresholdSuggestion(FilterFactory catalogue);
    ThresholdSuggestion(const ThresholdSuggestion&) = delete;
    ThresholdSuggestion& operator=(const ThresholdSuggestion&) = delete;

    // The noise's standard deviation in the finest details of all channels
    // together (full scale 1.0; the signal's own for an orthogonal wavelet),
    // with filter bank `wavelet` (the "Wavelet" step). Only details whose
    // taps lie wholly inside the signal count. 0 when no channel is as long
    // as the filter, or for a wavelet index out of range.
    static double noiseLevel(const Channels& channels, int wavelet);
    // sigma sqrt(2 ln frames); 0 for fewer than 2 frames.
    static double universalThreshold(double sigma, int64_t frames);
    // The denoiser's setting for threshold T (linear, full scale 1.0): its
    // step, its value text, and whether T lies beyond the steps.
    bool resolveStep(double threshold, ChainSetting& setting, std::string& error) const;

    // Whether the command line asks for a suggestion.
    static bool isRequested(int argc, char** argv);
    // sonabel-render --suggest-threshold [-c FILE] [-f LINE]... INPUT: prints
    // the derivation and the step on out, problems on err. The exit status: 0,
    // 1 when a file cannot be read, 2 on a usage error.
    int run(int argc, char** argv, std::ostream& out, std::ostream& err);

private:
    // The chain from -c and -f in order; false with the message in error.
    bool buildChain(const std::vector<std::pair<bool, std::string>>& sources, std::vector<AudioFilter*>& chain,
                    std::string& error) const;

    FilterChainFile chainFile;
};

} // namespace sonabel
