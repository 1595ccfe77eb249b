// The capture queue's own overflows: blocks the device delivers while no
// buffer is queued for all of them are counted once each, apart from the
// frames they cost.

#include "ScriptedCaptureQueue.h"
#include "core/AudioDeviceFormat.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sonabel;
using namespace sonabel::test;

TEST(CaptureOverflow, BlocksWithNoBufferForThemAreCountedOnce) {
    struct Case {
        const char* what;
        std::vector<int32_t> buffers; // frames of each queued buffer
        std::vector<int32_t> blocks;  // frames of each block delivered
        int64_t droppedFrames;
        int64_t overflowBlocks;
    };
    const std::vector<Case> cases = {
        {"nothing queued", {}, {256}, 256, 1},
        {"room for the block", {512}, {256}, 0, 0},
        {"room for part of it", {512}, {768}, 256, 1},
        {"across two buffers", {256, 256}, {512}, 0, 0},
        {"full after the first", {256}, {256, 256, 256}, 512, 2},
        {"an empty block is no overflow", {}, {0}, 0, 0},
    };
    for (const Case& c : cases) {
        ScriptedCaptureQueue queue;
        const AudioDeviceFormat format(2, 44100.0f, 16);
        ASSERT_EQ(queue.open(0, format, nullptr), mmresult::ok) << c.what;
        std::vector<std::vector<uint8_t>> memory;
        std::vector<CaptureBuffer> headers(c.buffers.size());
        for (size_t i = 0; i < c.buffers.size(); ++i) {
            memory.emplace_back(static_cast<size_t>(c.buffers[i]) * 4);
            headers[i].data = memory.back().data();
            headers[i].bufferLength = c.buffers[i] * 4;
            ASSERT_EQ(queue.prepare(&headers[i]), mmresult::ok) << c.what;
            ASSERT_EQ(queue.add(&headers[i]), mmresult::ok) << c.what;
        }
        for (int32_t frames : c.blocks) queue.capture(frames, 0.25f);
        EXPECT_EQ(queue.droppedFrames.load(), c.droppedFrames) << c.what;
        EXPECT_EQ(queue.getOverflowBlocks(), c.overflowBlocks) << c.what;
        EXPECT_EQ(queue.getServerXruns(), 0) << c.what << ": the server's are apart";
        queue.close();
    }
}
