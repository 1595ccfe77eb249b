// Every PCM kernel set this processor runs against the reference loops, bit
// for bit: every 8- and 16-bit value in every layout, one, two and three
// channels, overwrite and mixing; on encode the half steps on both sides,
// clipping just beyond full scale, signed zeros, NaN, infinities, denormals
// and random values. Odd lengths and odd addresses reach the vector tails.

#include "core/PCMKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace sonabel::pcm_kernels;

namespace {

std::vector<const KernelSet*> setsThisMachineRuns() {
    std::vector<const KernelSet*> sets{&portableKernels()};
    if (avx2Kernels()) sets.push_back(avx2Kernels());
    if (avx512Kernels()) sets.push_back(avx512Kernels());
    return sets;
}

const PCMLayout layouts[] = {
    {8, false, false}, {8, false, true}, {16, false, true}, {16, true, true}, {16, false, false}, {16, true, false},
};

std::string describe(const KernelSet& set, PCMLayout l, int stride) {
    return std::string(set.isa) + ", " + std::to_string(l.bits) + " bits" + (l.bigEndian ? " big" : " little") +
           (l.signedSamples ? " signed" : " unsigned") + ", stride " + std::to_string(stride);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Floats on and around every rounding decision of both widths, and the
// values that clip or have no sample value.
std::vector<float> encodeInputs() {
    std::vector<float> v;
    const float inf = std::numeric_limits<float>::infinity();
    for (float s : {32768.0f, 128.0f})
        for (int k = -static_cast<int>(s) - 2; k <= static_cast<int>(s) + 1; ++k) {
            const float half = (static_cast<float>(k) + 0.5f) / s;
            v.insert(v.end(), {static_cast<float>(k) / s, half, std::nextafter(half, inf), std::nextafter(half, -inf)});
        }
    v.insert(v.end(), {0.0f, -0.0f, 1.0f, -1.0f, std::nextafter(1.0f, 2.0f), std::nextafter(-1.0f, -2.0f), 1.5f,
                       -1.5f, 0.49999f, 32767.5f / 32768.0f, -32768.5f / 32768.0f, 1e30f, -1e30f, 3e38f, inf, -inf,
                       std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                       1e-30f, 0.5f / 32768.0f - 1e-12f});
    std::mt19937 random(14);
    std::uniform_real_distribution<float> wide(-1.2f, 1.2f);
    for (int i = 0; i < 20000; ++i) v.push_back(wide(random));
    return v;
}

TEST(PCMKernelsTest, DecodeMatchesTheReferenceForEveryValue) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> prior(-1.0f, 1.0f);
    for (const KernelSet* set : setsThisMachineRuns())
        for (const PCMLayout& layout : layouts)
            for (int stride : {1, 2, 3}) {
                SCOPED_TRACE(describe(*set, layout, stride));
                // Every value of the width in every channel position, one
                // byte off alignment, an odd frame count.
                const int values = layout.bits == 8 ? 256 : 65536;
                const int frames = values + 13;
                std::vector<uint8_t> bytes(1 + static_cast<size_t>(frames) * static_cast<size_t>(stride) * 2);
                for (int j = 0; j < frames * stride; ++j) {
                    const int f = j / stride, c = j % stride;
                    const int value = layout.bits == 8 ? (f * 37 + c * 101) % 256 : (f * 7 + c * 12345) % 65536;
                    if (layout.bits == 8) {
                        bytes[1 + static_cast<size_t>(j)] = static_cast<uint8_t>(value);
                    } else {
                        bytes[1 + 2 * static_cast<size_t>(j)] = static_cast<uint8_t>(value & 0xff);
                        bytes[2 + 2 * static_cast<size_t>(j)] = static_cast<uint8_t>(value >> 8);
                    }
                }
                for (int channel = 0; channel < stride; ++channel) {
                    const uint8_t* src = bytes.data() + 1 + channel * (layout.bits / 8);
                    for (float srcFactor : {0.0f, 1.0f, 0.5f, -1.7f, 3e-3f}) {
                        std::vector<float> want(static_cast<size_t>(frames));
                        for (float& x : want) x = prior(random);
                        std::vector<float> got = want;
                        decodeReference(src, stride, want.data(), frames, srcFactor, layout);
                        set->decode(src, stride, got.data(), frames, srcFactor, layout);
                        ASSERT_TRUE(sameBits(got, want)) << "channel " << channel << ", srcFactor " << srcFactor;
                    }
                }
                // Short runs: only the tails.
                for (int n = 0; n < 70; ++n) {
                    std::vector<float> want(static_cast<size_t>(n) + 1, 0.25f), got = want;
                    decodeReference(bytes.data() + 3, stride, want.data(), n, 0.75f, layout);
                    set->decode(bytes.data() + 3, stride, got.data(), n, 0.75f, layout);
                    ASSERT_TRUE(sameBits(got, want)) << n << " frames";
                }
            }
}

TEST(PCMKernelsTest, EncodeMatchesTheReferenceOnEveryRoundingStep) {
    const std::vector<float> in = encodeInputs();
    const int frames = static_cast<int>(in.size());
    for (const KernelSet* set : setsThisMachineRuns())
        for (const PCMLayout& layout : layouts)
            for (int stride : {1, 2, 3}) {
                SCOPED_TRACE(describe(*set, layout, stride));
                const size_t size = 1 + static_cast<size_t>(frames) * static_cast<size_t>(stride) * 2;
                for (int channel = 0; channel < stride; ++channel) {
                    std::vector<uint8_t> want(size, 0xA5), got(size, 0xA5);
                    const int offset = 1 + channel * (layout.bits / 8);
                    encodeReference(in.data(), want.data() + offset, stride, frames, layout);
                    set->encode(in.data(), got.data() + offset, stride, frames, layout);
                    ASSERT_EQ(got, want) << "channel " << channel << " (other channels' bytes stay)";
                }
                for (int n = 0; n < 70; ++n) {
                    const size_t shortSize = 2 + static_cast<size_t>(n) * static_cast<size_t>(stride) * 2;
                    std::vector<uint8_t> want(shortSize, 0x5A), got(shortSize, 0x5A);
                    encodeReference(in.data() + 5, want.data() + 1, stride, n, layout);
                    set->encode(in.data() + 5, got.data() + 1, stride, n, layout);
                    ASSERT_EQ(got, want) << n << " frames";
                }
            }
}

TEST(PCMKernelsTest, PairEncodesBothChannelsAsTheReferenceDoes) {
    const std::vector<float> left = encodeInputs();
    std::vector<float> right(left.rbegin(), left.rend());
    for (const KernelSet* set : setsThisMachineRuns())
        for (const PCMLayout& layout : layouts)
            for (int frames : {static_cast<int>(left.size()), 0, 1, 31, 33, 65}) {
                SCOPED_TRACE(describe(*set, layout, 2) + ", " + std::to_string(frames) + " frames");
                const size_t size = 1 + left.size() * 2 * 2;
                std::vector<uint8_t> want(size, 0xC3), got(size, 0xC3);
                const int bytes = layout.bits / 8;
                encodeReference(left.data(), want.data() + 1, 2, frames, layout);
                encodeReference(right.data(), want.data() + 1 + bytes, 2, frames, layout);
                set->encodePair(left.data(), right.data(), got.data() + 1, frames, layout);
                ASSERT_EQ(got, want);
            }
}

// The rule itself, so that the reference cannot drift with the sets.
TEST(PCMKernelsTest, ReferenceRoundsHalfStepsUpAndClips) {
    struct {
        float v;
        int bits;
        int expected;
    } cases[] = {
        {0.5f / 32768.0f, 16, 1},      {-0.5f / 32768.0f, 16, 0},  {1.5f / 32768.0f, 16, 2},
        {-1.5f / 32768.0f, 16, -1},    {1.0f, 16, 32767},          {std::nextafter(-1.0f, -2.0f), 16, -32768},
        {0.49999f, 16, 16384},         {-0.0f, 16, 0},             {std::numeric_limits<float>::quiet_NaN(), 16, 0},
        {0.5f / 128.0f, 8, 1},         {1.0f, 8, 127},             {-1.0f, 8, -128},
        {-2.5f / 128.0f, 8, -2},       {std::numeric_limits<float>::infinity(), 8, 127},
    };
    for (const auto& c : cases) {
        uint8_t out[2] = {};
        encodeReference(&c.v, out, 1, 1, {c.bits, false, true});
        const int got = c.bits == 8 ? static_cast<int8_t>(out[0]) : static_cast<int16_t>(out[0] | (out[1] << 8));
        EXPECT_EQ(got, c.expected) << c.v << " at " << c.bits << " bits";
    }
}

} // namespace
