#pragma once
// "Forward Wavelet Transform": transforms every channel of each chunk and
// attaches the coefficients (a WTFilterInfo it owns) to the buffer. The
// samples stay as they are; coefficient filters after it change the
// coefficients, and a WTInverseFilter further on calls rebuild to turn them
// back into samples and clear the attachment.
//
// process and rebuild run on the audio thread; the parameter operations on
// the interface thread. One lock guards the transform, the info and the
// histories against both.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"
#include "wavelet/WaveletTransform.h"

namespace sonabel {

class Lock;
class TransformHistory;
class WTFilterInfo;

class WTForwardFilter : public AudioFilter {
public:
    WTForwardFilter();
    ~WTForwardFilter() override;

    const char* getName() override { return "Forward Wavelet Transform"; }
    const char* getDescription() override {
        return "Put this before filters needing the wavelet transform. After them, put a Inverse Wavelet filter.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 2; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    // Rebuilds the first signalLength samples of every transformed channel
    // from the coefficients attached to buffer (which must be this filter's
    // current info) and clears the attachment. A window shorter than the
    // coefficients' signal is left alone, attachment included.
    void rebuild(SampleBuffer& buffer);
    // The info this filter attaches now (null before the first chunk).
    WTFilterInfo* getFilterInfo() const { return info; }

private:
    AudioFormat format;
    WaveletTransform transform;
    WTFilterInfo* info = nullptr;
    TransformHistory** histories = nullptr;
    int historyCount = 0;
    Lock* lock;
};

} // namespace sonabel
