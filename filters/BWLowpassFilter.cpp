#include "filters/BWLowpassFilter.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sonabel {

namespace {

const ParameterInfo parameterTable[] = {
    {"Gain", 0, 100, PARAM_SLIDER},
    {"Cutoff Hz", 0, 200, PARAM_SLIDER},
    {"Resonance", 0, 200, PARAM_SLIDER},
};

// The fourth-order Butterworth pair, (a0 + a1 s + a2 s^2) / (b0 + b1 s + b2 s^2).
struct PrototypeSection {
    double a0, a1, a2, b0, b1, b2;
};
const PrototypeSection prototype[BWLowpassFilter::sectionCount] = {
    {1.0, 0.0, 0.0, 1.0, 0.765367, 1.0},
    {1.0, 0.0, 0.0, 1.0, 1.847759, 1.0},
};

} // namespace

BWLowpassFilter::BWLowpassFilter() : states(2), coeffLock(createLock()) {
    coeffLock->setName("BWLowpassFilter:Coefficients");
    recompute();
}

BWLowpassFilter::~BWLowpassFilter() { delete coeffLock; }

double BWLowpassFilter::gainOf(int value) { return static_cast<double>(static_cast<float>(value) * 0.01f); }

double BWLowpassFilter::cutoffOf(int value) {
    return std::exp(static_cast<double>(static_cast<float>(value) * 0.05f)) + 20.0;
}

double BWLowpassFilter::resonanceOf(int value) {
    return std::exp(static_cast<double>(static_cast<float>(value) * 0.034482758f));
}

double BWLowpassFilter::limitCutoff(double fc, double sampleRate) {
    double most = sampleRate * maxCutoffRatio;
    return fc > most ? most : fc;
}

void BWLowpassFilter::computeCoefficients(double k0, double fc, double q, double fs, float* out) {
    std::memset(out, 0, sizeof(float) * coeffCount);
    if (!(fs > 0.0) || !(fc > 0.0) || !(q > 0.0)) {
        // No sensible rate to design for: pass the signal with the gain only.
        out[0] = static_cast<float>(k0);
        return;
    }
    const double pi = 4.0 * std::atan2(1.0, 1.0);
    double k = k0;
    for (int j = 0; j < sectionCount; ++j) {
        PrototypeSection p = prototype[j];
        p.b1 /= q;
        // Prewarp, so that the digital cut-off lands on fc.
        double wp = 2.0 * fs * std::tan(pi * fc / fs);
        p.a2 /= wp * wp;
        p.a1 /= wp;
        p.b2 /= wp * wp;
        p.b1 /= wp;
        // Bilinear transform, s = 2 fs (1 - z^-1) / (1 + z^-1).
        double ad = 4.0 * p.a2 * fs * fs + 2.0 * p.a1 * fs + p.a0;
        double bd = 4.0 * p.b2 * fs * fs + 2.0 * p.b1 * fs + p.b0;
        k = k * ad / bd;
        float* c = out + 1 + 4 * j;
        c[0] = static_cast<float>((2.0 * p.b0 - 8.0 * p.b2 * fs * fs) / bd);
        c[1] = static_cast<float>((4.0 * p.b2 * fs * fs - 2.0 * p.b1 * fs + p.b0) / bd);
        c[2] = static_cast<float>((2.0 * p.a0 - 8.0 * p.a2 * fs * fs) / ad);
        c[3] = static_cast<float>((4.0 * p.a2 * fs * fs - 2.0 * p.a1 * fs + p.a0) / ad);
    }
    out[0] = static_cast<float>(k);
}

void BWLowpassFilter::recompute() {
    LockGuard guard(coeffLock);
    double fs = format.sampleRate;
    computeCoefficients(gainOf(gain), limitCutoff(cutoffOf(cutoff), fs), resonanceOf(resonance), fs, coeffs);
}

void BWLowpassFilter::getCoefficients(float* out) {
    LockGuard guard(coeffLock);
    std::memcpy(out, coeffs, sizeof(coeffs));
}

void BWLowpassFilter::setFormat(const AudioFormat& newFormat) {
    // Histories for every channel of the new format, made here rather than in
    // the first chunk.
    if (newFormat.channels > static_cast<int>(states.size())) states.resize(static_cast<size_t>(newFormat.channels));
    LockGuard guard(coeffLock);
    if (format.isSame(newFormat)) return;
    bool rateChanged = format.sampleRate != newFormat.sampleRate;
    format.copyFrom(newFormat);
    if (rateChanged) recompute();
}

