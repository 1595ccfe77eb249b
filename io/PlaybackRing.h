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
    virtual uint32_t play() = 0;
    virtual uint32_t stop() = 0;
    virtual uint32_t getStatus(uint32_t* status) = 0;
    virtual uint32_t restore() = 0;

    int32_t getRingBytes() const { return static_cast<int32_t>(ring.size()); }
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
};

} // namespace sonabel
