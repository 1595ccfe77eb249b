#include "wavelet/WaveletFilterBank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace sonabel;

namespace {

const WaveletFilterBank& bank(int i) {
    prepareFilterBanks();
    return waveletFilterBanks[i];
}

// Every published value, as float32: entry, which tap (negative counts from
// the end), value. The stored prototype of a biorthogonal entry is p
// (analysisLow reversed) and q (analysisHigh reversed).
struct Quoted {
    int entry;
    int tap;
    float value;
};

float prototypeTap(int entry, int tap) {
    const WaveletFilterBank& b = bank(entry);
    const int L = b.filterLength;
    const int i = tap < 0 ? L + tap : tap;
    // Orthogonal entries keep h in analysisLow; biorthogonal ones hold p reversed.
    return b.orthogonal ? b.analysisLow[i] : b.analysisLow[L - 1 - i];
}

TEST(WaveletFilterBankTest, TableNamesAndLengths) {
    const std::vector<std::pair<const char*, int>> expected = {
        {"Haar", 2}, {"Daubechies 2", 4}, {"Daubechies 3", 6}, {"Daubechies 4", 8}, {"Daubechies 5", 10},
        {"Daubechies 6", 12}, {"Daubechies 7", 14}, {"Daubechies 8", 16}, {"Daubechies 9", 18},
        {"Daubechies 10", 20}, {"Daubechies 15", 30}, {"Coiflets 5", 30}, {"Symlets 8", 16},
        {"Biorthogonal 3/9", 20}, {"Biorthogonal 6/8", 18}, {"Battle-Lemarie orthonormal 3", 4},
        {"Battle-Lemarie orthonormal 4", 4}, {"Battle-Lemarie orthonormal 5", 6},
        {"Battle-Lemarie orthonormal 6", 6}, {"Battle-Lemarie orthonormal 7", 8},
        {"Battle-Lemarie orthonormal 8", 8}, {"Battle-Lemarie orthonormal 9", 10},
        {"Battle-Lemarie orthonormal 10", 10}, {"Battle-Lemarie orthonormal 15", 16},
        {"Battle-Lemarie orthonormal 20", 20}, {"Battle-Lemarie orthonormal 21", 22},
        {"Battle-Lemarie orthonormal 25", 26}, {"Battle-Lemarie orthonormal 30", 30},
        {"Battle-Lemarie orthonormal 31", 32}, {"Battle-Lemarie orthonormal 49", 50}, {"Spline 6/2", 10},
        {"Spline 6/6", 18}, {"Spline 9/7", 22}};
    ASSERT_EQ(expected.size(), static_cast<size_t>(waveletCount));
    for (int i = 0; i < waveletCount; ++i) {
        EXPECT_STREQ(bank(i).name, expected[static_cast<size_t>(i)].first);
        EXPECT_EQ(bank(i).filterLength, expected[static_cast<size_t>(i)].second) << i;
        EXPECT_EQ(bank(i).orthogonal, !(i == 13 || i == 14 || i >= 30)) << i;
    }
}

TEST(WaveletFilterBankTest, StoredPrototypesMatchThePublishedTaps) {
    const Quoted quoted[] = {
        {0, 0, 0.707106769f}, {0, 1, 0.707106769f},
        {1, 0, 0.482962906f}, {1, 1, 0.836516321f}, {1, 2, 0.224143863f}, {1, 3, -0.129409522f},
        {10, 0, 0.00453853747f}, {10, 1, 0.0467433967f}, {10, 2, 0.206023857f},
        {10, -2, -6.31688238e-07f}, {10, -1, 6.13336013e-08f},
        {11, 0, -0.000212080835f}, {11, 1, 0.000358589692f}, {11, 2, 0.00217823638f},
        {11, -2, -1.67442892e-07f}, {11, -1, -9.51765671e-08f},
        {12, 0, 0.00188995036f}, {12, 1, -0.000302920525f}, {12, 2, -0.0149522582f},
        {12, -2, -0.000542132359f}, {12, -1, -0.00338241598f},
        {15, 0, 0.0f}, {15, 1, 0.375562131f}, {15, 2, 0.663089275f}, {15, 3, 0.375562131f},
        {13, 0, -0.000679744349f}, {13, 9, 0.942125678f}, {13, 10, 0.942125678f}, {13, 19, -0.000679744349f},
        {14, 0, 0.0f}, {14, 9, 0.825923026f}, {14, 8, 0.420796275f}, {14, 10, 0.420796275f},
        {14, 17, 0.00190883176f},
        // Spline 6/x prototypes sit one place earlier than published (their
        // leading 0 moved to the end), so that they reconstruct exactly.
        {30, 0, -0.110485435f}, {30, 4, 3.40295148f}, {30, 9, 0.0f},
        {31, 0, -0.00543795479f}, {31, 8, 2.43257856f}, {31, 17, 0.0f},
        {32, 0, -0.0023143678f}, {32, 10, 4.11031723f}, {32, 11, 4.11031723f}, {32, 21, -0.0023143678f},
    };
    for (const Quoted& q : quoted) EXPECT_EQ(prototypeTap(q.entry, q.tap), q.value) << q.entry << " tap " << q.tap;
}

TEST(WaveletFilterBankTest, LowPassPrototypesSumToRootTwo) {
    for (int i = 0; i < waveletCount; ++i) {
        double sum = 0;
        for (int k = 0; k < bank(i).filterLength; ++k) sum += bank(i).analysisLow[k];
        EXPECT_NEAR(sum, std::sqrt(2.0), 3e-7) << bank(i).name;
    }
}

TEST(WaveletFilterBankTest, HaarDerivation) {
    const float a = 0.707106769f;
    const WaveletFilterBank& b = bank(0);
    EXPECT_EQ(b.analysisLow[0], a);
    EXPECT_EQ(b.analysisLow[1], a);
    EXPECT_EQ(b.analysisHigh[0], a);
    EXPECT_EQ(b.analysisHigh[1], -a);
    EXPECT_EQ(b.synthesisLow[0], a);
    EXPECT_EQ(b.synthesisLow[1], a);
    EXPECT_EQ(b.synthesisHigh[0], -a);
    EXPECT_EQ(b.synthesisHigh[1], a);
}

TEST(WaveletFilterBankTest, BiorthogonalModulationAndSplineHighPass) {
    // q of "Biorthogonal 3/9" turns into the synthesis low-pass at taps 8..11.
    const WaveletFilterBank& b = bank(13);
    const float expected[] = {0.176776692f, 0.530330062f, 0.530330062f, 0.176776692f};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(b.synthesisLow[8 + k], expected[k]);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(b.synthesisLow[k], 0.0f);

    // Spline 6/2: q = 0, 0, the seven short taps, 0 (analysisHigh is q reversed).
    const WaveletFilterBank& s = bank(30);
    const float shortHigh[] = {-0.0220970865f, 0.132582515f, -0.331456304f, 0.441941738f,
                               -0.331456304f, 0.132582515f, -0.0220970865f};
    float q[10];
    for (int i = 0; i < 10; ++i) q[i] = s.analysisHigh[9 - i];
    EXPECT_EQ(q[0], 0.0f);
    EXPECT_EQ(q[1], 0.0f);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(q[2 + k], shortHigh[k]);
    EXPECT_EQ(q[9], 0.0f);
    // Spline 9/7 keeps the plain centring: six zeros in front.
    const WaveletFilterBank& n = bank(32);
    EXPECT_EQ(n.analysisHigh[21 - 6], -0.00276213582f);
    EXPECT_EQ(n.analysisHigh[21 - 5], 0.0f);
}

TEST(WaveletFilterBankTest, SecondPreparationChangesNothing) {
    prepareFilterBanks();
    std::vector<WaveletFilterBank> before(waveletFilterBanks, waveletFilterBanks + waveletCount);
    prepareFilterBanks();
    for (int i = 0; i < waveletCount; ++i)
        EXPECT_EQ(std::memcmp(&before[static_cast<size_t>(i)], &waveletFilterBanks[i], sizeof(WaveletFilterBank)), 0)
            << i;
}

} // namespace
