#include "wavelet/WTFilterInfo.h"

#include "core/Log.h"
#include "wavelet/WaveletCoeffs.h"

#include <cstddef>

namespace sonabel {

WTFilterInfo::WTFilterInfo(int channels, WTForwardFilter* maker)
    : channelCapacity(channels < 1 ? 1 : channels), owner(maker),
      coefficients(new WaveletCoeffs*[static_cast<std::size_t>(channelCapacity)]) {
    for (int c = 0; c < channelCapacity; ++c) coefficients[c] = new WaveletCoeffs;
}

WTFilterInfo::~WTFilterInfo() {
    for (int c = 0; c < channelCapacity; ++c) delete coefficients[c];
    delete[] coefficients;
}

WaveletCoeffs& WTFilterInfo::getCoeffs(int channel) {
    if (channel < 0 || channel >= usedChannels) {
        logError(1, "Wrong argument to WTFilterInfo::getCoeffs");
        return *coefficients[0];
    }
    return *coefficients[channel];
}

} // namespace sonabel
