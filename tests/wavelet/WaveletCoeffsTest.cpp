#include "LogCapture.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"
#include "wavelet/WaveletTransform.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sonabel;
using sonabel::test::LogCapture;

namespace {

std::vector<float> ramp(int n) {
    std::vector<float> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = static_cast<float>(i % 17) / 17.0f - 0.5f;
    return x;
}

std::vector<int> levelSizes(WaveletCoeffs& c) {
    std::vector<int> sizes;
    for (int j = 0; j < c.getLevelCount(); ++j) {
        int n = 0;
        c.getDetails(j, n);
        sizes.push_back(n);
    }
    int n = 0;
    c.getApproximations(n);
    sizes.push_back(n);
    return sizes;
}

TEST(WaveletCoeffsTest, LevelSizesForPaddingAndWrapLayouts) {
    struct Case {
        int wavelet, algorithm, N;
        std::vector<int> sizes; // details from level 1, then the approximations
    };
    const Case cases[] = {
        {0, 1, 1024, {512, 256, 128, 64, 32, 16, 8, 4, 2, 2}},
        {2, 1, 1024, {514, 259, 132, 68, 36, 20, 12, 8, 6, 6}},
        {2, 4, 1024, {512, 256, 128, 64, 32, 16, 8, 4, 2, 2}},
        {2, 4, 8, {4, 2, 2}},
        {2, 1, 4, {4, 4}},
        {2, 1, 3, {3}},
    };
    WaveletTransform t;
    for (const Case& c : cases) {
        t.setWavelet(c.wavelet);
        t.setAlgorithm(c.algorithm);
        WaveletCoeffs coeffs;
        auto x = ramp(c.N);
        t.forwardTransform(x.data(), c.N, coeffs, nullptr);
        EXPECT_EQ(levelSizes(coeffs), c.sizes) << c.wavelet << "/" << c.algorithm << "/" << c.N;
        // The store holds the levels back to back, approximations last.
        int n = 0;
        float* approx = coeffs.getApproximations(n);
        EXPECT_EQ(coeffs.wrapOrder != nullptr, c.algorithm == 4);
        if (c.algorithm != 4) {
            int offset = 0;
            for (size_t j = 0; j + 1 < c.sizes.size(); ++j) offset += c.sizes[j];
            EXPECT_EQ(approx, coeffs.getStore() + offset);
        }
    }
}

TEST(WaveletCoeffsTest, CoreIsTheMiddleOfEachLevel) {
    WaveletTransform t;
    t.setWavelet(2); // L = 6
    WaveletCoeffs coeffs;
    auto x = ramp(1024);
    t.forwardTransform(x.data(), 1024, coeffs, nullptr);
    int n = 0, core = 0;
    float* level1 = coeffs.getDetails(0, n);
    EXPECT_EQ(coeffs.getCore(0, core), level1 + 1);
    EXPECT_EQ(core, 512);
    float* level9 = coeffs.getDetails(8, n);
    EXPECT_EQ(coeffs.getCore(8, core), level9 + 2);
    EXPECT_EQ(core, 2);
    float* approx = coeffs.getApproximations(n);
    EXPECT_EQ(coeffs.getCore(-1, core), approx + 2);
    EXPECT_EQ(core, 2);
    EXPECT_EQ(coeffs.getLevelLength(-1), 1024);
    EXPECT_EQ(coeffs.getLevelLength(0), 514);
    EXPECT_EQ(coeffs.getLevelLength(9), 0);
}

TEST(WaveletCoeffsTest, OutOfRangeLevelsReportAndYieldNothing) {
    LogCapture log;
    WaveletCoeffs coeffs;
    coeffs.prepare(8, 2);
    int n = 7;
    EXPECT_EQ(coeffs.getDetails(0, n), nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(log.hasError("WaveletCoeffs::getDetails(0, count): out of range.", 2));
    EXPECT_EQ(coeffs.getDetails(-1, n), nullptr);
    EXPECT_TRUE(log.hasError("WaveletCoeffs::getDetails(-1, count): out of range.", 2));
}

TEST(WaveletCoeffsTest, CapacityCoversTinyChunksAndNeverShrinks) {
    EXPECT_EQ(WaveletCoeffs::storeCapacity(1, 50), 1); // the formula alone gives 1 - 100
    EXPECT_EQ(WaveletCoeffs::storeCapacity(1024, 6), 1024 + 2 * 6 * 9);
    WaveletCoeffs coeffs;
    coeffs.prepare(1024, 6);
    const int big = coeffs.getStoreCapacity();
    coeffs.prepare(16, 2);
    EXPECT_EQ(coeffs.getStoreCapacity(), big);
    EXPECT_EQ(coeffs.signalLength, 16);
    EXPECT_EQ(coeffs.getLevelCount(), 0);
}

TEST(WaveletCoeffsTest, CopyIsIndependentWithTheSameLayout) {
    WaveletTransform t;
    t.setWavelet(2);
    for (int algorithm : {1, 4}) {
        t.setAlgorithm(algorithm);
        WaveletCoeffs a, b;
        auto x = ramp(256);
        t.forwardTransform(x.data(), 256, a, nullptr);
        b.copyCoeffs(a);
        ASSERT_EQ(levelSizes(a), levelSizes(b));
        int na = 0, nb = 0;
        float* da = a.getDetails(3, na);
        float* db = b.getDetails(3, nb);
        EXPECT_NE(da, db);
        EXPECT_EQ(da - a.getStore(), db - b.getStore());
        EXPECT_EQ(std::vector<float>(da, da + na), std::vector<float>(db, db + nb));
        const float kept = db[0];
        db[0] += 1.0f;
        EXPECT_NE(da[0], db[0]);
        EXPECT_EQ(b.wrapOrder == nullptr, algorithm != 4);
        if (b.wrapOrder) {
            EXPECT_EQ(b.wrapOrder, b.getStore());
        }
        // The copy rebuilds like the original.
        std::vector<float> ya(256), yb(256);
        db[0] = kept;
        t.inverseTransform(a, ya.data());
        t.inverseTransform(b, yb.data());
        EXPECT_EQ(ya, yb);
    }
}

TEST(WaveletCoeffsTest, FilterInfoChecksItsChannel) {
    LogCapture log;
    WTFilterInfo info(2, nullptr);
    info.usedChannels = 2;
    EXPECT_EQ(&info.getCoeffs(1), &info.getChannelCoeffs(1));
    EXPECT_EQ(&info.getCoeffs(2), &info.getChannelCoeffs(0));
    EXPECT_TRUE(log.hasError("Wrong argument to WTFilterInfo::getCoeffs", 1));
    EXPECT_EQ(log.errorHookLines().size(), 1u);
}

} // namespace
