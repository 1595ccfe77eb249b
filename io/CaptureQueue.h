#pragma once
// The capture layer under MMEReader: the device fills queued buffers in the
// order they were added, marks each one done when it is full, and signals
// an event.
//
// Call sequence (interface thread unless noted):
//   enumerate             list the devices, the default one first
//   open                  acquire the device for a format and an event
//   prepare, add          hand buffers over (add also on the ticker thread)
//   start, stop           capture runs or pauses; stop returns a partly
//                         filled head buffer as done
//   reset                 stops and returns every queued buffer as done
//   unprepare, close      give everything back
//   isLost                the device died while capturing (its server
//                         went away); only close helps
//
// Results are codes of the table below (0 = success); getErrorText turns
// one into text. The reader serialises every call with its own lock; only
// the device's own callback runs beside them. The queue between the two is
// single-producer (add) single-consumer (the callback) and lock-free.

#include <atomic>
#include <cstdint>
#include <string>

namespace sonabel {

class AudioDeviceFormat;
class AudioEvent;

// Result codes, after the multimedia codes the reader knows.
namespace mmresult {
inline constexpr uint32_t ok = 0;
inline constexpr uint32_t error = 1;
inline constexpr uint32_t badDeviceId = 2;
inline constexpr uint32_t allocated = 4;
inline constexpr uint32_t invalidHandle = 5;
inline constexpr uint32_t noDriver = 6;
inline constexpr uint32_t noMem = 7;
inline constexpr uint32_t badErrNum = 9;
inline constexpr uint32_t invalidParam = 11;
inline constexpr uint32_t badFormat = 32;
inline constexpr uint32_t stillPlaying = 33;
inline constexpr uint32_t unprepared = 34;
} // namespace mmresult

// One capture buffer (the reader's "header").
struct CaptureBuffer {
    static constexpr uint32_t done = 0x1;     // filled by the device
    static constexpr uint32_t prepared = 0x2; // known to the device
    static constexpr uint32_t inQueue = 0x10; // waiting at the device

    uint8_t* data = nullptr;
    int32_t bufferLength = 0; // bytes; 0 while the buffer has no memory
    // Written by the device; read after seeing done (acquire).
    std::atomic<int32_t> bytesRecorded{0};
    std::atomic<uint32_t> flags{0};
    // The reader's own bits (bit 0: the queued mark).
    uint32_t user = 0;
};

class CaptureQueue {
public:
    // Called once per device; return false to stop the listing.
    using DeviceCallback = bool (*)(void* context, int deviceId, const char* name);
    // Most buffers that can wait at the device at once.
    static constexpr int capacity = 32;

    CaptureQueue() = default;
    virtual ~CaptureQueue() = default;
    CaptureQueue(const CaptureQueue&) = delete;
    CaptureQueue& operator=(const CaptureQueue&) = delete;

    virtual const char* getApiName() = 0;
    virtual uint32_t enumerate(DeviceCallback callback, void* context) = 0;
    virtual uint32_t open(int deviceId, const AudioDeviceFormat& format, AudioEvent* event) = 0;
    virtual uint32_t prepare(CaptureBuffer* buffer);
    virtual uint32_t unprepare(CaptureBuffer* buffer);
    // Clears done and appends the buffer to the queue.
    virtual uint32_t add(CaptureBuffer* buffer);
    virtual uint32_t start() = 0;
    virtual uint32_t stop() = 0;
    virtual uint32_t reset() = 0;
    virtual uint32_t close() = 0;
    // True once the device has died under a started capture (its server
    // went away): it delivers nothing more until it is closed and opened
    // again. The reader's lock is held; cheap enough for every underrun.
    virtual bool isLost() { return false; }
    // Copies the text of code into text (at most size bytes with the end
    // zero). Returns 0, or badErrNum for an unknown code.
    virtual uint32_t getErrorText(uint32_t code, char* text, int32_t size);

protected:
    void setLayout(const AudioDeviceFormat& format);
    // The device's side: writes frames of interleaved floats (null: silence)
    // into the buffers at the head of the queue, marking each full one done
    // and signalling the event. Frames arriving with no buffer queued are
    // dropped and counted. Never locks or allocates.
    void captureBlock(const float* in, int32_t frames);
    // Returns a partly filled head buffer as done (stop).
    void finishPartialHead();
    // Returns every queued buffer as done, recorded or not (reset). The
    // device must not be capturing.
    void flushQueue();
    // Remembers the text of the last library failure, for getErrorText.
    void setLastMessage(const std::string& message);

    AudioEvent* event = nullptr;
    int32_t bits = 16;
    int32_t channels = 2;
    int32_t bytesPerFrame = 4;

public:
    // Frames the device delivered while no buffer was queued.
    std::atomic<int64_t> droppedFrames{0};
    // Blocks the device delivered while no buffer was queued for all of
    // them (the queue was full of captured buffers the reader had not taken
    // back): our own overflows, as the device saw them, since the queue was
    // made. Any thread.
    int64_t getOverflowBlocks() const { return overflowBlocks.load(std::memory_order_relaxed); }
    // Blocks in which the device or its server reported an overflow of its
    // own (the server was late, not the program), since the device was
    // opened. Any thread.
    virtual int64_t getServerXruns() const { return 0; }

private:
    CaptureBuffer* queue[capacity] = {};
    std::atomic<uint32_t> head{0}; // next to fill (the callback's)
    std::atomic<uint32_t> tail{0}; // next free slot (add's)
    std::atomic<int64_t> overflowBlocks{0};
    std::string lastMessage;
};

} // namespace sonabel
