// The renderer's clip count: a sample counts where x = v * 2^(b-1) would
// round beyond the b-bit range, x >= 2^(b-1) - 0.5 or x < -2^(b-1) - 0.5.
// The values on either side of each bound, for every integer sample size,
// against that rule in double.

#include "WaveTestSupport.h"
#include "core/SampleBuffer.h"
#include "render/OutputFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class OutputFileTest : public WaveDirTest {};

} // namespace

TEST_F(OutputFileTest, ClipCountFollowsTheRoundingBoundsForEverySampleSize) {
    for (int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const double scale = std::ldexp(1.0, bits - 1);
        const double bounds[] = {(scale - 0.5) / scale, (-scale - 0.5) / scale, 1.0, -1.0};
        std::vector<float> values{0.0f, 2.0f, -2.0f, std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(), std::nanf("")};
        for (double bound : bounds) {
            const float f = static_cast<float>(bound);
            for (float v : {std::nextafter(f, -2.0f), f, std::nextafter(f, 2.0f)}) values.push_back(v);
        }
        int64_t expected = 0;
        for (float v : values) {
            const double x = static_cast<double>(v) * scale;
            expected += (x >= scale - 0.5) | (x < -scale - 0.5);
        }

        OutputFile output;
        std::string note, error;
        ASSERT_TRUE(output.choose(path("out.wav"), "", bits, false, 16, false, note, error)) << error;
        output.setFileName(path("out.wav"));
        output.setAudioFormat(AudioFormat(2, 44100.0f));
        output.open();
        ASSERT_TRUE(output.isOpen());
        const int frames = static_cast<int>(values.size());
        SampleBuffer buffer(2, frames);
        for (int i = 0; i < frames; ++i) {
            buffer.getBuffer(0)[i] = values[static_cast<size_t>(i)];
            buffer.getBuffer(1)[i] = values[static_cast<size_t>(frames - 1 - i)];
        }
        buffer.currCount = frames;
        output.write(buffer);
        output.close();
        EXPECT_EQ(output.getClipped(), 2 * expected);
        EXPECT_GE(expected, 6); // the infinities, +-2 and a value past each bound
    }
}
