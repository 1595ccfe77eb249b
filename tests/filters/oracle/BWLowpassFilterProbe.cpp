// Prints the magnitude response of "Butterworth Lowpass" at gain 100% for one
// sample rate and cut-off step, for the oracle script to compare with scipy:
//   BWLowpassFilterProbe RATE CUTOFF_STEP RESONANCE_STEP
// One line per frequency from 20 Hz to RATE/4: the frequency in Hz, the
// response of the coefficient set in use (in double precision) in dB, and
// the gain measured by running a sine through the filter, in dB.

#include "core/SampleBuffer.h"
#include "filters/BWLowpassFilter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>

using namespace sonabel;

namespace {

const double pi = 3.14159265358979323846;

// H(z) = k * prod (1 + alpha1 z^-1 + alpha2 z^-2) / (1 + beta1 z^-1 + beta2 z^-2)
double designedDb(const float* c, double freq, double fs) {
    std::complex<double> z1 = std::polar(1.0, -2.0 * pi * freq / fs);
    std::complex<double> h = c[0];
    for (int j = 0; j < BWLowpassFilter::sectionCount; ++j) {
        const float* s = c + 1 + 4 * j;
        h *= (1.0 + static_cast<double>(s[2]) * z1 + static_cast<double>(s[3]) * z1 * z1) /
             (1.0 + static_cast<double>(s[0]) * z1 + static_cast<double>(s[1]) * z1 * z1);
    }
    return 20.0 * std::log10(std::abs(h));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: BWLowpassFilterProbe RATE CUTOFF_STEP RESONANCE_STEP\n");
        return 2;
    }
    const double fs = std::atof(argv[1]);
    const int cutoff = std::atoi(argv[2]);
    const int resonance = std::atoi(argv[3]);
    const int points = 60;
    for (int p = 0; p < points; ++p) {
        double want = 20.0 * std::pow(fs / 4.0 / 20.0, p / (points - 1.0));
        // A whole number of periods in about a second, so the measurement
        // sees no leakage; the frequency moves a little to make them fit.
        int periods = std::max(1, static_cast<int>(std::lround(want)));
        int length = static_cast<int>(std::lround(periods * fs / want));
        double freq = periods * fs / length;
        double w = 2.0 * pi * periods / length;

        BWLowpassFilter f;
        f.setFormat(AudioFormat(1, static_cast<float>(fs)));
        f.setParameter(0, 100);
        f.setParameter(1, cutoff);
        f.setParameter(2, resonance);
        float c[BWLowpassFilter::coeffCount];
        f.getCoefficients(c);

        const int settle = static_cast<int>(2 * fs);
        SampleBuffer b(1, settle + length);
        float* x = b.getBuffer(0);
        for (int i = 0; i < settle + length; ++i) x[i] = static_cast<float>(0.5 * std::sin(w * i));
        f.process(b);
        double s = 0.0, q = 0.0;
        for (int i = settle; i < settle + length; ++i) {
            s += x[i] * std::sin(w * i);
            q += x[i] * std::cos(w * i);
        }
        double measured = 20.0 * std::log10(2.0 * std::sqrt(s * s + q * q) / length / 0.5);
        std::printf("%.9f %.9f %.9f\n", freq, designedDb(c, freq, fs), measured);
    }
    return 0;
}
