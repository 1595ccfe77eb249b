#pragma once
// The playback layer under DirectSoundWriter: one looping ring of PCM bytes
// in the device format, played by a device from its play cursor onwards.
//
// Call sequence (interface thread unless noted):
//   enumerate            list the devices, the default one first
//   openDevice           acquire the device for a format
//   createRing           make the ring (silent once filled by the writer)
//   play / stop          the device consumes the ring looping, or pauses
//   lock .. unlock       the writer fills a range (ticker thread), as up to
//                        two regions when the range wraps past the ring's end
//   getCurrentPosition   play cursor and safe-write cursor (ticker thread)
//   getPlayFrameNanos    when the play cursor will reach a frame, so the
//                        writer's ticker can sleep until a chunk is due
//                        (ticker thread)
//   getStatus / restore  a device that died mid-play reports a lost buffer;
//                        restore reopens it
//   release              close the device and free the ring
//
// Every call returns a result code of the table below (0 = success). The
// writer serialises all calls with its own lock; only the device's own
// callback runs beside them, and it touches nothing but the ring bytes and
// the atomics of this class.

#include <atomic>
#include <cstdint>
#include <vector>

namespace sonabel {

class AudioDeviceFormat;

// Result codes, named after the DirectSound codes the writer prints.
namespace dsresult {
inline constexpr uint32_t ok = 0;
inline constexpr uint32_t unsupported = 0x80004001u;
inline constexpr uint32_t generic = 0x80004005u;
inline constexpr uint32_t noAggregation = 0x80040110u;
inline constexpr uint32_t outOfMemory = 0x8007000Eu;
inline constexpr uint32_t invalidParam = 0x80070057u;
inline constexpr uint32_t allocated = 0x8878000Au;
inline constexpr uint32_t controlUnavail = 0x8878001Eu;
inline constexpr uint32_t invalidCall = 0x88780032u;
inline constexpr uint32_t prioLevelNeeded = 0x88780046u;
inline constexpr uint32_t badFormat = 0x88780064u;
inline constexpr uint32_t noDriver = 0x88780078u;
inline constexpr uint32_t alreadyInitialized = 0x88780082u;
inline constexpr uint32_t bufferLost = 0x88780096u;
inline constexpr uint32_t otherAppHasPrio = 0x887800A0u;
inline constexpr uint32_t uninitialized = 0x887800AAu;
} // namespace dsresult

// Bits of getStatus.
namespace ringstatus {
inline constexpr uint32_t playing = 0x1;
inline constexpr uint32_t bufferLost = 0x2;
inline constexpr uint32_t looping = 0x4;
} // namespace ringstatus

class PlaybackRing {
public:
    // Called once per device; return false to stop the listing.
    using DeviceCallback = bool (*)(void* context, int deviceId, const char* name);

    PlaybackRing() = default;
    virtual ~PlaybackRing() = default;
    PlaybackRing(const PlaybackRing&) = delete;
    PlaybackRing& operator=(const PlaybackRing&) = delete;

    // Short name of the sound system ("JACK", "PulseAudio", "ALSA", "Null").
    virtual const char* getApiName() = 0;
    virtual uint32_t enumerate(DeviceCallback callback, void* context) = 0;
    virtual uint32_t openDevice(int deviceId, const AudioDeviceFormat& format) = 0;
    // A ring of ringBytes (a whole number of frames), filled with silence.
    virtual uint32_t createRing(int32_t ringBytes);
    virtual void release() = 0;

