// The bytes of a stream as the stream readers see them: the first MiB may
// be read again (for a header, or for a copy when no reader takes the
// stream in order), nothing after it, and no seek skips what is not kept.

#include "WaveTestSupport.h"
#include "render/StreamSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class StreamSourceTest : public WaveDirTest {};

TEST_F(StreamSourceTest, ReadsInOrderAndGoesBackOnlyIntoWhatItKeeps) {
    const int64_t limit = static_cast<int64_t>(StreamSource::keepLimit);
    Bytes all(static_cast<size_t>(limit + limit / 2));
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7 + i / 251);
    writeFile(path("stream"), all);
    const int fd = ::open(path("stream").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    StreamSource s(fd);

    EXPECT_EQ(s.peek(12), Bytes(all.begin(), all.begin() + 12));
    EXPECT_EQ(s.tell(), 0) << "a peek does not move";
    // Each step: seek (whence, offset) and its answer, then read n bytes.
    struct Step {
        const char* what;
        int whence;
        int64_t offset;
        int64_t answer; // the position, or -1
        int64_t read;
        bool keepsAll;
    } steps[] = {
        {"a header", SEEK_SET, 0, 0, 40, true},
        {"read again", SEEK_SET, 8, 8, 100, true},
        {"forward within the first MiB", SEEK_CUR, 1000, 1108, 10, true},
        {"forward beyond the first MiB", SEEK_SET, limit + 10, -1, 0, true},
        {"from the end", SEEK_END, 0, -1, 0, true},
        {"back to the start", SEEK_SET, 0, 0, limit + 100, false},
        {"back, once bytes passed unkept", SEEK_SET, 0, -1, 0, false},
        {"where it stands", SEEK_CUR, 0, limit + 100, limit, false},
    };
    int64_t at = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(s.seek(step.offset, step.whence), step.answer);
        if (step.answer >= 0) at = step.answer;
        EXPECT_EQ(s.tell(), at);
        Bytes got(static_cast<size_t>(step.read));
        const int64_t n = s.read(got.data(), step.read);
        const int64_t want = std::min<int64_t>(step.read, static_cast<int64_t>(all.size()) - at);
        ASSERT_EQ(n, want);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, all.begin() + at));
        at += n;
        EXPECT_EQ(s.keepsAll(), step.keepsAll);
    }
    EXPECT_EQ(at, static_cast<int64_t>(all.size())) << "every byte came, in order";
    EXPECT_EQ(s.keptBytes().size(), StreamSource::keepLimit);
    EXPECT_EQ(s.getError(), "");
    ::close(fd);
}

} // namespace
