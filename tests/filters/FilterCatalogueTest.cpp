#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"

#include <gtest/gtest.h>

#include <memory>

using namespace sonabel;

TEST(FilterCatalogueTest, ThirteenFiltersInTheAddDialogsOrder) {
    const char* names[] = {"Forward Wavelet Transform", "Inverse Wavelet Transform", "Noise generator",
                           "Wavelet Denoiser",          "Difference listener begin", "Difference listener end",
                           "Wavelet Display",           "Time domain Display",       "Statistics",
                           "Display Wavelet function",  "Wavelet Equalizer",         "Butterworth Lowpass",
                           "Delay"};
    ASSERT_EQ(getFilterCount(), 13);
    for (int i = 0; i < 13; ++i) {
        std::unique_ptr<AudioFilter> f(createFilter(i));
        ASSERT_NE(f, nullptr) << i;
        EXPECT_STREQ(f->getName(), names[i]);
        EXPECT_STREQ(f->getAuthor(), "Orvanel");
        EXPECT_TRUE(f->isActive()) << "new filters take part";
        EXPECT_EQ(f->getFormat()->channels, 2);
        EXPECT_EQ(f->getFormat()->sampleRate, 44100.0f);
    }
    EXPECT_EQ(createFilter(-1), nullptr);
    EXPECT_EQ(createFilter(13), nullptr);
}
