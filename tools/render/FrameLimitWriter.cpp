#include "render/FrameLimitWriter.h"

#include "core/SampleBuffer.h"

#include <utility>

namespace sonabel {

FrameLimitWriter::FrameLimitWriter(AudioWriter* w, int64_t frames)
    : target(w), limit([frames] { return frames < 0 ? int64_t{0} : frames; }) {}

FrameLimitWriter::FrameLimitWriter(AudioWriter* w, std::function<int64_t()> l) : target(w), limit(std::move(l)) {}

void FrameLimitWriter::write(SampleBuffer& buffer) {
    const int64_t remaining = limit() - passed;
    if (remaining <= 0) return;
    if (buffer.currCount <= remaining) {
        target->write(buffer);
        passed += buffer.currCount;
        return;
    }
    buffer.pushSubset(0, static_cast<int>(remaining));
    target->write(buffer);
    buffer.popSubset();
    passed += remaining;
}

} // namespace sonabel