const ParameterInfo* BWLowpassFilter::getParameterInfo(int32_t index) {
    return lookupParameterInfo(parameterTable, getParameterCount(), index, "BWLowpassFilter");
}

void BWLowpassFilter::setParameter(int32_t index, int32_t value) {
    if (index < 0 || index >= getParameterCount()) {
        logError(2, "BWLowpassFilter::setParameterValue(%d, %d): number out of range.", index, value);
        return;
    }
    value = clampParameter(parameterTable[index], value);
    {
        LockGuard guard(coeffLock);
        if (index == 0)
            gain = value;
        else if (index == 1)
            cutoff = value;
        else
            resonance = value;
        recompute();
    }
    notifyTextChanged(index);
}

int32_t BWLowpassFilter::getParameter(int32_t index) {
    LockGuard guard(coeffLock);
    if (index == 0) return gain;
    if (index == 1) return cutoff;
    if (index == 2) return resonance;
    return 0;
}

char* BWLowpassFilter::getParameterText(int32_t index, char* buffer, int32_t capacity) {
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    auto size = static_cast<size_t>(capacity);
    LockGuard guard(coeffLock);
    if (index == 0)
        std::snprintf(buffer, size, "%d%% gain", gain);
    else if (index == 1)
        // The cut-off in use, which differs from the slider's only where the
        // rate limits it.
        std::snprintf(buffer, size, "%5.2fHz cut off freq", limitCutoff(cutoffOf(cutoff), format.sampleRate));
    else if (index == 2)
        std::snprintf(buffer, size, "%4.1f resonance", resonanceOf(resonance));
    return buffer;
}

namespace {

// One sample through one section, in direct form II:
//   w = y - beta1 w1 - beta2 w2;  y = w + alpha1 w1 + alpha2 w2;  w2 = w1, w1 = w
// The cascade is y = k x, then section 1, then section 2.
static_assert(BWLowpassFilter::sectionCount == 2, "the kernels below unroll two sections");
inline float section(const float* s, float y, float& w1, float& w2) {
    float w = y - w1 * s[0] - w2 * s[1];
    y = w + w1 * s[2] + w2 * s[3];
    w2 = w1;
    w1 = w;
    return y;
}

} // namespace

// The histories live in locals during the loop so that they stay in
// registers (the samples could otherwise alias them).
void BWLowpassFilter::filterOne(const float* c, float* x, int n, float* history) {
    float a1 = history[0], a2 = history[1], b1 = history[2], b2 = history[3];
    for (int i = 0; i < n; ++i) {
        float y = x[i] * c[0];
        y = section(c + 1, y, a1, a2);
        x[i] = section(c + 5, y, b1, b2);
    }
    history[0] = a1, history[1] = a2, history[2] = b1, history[3] = b2;
}

void BWLowpassFilter::filterPair(const float* c, float* x, float* z, int n, float* hx, float* hz) {
    float xa1 = hx[0], xa2 = hx[1], xb1 = hx[2], xb2 = hx[3];
    float za1 = hz[0], za2 = hz[1], zb1 = hz[2], zb2 = hz[3];
    for (int i = 0; i < n; ++i) {
        float y = x[i] * c[0];
        float v = z[i] * c[0];
        y = section(c + 1, y, xa1, xa2);
        v = section(c + 1, v, za1, za2);
        x[i] = section(c + 5, y, xb1, xb2);
        z[i] = section(c + 5, v, zb1, zb2);
    }
    hx[0] = xa1, hx[1] = xa2, hx[2] = xb1, hx[3] = xb2;
    hz[0] = za1, hz[1] = za2, hz[2] = zb1, hz[3] = zb2;
}

void BWLowpassFilter::process(SampleBuffer& buffer) {
    float c[coeffCount];
    {
        LockGuard guard(coeffLock);
        std::memcpy(c, coeffs, sizeof(c));
    }
    // Every channel keeps its own history; a buffer wider than any format
    // the filter was told about grows them once.
    if (buffer.channelCount > static_cast<int>(states.size())) states.resize(static_cast<size_t>(buffer.channelCount));

    const int n = buffer.currCount;
    int ch = 0;
    // Two channels at a time: their recursions are independent, so the
    // processor can overlap them.
    for (; ch + 1 < buffer.channelCount; ch += 2)
        filterPair(c, buffer.getBuffer(ch), buffer.getBuffer(ch + 1), n, states[static_cast<size_t>(ch)].history,
                   states[static_cast<size_t>(ch) + 1].history);
    for (; ch < buffer.channelCount; ++ch) filterOne(c, buffer.getBuffer(ch), n, states[static_cast<size_t>(ch)].history);
}

} // namespace sonabel
