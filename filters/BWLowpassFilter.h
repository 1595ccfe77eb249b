#pragma once
// Resonant fourth-order lowpass: the Butterworth prototype as two cascaded
// second-order sections, mapped to the sample rate by the bilinear transform
// with the cut-off prewarped, then run in direct form II per section.
//
// Threads: process on the audio thread; setParameter on the interface thread;
// setFormat on the audio thread. The coefficient set is written and read
// whole under coeffLock, which neither side holds for longer than it takes to
// compute or copy nine numbers, so a chunk always runs on one complete set.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"

#include <vector>

namespace sonabel {

class Lock;
class SampleBuffer;

class BWLowpassFilter : public AudioFilter {
public:
    static constexpr int sectionCount = 2;
    // [overall gain k, then per section beta1, beta2, alpha1, alpha2]
    static constexpr int coeffCount = 4 * sectionCount + 1;
    // The cut-off never exceeds this fraction of the sample rate: at half the
    // rate the prewarp tan(pi fc / fs) runs off to infinity and beyond it
    // flips sign. The margin leaves the slider's range at 44100 Hz and above
    // untouched and limits only lower rates.
    static constexpr double maxCutoffRatio = 0.49995;

    BWLowpassFilter();
    ~BWLowpassFilter() override;

    const char* getName() override { return "Butterworth Lowpass"; }
    const char* getDescription() override { return "Only written for testing the audio framework."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 3; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    // The slider mappings: gain k0, cut-off fc in Hz (before the limit) and Q.
    static double gainOf(int value);
    static double cutoffOf(int value);
    static double resonanceOf(int value);
    // The cut-off actually used at that sample rate.
    static double limitCutoff(double fc, double sampleRate);
    // Bilinear design of the cascade for pass-band gain k0, cut-off fc (Hz),
    // resonance q and sample rate fs (Hz), into coeffs[coeffCount].
    static void computeCoefficients(double k0, double fc, double q, double fs, float* coeffs);
    // A copy of the coefficient set now in use.
    void getCoefficients(float* coeffs);

private:
    // Per channel: w1, w2 of each section.
    struct ChannelState {
        float history[2 * sectionCount] = {};
    };
    void recompute();
    // The cascade over n samples of one channel, or of two side by side.
    static void filterOne(const float* c, float* x, int n, float* history);
    static void filterPair(const float* c, float* x, float* z, int n, float* hx, float* hz);

    int gain = 90;
    int resonance = 0;
    int cutoff = 120;
    std::vector<ChannelState> states; // at least two; grows with the channels
    AudioFormat format;
    float coeffs[coeffCount] = {};
    Lock* coeffLock;
};

} // namespace sonabel
