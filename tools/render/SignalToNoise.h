#pragma once
// Signal-to-noise ratio of a rendered file against a clean original:
// 10 log10(sum clean^2 / sum (x - clean)^2) over every channel, over the
// frames both files have. Channel c of the test file is compared with
// channel c of the clean one (the clean file's channels repeat when the test
// file has more).

#include <string>
#include <vector>

namespace sonabel {

class SignalToNoise {
public:
    using Channels = std::vector<std::vector<float>>;

    // Decodes a whole file (any format the renderer reads); false with a message when it can't be read.
    static bool load(const std::string& path, Channels& channels, std::string& error);
    // In dB; +inf for identical signals, -inf for a silent clean signal.
    static double measure(const Channels& clean, const Channels& test);
};

} // namespace sonabel