    // Up to two writable regions for bytes at offset; second is null when
    // the range does not wrap.
    virtual uint32_t lock(int32_t offset, int32_t bytes, uint8_t** first, int32_t* firstBytes, uint8_t** second,
                          int32_t* secondBytes);
    // Hands the written regions to the device.
    virtual uint32_t unlock(uint8_t* first, int32_t firstBytes, uint8_t* second, int32_t secondBytes);
    // Byte offsets in the ring: play is the start of the block the device is
    // playing now, write the first byte it has not taken yet.
    virtual uint32_t getCurrentPosition(int32_t* play, int32_t* write);
    // Frames the device has taken since the ring was made: the safe-write
    // cursor counted without wrapping, so the writer can tell playback that
    // has run past its data from data far ahead.
    virtual uint32_t getPlayedFrames(int64_t* frames);
    // When the play cursor, counted in frames since the ring was made and
    // without wrapping (as getPlayedFrames counts the safe-write cursor),
    // will reach playFrame: a time of getNowNanos, possibly already past.
    // 0 when the device cannot tell; the writer then polls.
    virtual int64_t getPlayFrameNanos(int64_t playFrame);
    // The clock the writer's ticker sleeps on, in nanoseconds (the steady
    // clock), and a sleep until a time of it. Any thread.
    virtual int64_t getNowNanos();
    virtual void sleepUntilNanos(int64_t nanos);
    // The block the device takes at a time, in frames; 0 when it takes the
    // frames as they fall due. The write-ahead must cover one block more
    // than a chunk. Meaningful while open.
    virtual int32_t getPeriodFrames() const { return 0; }
    // Whether the device can play from a write-ahead of one buffer (a
    // device that takes blocks of its own cannot).
    virtual bool acceptsSingleBuffer() const { return true; }
    virtual uint32_t play() = 0;
    virtual uint32_t stop() = 0;
    virtual uint32_t getStatus(uint32_t* status) = 0;
    virtual uint32_t restore() = 0;

    int32_t getRingBytes() const { return static_cast<int32_t>(ring.size()); }
    // The writer tells where its data ends, in the frames getPlayedFrames
    // counts (after every write; -1 when it places anew). Ticker thread.
    void setWrittenEnd(int64_t frame) { writtenEnd.store(frame, std::memory_order_release); }
    // Blocks the device took while the written data did not reach to their
    // end, since the ring was made: the program was late, not the device.
    // Any thread.
    int64_t getEmptyBlocks() const { return emptyBlocks.load(std::memory_order_relaxed); }
    // When a device that takes blocks brings its play cursor to playFrame:
    // the block [frames - block, frames) was taken at blockNanos and plays
    // out at rate frames per second, and the next block is expected one
    // block later. A frame past the block is looked for a little after that
    // callback is due, when it will have run. May lie in the past.
    static int64_t getPlayFrameNanosAt(int64_t blockNanos, int64_t frames, int64_t block, int64_t playFrame, int64_t rate);
    // How long after its due time the next block is looked for.
    static constexpr int64_t callbackMarginNanos = 200'000;

    // Blocks in which the device or its server reported an xrun of its own
    // (the server was late, not the program), since the device was opened.
    virtual int64_t getServerXruns() const { return 0; }
    // Why the last call failed, in the user's terms ("the JACK server does
    // not answer"); empty when there is nothing to add to the code.
    virtual const char* getLastMessage() { return ""; }

protected:
    // Remembers the sample layout that createRing and playBlock use.
    void setLayout(const AudioDeviceFormat& format);
    void freeRing();
    // The device's side: takes the next frames from the ring, converts them
    // to interleaved floats in out (null: discards them), clears what it took
    // so that an underrun plays silence, and advances the cursors. Never
    // locks or allocates; frames may be any block size.
    void playBlock(float* out, int32_t frames);
    // Restarts the cursors at 0 (a fresh ring).
    void resetCursors();
    // Frames the device has taken so far, and the size of its last block.
    void loadConsumed(int64_t* frames, int64_t* lastBlock) const;

    int32_t bytesPerFrame = 4;
    int32_t bits = 16;
    int32_t channels = 2;
    std::vector<uint8_t> ring;

private:
    // Frames consumed so far (high 44 bits) and the size of the last block
    // (low 20 bits), published together so the two cursors agree.
    std::atomic<uint64_t> consumed{0};
    // Bumped by unlock so that the callback sees what the writer wrote.
    std::atomic<uint32_t> written{0};
    // The end of the written data in device frames (unwrapped), and blocks
    // that found the ring short of it: our own underruns, as the device saw
    // them. -1: nothing written since the ring was made.
    std::atomic<int64_t> writtenEnd{-1};
    std::atomic<int64_t> emptyBlocks{0};
};

} // namespace sonabel
