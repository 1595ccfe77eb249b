#include "render/FrameLimitWriter.h"

#include "core/SampleBuffer.h"

namespace sonabel {

FrameLimitWriter::FrameLimitWriter(AudioWriter* w, int64_t frames) : target(w), remaining(frames < 0 ? 0 : frames) {}

void FrameLimitWriter::write(SampleBuffer& buffer) {
    if (remaining <= 0) return;
    if (buffer.currCount <= remaining) {
        target->write(buffer);
        remaining -= buffer.currCount;
        return;
    }
    buffer.pushSubset(0, static_cast<int>(remaining));
    target->write(buffer);
    buffer.popSubset();
    remaining = 0;
}

} // namespace sonabel
