#pragma once
// Helpers shared by the tests of the wavelet-domain filters.

#include "core/SampleBuffer.h"
#include "filters/FilterListener.h"

#include <cmath>
#include <vector>

namespace sonabel::wavelettest {

// Records every notification.
struct RecordingListener : FilterListener {
    std::vector<int> texts, values;
    std::vector<char> order; // 't' or 'v', in call order
    void parameterTextChanged(AudioFilter*, int index) override {
        texts.push_back(index);
        order.push_back('t');
    }
    void parameterValueChanged(AudioFilter*, int index) override {
        values.push_back(index);
        order.push_back('v');
    }
};

// A deterministic, non-trivial signal in [-0.9, 0.9] per channel.
inline void fillSignal(SampleBuffer& b, float phase = 0.0f) {
    for (int c = 0; c < b.channelCount; ++c) {
        float* p = b.getBuffer(c);
        for (int i = 0; i < b.currCount; ++i)
            p[i] = 0.6f * std::sin(0.05f * static_cast<float>(i) + phase + static_cast<float>(c)) +
                   0.3f * std::sin(1.3f * static_cast<float>(i) * static_cast<float>(c + 1));
    }
}

inline std::vector<float> channel(SampleBuffer& b, int c) {
    return std::vector<float>(b.getBuffer(c), b.getBuffer(c) + b.currCount);
}

} // namespace sonabel::wavelettest
