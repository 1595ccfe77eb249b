// Feeds arbitrary bytes to WaveFileReader as a file and drives it the way the
// engine and the panels do: open, reads of several chunk sizes, repeated
// reads of the same chunk, setPosition and skip, looping, close. Besides the
// sanitizers it checks what every caller relies on: counts within the
// chunk, positions within the file, samples within full scale.
//
// The last bytes of an input choose the script; the rest is the file. The
// file lives in a memfd and is opened through its /proc path, so the reader
// runs its ordinary open() on real file descriptors.

#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace sonabel;

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "WaveFileReaderFuzzer: %s\n", what);
    std::abort();
}

void discardLine(const char*) {}

struct Script {
    int chunkA, chunkB, channels;
    int32_t seekTo;
    int32_t skipBy;
    bool loop;
    float srcFactor;
};

// Every sample finite and within the limit. Not instrumented for coverage:
// it says nothing about the reader's paths and would dominate the run time.
__attribute__((no_sanitize("coverage"))) bool samplesWithin(SampleBuffer& buffer, float limit) {
    for (int c = 0; c < buffer.channelCount; ++c) {
        const float* p = buffer.getBuffer(c);
        for (int f = 0; f < buffer.currCount; ++f)
            if (!std::isfinite(p[f]) || std::fabs(p[f]) > limit) return false;
    }
    return true;
}

// Reads one chunk and checks the reader's promises about it.
int32_t readChunk(WaveFileReader& reader, SampleBuffer& buffer, int frames, int32_t readPos, float srcFactor) {
    buffer.setSize(frames, buffer.channelCount);
    if (srcFactor != 0.0f) buffer.makeSilence(0, buffer.currCount);
    const int32_t before = reader.getPosition();
    const int32_t length = reader.getLength();
    const int32_t got = reader.read(buffer, readPos, srcFactor);
    check(got >= 0 && got <= frames, "read count outside the chunk");
    check(reader.getPosition() >= 0 && reader.getPosition() <= length, "position outside the file");
    if (!reader.isLoop() && reader.getPosition() != before)
        check(got == reader.getPosition() - before, "count differs from the frames the position moved");
    const float limit = srcFactor == 0.0f ? 1.0f : std::fabs(srcFactor);
    check(samplesWithin(buffer, limit), "sample out of range");
    return got;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The log file goes wherever the run script points it (/dev/null).
    setOutputHook(&discardLine);
    setDebugThreshold(10);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int fd = ::memfd_create("sonabel-wave-fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0) return 0;

    FuzzedDataProvider provider(data, size);
    Script s{};
    s.chunkA = provider.ConsumeIntegralInRange<int>(1, 1100);
    s.chunkB = provider.ConsumeIntegralInRange<int>(1, 300);
    s.channels = provider.ConsumeIntegralInRange<int>(1, 3);
    s.seekTo = provider.ConsumeIntegral<int16_t>();
    s.skipBy = provider.ConsumeIntegral<int32_t>();
    s.loop = provider.ConsumeBool();
    s.srcFactor = provider.ConsumeBool() ? 0.0f : 0.5f;
    const std::vector<uint8_t> bytes = provider.ConsumeRemainingBytes<uint8_t>();

    if (::ftruncate(fd, 0) != 0) return 0;
    if (!bytes.empty() && ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return 0;

    WaveFileReader reader;
    reader.setFileName(path.c_str());
    reader.open();
    check(reader.isOpen(), "open must keep any readable file open");
    const int32_t length = reader.getLength();
    check(length >= 0 && static_cast<uint64_t>(length) <= bytes.size(), "length beyond the bytes present");
    const WaveFileFormat* format = reader.getFileFormat();
    check(format->isSupported(), "an unusable format escaped open");
    check(reader.available(1) == (length > 0 ? 1 : -1), "available at the start");

    SampleBuffer buffer(s.channels, s.chunkA);
    int32_t readPos = 0;
    int32_t last = 0;
    for (int i = 0; i < 3; ++i, readPos += s.chunkA) last = readChunk(reader, buffer, s.chunkA, readPos, s.srcFactor);
    // The same chunk again: repeated from memory, with the same count.
    const int32_t held = reader.getPosition();
    check(readChunk(reader, buffer, s.chunkA, readPos - s.chunkA, s.srcFactor) == last, "a repeat counts differently");
    check(reader.getPosition() == held, "a repeated chunk moved the position");

    check(reader.setPosition(s.seekTo) == (s.seekTo < 0 ? 0 : (s.seekTo > length ? length : s.seekTo)),
          "setPosition clamps to the file");
    readChunk(reader, buffer, s.chunkB, readPos, s.srcFactor);
    readPos += s.chunkB;
    const int32_t skipped = reader.skip(s.skipBy);
    check(skipped >= 0 && skipped <= length, "skip clamps to the file");

    reader.setLoop(s.loop);
    for (int i = 0; i < 4; ++i, readPos += s.chunkB) {
        const int32_t got = reader.read(buffer, readPos, 0.0f);
        if (s.loop && length > 0) check(got == buffer.currCount, "a looping file fills every chunk");
    }
    if (!s.loop) {
        reader.setPosition(length);
        check(reader.available(s.chunkB) == -1, "available at the end");
        check(reader.read(buffer, readPos + 1, 0.0f) == 0, "nothing after the end");
    }
    reader.close();
    check(!reader.isOpen() && reader.getLength() == 0, "close");
    check(reader.read(buffer, 0, 0.0f) == 0, "read after close");
    return 0;
}
