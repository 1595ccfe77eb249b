#include "io/CaptureQueue.h"

#include "core/AudioDeviceFormat.h"
#include "io/AudioEvent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sonabel {

void CaptureQueue::setLayout(const AudioDeviceFormat& format) {
    bits = format.getBitsPerSample();
    channels = format.channels;
    bytesPerFrame = bits * channels / 8;
}

uint32_t CaptureQueue::prepare(CaptureBuffer* buffer) {
    if (!buffer || !buffer->data || buffer->bufferLength <= 0) return mmresult::invalidParam;
    buffer->flags.fetch_or(CaptureBuffer::prepared, std::memory_order_relaxed);
    return mmresult::ok;
}

uint32_t CaptureQueue::unprepare(CaptureBuffer* buffer) {
    if (!buffer) return mmresult::invalidParam;
    if (buffer->flags.load(std::memory_order_acquire) & CaptureBuffer::inQueue) return mmresult::stillPlaying;
    buffer->flags.fetch_and(~CaptureBuffer::prepared, std::memory_order_relaxed);
    return mmresult::ok;
}

uint32_t CaptureQueue::add(CaptureBuffer* buffer) {
    if (!buffer || !buffer->data) return mmresult::invalidParam;
    const uint32_t f = buffer->flags.load(std::memory_order_relaxed);
    if (!(f & CaptureBuffer::prepared)) return mmresult::unprepared;
    if (f & CaptureBuffer::inQueue) return mmresult::stillPlaying;
    const uint32_t t = tail.load(std::memory_order_relaxed);
    if (t - head.load(std::memory_order_acquire) >= capacity) return mmresult::noMem;
    buffer->bytesRecorded.store(0, std::memory_order_relaxed);
    buffer->flags.store((f & ~CaptureBuffer::done) | CaptureBuffer::inQueue, std::memory_order_relaxed);
    queue[t % capacity] = buffer;
    tail.store(t + 1, std::memory_order_release);
    return mmresult::ok;
}

void CaptureQueue::captureBlock(const float* in, int32_t frames) {
    const int32_t samples = frames * channels;
    int32_t s = 0;
    bool finished = false;
    while (s < samples) {
        const uint32_t h = head.load(std::memory_order_relaxed);
        if (h == tail.load(std::memory_order_acquire)) {
            droppedFrames.fetch_add((samples - s) / channels, std::memory_order_relaxed);
            overflowBlocks.fetch_add(1, std::memory_order_relaxed);
            break;
        }
        CaptureBuffer* b = queue[h % capacity];
        int32_t recorded = b->bytesRecorded.load(std::memory_order_relaxed);
        uint8_t* p = b->data + recorded;
        while (s < samples && recorded < b->bufferLength) {
            const float v = in ? in[s] : 0.0f;
            if (bits == 8) {
                const long q = std::lround(std::clamp(v * 128.0f, -128.0f, 127.0f));
                *p++ = static_cast<uint8_t>(q + 128);
                recorded += 1;
            } else {
                const long q = std::lround(std::clamp(v * 32768.0f, -32768.0f, 32767.0f));
                const auto u = static_cast<uint16_t>(static_cast<int16_t>(q));
                *p++ = static_cast<uint8_t>(u & 0xff);
                *p++ = static_cast<uint8_t>(u >> 8);
                recorded += 2;
            }
            ++s;
        }
        b->bytesRecorded.store(recorded, std::memory_order_relaxed);
        if (recorded >= b->bufferLength) {
            head.store(h + 1, std::memory_order_release);
            b->flags.store((b->flags.load(std::memory_order_relaxed) & ~CaptureBuffer::inQueue) | CaptureBuffer::done,
                           std::memory_order_release);
            finished = true;
        }
    }
    if (finished && event) event->set();
}

void CaptureQueue::finishPartialHead() {
    const uint32_t h = head.load(std::memory_order_relaxed);
    if (h == tail.load(std::memory_order_acquire)) return;
    CaptureBuffer* b = queue[h % capacity];
    if (b->bytesRecorded.load(std::memory_order_relaxed) == 0) return;
    head.store(h + 1, std::memory_order_release);
    b->flags.store((b->flags.load(std::memory_order_relaxed) & ~CaptureBuffer::inQueue) | CaptureBuffer::done,
                   std::memory_order_release);
    if (event) event->set();
}

void CaptureQueue::flushQueue() {
    uint32_t h = head.load(std::memory_order_relaxed);
    const uint32_t t = tail.load(std::memory_order_acquire);
    const bool any = h != t;
    for (; h != t; ++h) {
        CaptureBuffer* b = queue[h % capacity];
        b->flags.store((b->flags.load(std::memory_order_relaxed) & ~CaptureBuffer::inQueue) | CaptureBuffer::done,
                       std::memory_order_release);
    }
    head.store(t, std::memory_order_release);
    if (any && event) event->set();
}

void CaptureQueue::setLastMessage(const std::string& message) { lastMessage = message; }

uint32_t CaptureQueue::getErrorText(uint32_t code, char* text, int32_t size) {
    const char* base = nullptr;
    switch (code) {
    case mmresult::ok: base = "The command completed successfully."; break;
    case mmresult::error: base = "An unspecified error occurred."; break;
    case mmresult::badDeviceId: base = "The device identifier is out of range."; break;
    case mmresult::allocated: base = "The device is already in use."; break;
    case mmresult::invalidHandle: base = "The device is not open."; break;
    case mmresult::noDriver: base = "No sound system is available."; break;
    case mmresult::noMem: base = "Out of memory."; break;
    case mmresult::invalidParam: base = "An invalid parameter was passed."; break;
    case mmresult::badFormat: base = "The device does not support this format."; break;
    case mmresult::stillPlaying: base = "The buffer is still in the queue."; break;
    case mmresult::unprepared: base = "The buffer was not prepared."; break;
    default: return mmresult::badErrNum;
    }
    if (!text || size <= 0) return mmresult::noMem;
    if (code != mmresult::ok && !lastMessage.empty())
        std::snprintf(text, static_cast<size_t>(size), "%s (%s)", base, lastMessage.c_str());
    else
        std::snprintf(text, static_cast<size_t>(size), "%s", base);
    return mmresult::ok;
}

} // namespace sonabel
