// Test helper for the PyWavelets oracle scripts: reads commands on standard
// input and prints the filter banks and transform results as text. Floats
// are printed with nine significant digits, which give back the float32
// values exactly.
//
//   banks                               every entry: "bank i L orthogonal",
//                                       then lo, hi, slo, shi, one line each
//   forward wavelet algorithm N         next line: N samples. Prints the
//                                       coefficients ("d count values" per
//                                       level, "a count values") and "y N
//                                       values" from the inverse
//   stream wavelet algorithm N chunks   next lines: chunks lines of N samples,
//                                       transformed in turn with one history;
//                                       prints each chunk's coefficients
//   end
// With the argument "portable", the transform runs the portable kernel set.

#include "wavelet/TransformHistory.h"
#include "wavelet/WaveletCoeffs.h"
#include "wavelet/WaveletFilterBank.h"
#include "wavelet/WaveletKernels.h"
#include "wavelet/WaveletTransform.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace sonabel;

namespace {

void printValues(const char* tag, const float* v, int n) {
    std::printf("%s %d", tag, n);
    for (int i = 0; i < n; ++i) std::printf(" %.9g", static_cast<double>(v[i]));
    std::printf("\n");
}

void printCoeffs(WaveletCoeffs& c) {
    std::printf("levels %d\n", c.getLevelCount());
    for (int j = 0; j < c.getLevelCount(); ++j) {
        int n = 0;
        float* d = c.getDetails(j, n);
        printValues("d", d, n);
    }
    int n = 0;
    float* a = c.getApproximations(n);
    printValues("a", a, n);
}

std::vector<float> readSamples(int N) {
    std::vector<float> x(static_cast<size_t>(N));
    for (auto& v : x) std::cin >> v;
    return x;
}

} // namespace

int main(int argc, char** argv) {
    WaveletTransform transform;
    if (argc > 1 && std::string(argv[1]) == "portable") transform.useKernels(wavelet_kernels::portableKernels());
    std::string command;
    while (std::cin >> command) {
        if (command == "end") break;
        if (command == "banks") {
            for (int i = 0; i < waveletCount; ++i) {
                const WaveletFilterBank& b = waveletFilterBanks[i];
                std::printf("bank %d %d %d\n", i, b.filterLength, b.orthogonal ? 1 : 0);
                printValues("lo", b.analysisLow, b.filterLength);
                printValues("hi", b.analysisHigh, b.filterLength);
                printValues("slo", b.synthesisLow, b.filterLength);
                printValues("shi", b.synthesisHigh, b.filterLength);
            }
        } else if (command == "forward" || command == "stream") {
            int wavelet = 0, algorithm = 0, N = 0, chunks = 1;
            std::cin >> wavelet >> algorithm >> N;
            if (command == "stream") std::cin >> chunks;
            transform.setWavelet(wavelet);
            transform.setAlgorithm(algorithm);
            TransformHistory history;
            WaveletCoeffs coeffs;
            for (int k = 0; k < chunks; ++k) {
                std::vector<float> x = readSamples(N);
                transform.forwardTransform(x.data(), N, coeffs, &history);
                printCoeffs(coeffs);
                if (command == "forward") {
                    std::vector<float> y(static_cast<size_t>(N), 0.0f);
                    transform.inverseTransform(coeffs, y.data());
                    printValues("y", y.data(), N);
                }
            }
        } else {
            std::fprintf(stderr, "unknown command %s\n", command.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
