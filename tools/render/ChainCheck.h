#pragma once
// Warnings about a chain that will not do what it reads as: a coefficient
// filter with no forward transform before it, a forward transform with no
// inverse after it, the wrap algorithm with a wavelet it cannot invert, a
// display (which shows nothing outside the window), and a parameter that the
// chosen mode ignores. The render goes on; these only tell the user.

#include "filters/FilterChainFile.h"

#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;

class ChainCheck {
public:
    // settings: the settings each filter was given, one list per filter (may
    // be shorter than chain). Bypassed filters are passed over. One line per
    // warning, without a prefix.
    static std::vector<std::string> check(const std::vector<AudioFilter*>& chain,
                                          const std::vector<std::vector<ChainSetting>>& settings);
};

} // namespace sonabel
