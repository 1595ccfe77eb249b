#include "filters/BrushTable.h"

#include <gtest/gtest.h>

using namespace sonabel;

namespace {

TEST(BrushTableTest, EveryModeAtZeroHalfAndBothEnds) {
    struct Row {
        int mode;
        DisplayColour at0, at255, at383, at510;
    };
    // Index 0 is the most negative value, 255 zero, 383 half way up (k = 128)
    // and 510 the most positive.
    const Row rows[] = {
        {0, {255, 255, 255}, {0, 0, 0}, {128, 128, 128}, {255, 255, 255}},
        {1, {254, 254, 255}, {0, 0, 0}, {0, 0, 255}, {254, 254, 255}},
        {2, {255, 254, 254}, {0, 0, 0}, {255, 0, 0}, {255, 254, 254}},
        {3, {254, 255, 254}, {0, 0, 0}, {0, 255, 0}, {254, 255, 254}},
        {4, {255, 255, 62}, {192, 0, 0}, {255, 127, 0}, {255, 255, 62}},
        {5, {255, 255, 189}, {0, 0, 64}, {255, 0, 0}, {255, 255, 189}},
        {6, {255, 254, 254}, {0, 0, 0}, {0, 0, 255}, {254, 254, 255}},
    };
    for (const Row& r : rows) {
        const BrushTable& t = BrushTable::forMode(r.mode);
        EXPECT_EQ(t[0], r.at0) << "mode " << r.mode;
        EXPECT_EQ(t[255], r.at255) << "mode " << r.mode;
        EXPECT_EQ(t[383], r.at383) << "mode " << r.mode;
        EXPECT_EQ(t[510], r.at510) << "mode " << r.mode;
    }
}

TEST(BrushTableTest, RampBoundaries) {
    // The colours on either side of each bend of the two multi-part ramps,
    // as 255 + k.
    struct Row {
        int mode, k;
        DisplayColour colour;
    };
    const Row rows[] = {
        {4, 31, {254, 0, 0}},   {4, 32, {255, 0, 0}},    {4, 96, {255, 85, 0}},   {4, 223, {255, 253, 0}},
        {4, 224, {255, 255, 0}}, {5, 63, {0, 0, 253}},   {5, 64, {0, 0, 255}},    {5, 127, {252, 0, 3}},
        {5, 191, {255, 252, 0}}, {5, 192, {255, 255, 0}}, {1, 127, {0, 0, 254}},  {6, 127, {0, 0, 254}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(BrushTable::forMode(r.mode)[255 + r.k], r.colour) << "mode " << r.mode << " k " << r.k;
    // Mode 6 alone tells the sign.
    EXPECT_EQ(BrushTable::forMode(6)[255 - 127], (DisplayColour{254, 0, 0}));
    for (int mode = 0; mode < 6; ++mode)
        for (int k = 0; k < 256; ++k)
            ASSERT_EQ(BrushTable::forMode(mode)[255 - k], BrushTable::forMode(mode)[255 + k]) << mode << " " << k;
}

} // namespace
