#include "render/StreamProgress.h"

#include "render/InputFile.h"

namespace sonabel {

StreamProgress::StreamProgress(InputFile& in) : input(in) {}

AudioFormat* StreamProgress::getAudioFormat() { return input.reader()->getAudioFormat(); }
int32_t StreamProgress::available(int32_t count) { return input.reader()->available(count); }
void StreamProgress::open() { input.reader()->open(); }
void StreamProgress::close() { input.reader()->close(); }
bool StreamProgress::isOpen() { return input.reader()->isOpen(); }
void StreamProgress::start() { input.reader()->start(); }
void StreamProgress::stop() { input.reader()->stop(); }
bool StreamProgress::isStarted() { return input.reader()->isStarted(); }

int32_t StreamProgress::read(SampleBuffer& buffer, int32_t readPos, float srcFactor) {
    const int32_t got = input.reader()->read(buffer, readPos, srcFactor);
    position.store(input.reader()->getPosition(), std::memory_order_relaxed);
    // Kept before the close forgets them; allocates only once, on the error.
    if (errorFrame < 0 && input.getReadErrorFrame() >= 0) {
        error = input.getReadError();
        errorFrame = input.getReadErrorFrame();
    }
    frames.store(input.getFramesRead(), std::memory_order_release);
    ended.store(input.hasEnded() || errorFrame >= 0, std::memory_order_release);
    return got;
}

} // namespace sonabel
