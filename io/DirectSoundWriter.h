#pragma once
// Plays the processed audio on a soundcard and, while it plays, is the
// system's clock.
//
// It keeps one looping ring of one second in a PlaybackRing, writes every
// chunk at its own write position (nextWrite) ahead of the play cursor, and
// never queues more than writeAheadBytes (bufferCount chunks of
// bufferSizeFrames, at most half the ring). Playback overtaking the written
// data is an underrun (listeners get 100, the oldest frames of the next
// chunk are dropped so what follows stays in time); a write that would
// overrun unplayed data is an overflow (101, nothing written).
//
// Call sequence (interface thread): setDevice / setDeviceFormat while
// closed; open (makes a silent ring, places nothing); start (plays it
// looping); stop; close. As a clock, startTicker runs a thread (priority
// index 5; on Linux real-time scheduling below a JACK server's where the
// process may have it) that calls ticked once the play cursor has freed
// room for one chunk below the write-ahead; the synchronizer then pulls the
// chunk through the mixer and hands it to write on that same thread.
// Between ticks the ticker sleeps until the ring says the play cursor
// reaches the frame that frees that room (the null device: when the frames
// fall due; a callback device: from the time of its last callback and the
// block it took), at most maxSleepMillis; where the ring cannot tell, or
// the device is late, it looks again every pollMillis. The first
// write after open, or after a lost ring, waits until the play cursor has
// left 0 and goes near the far end of the write-ahead (one chunk of room
// left, counted from the device's safe-write cursor): the silence before it
// is the ring's own, so starting is no burst of chunks and no underrun. stopTicker must run
// before the writer is destroyed.
//
// Locks: bufferLock (recursive) guards the ring state: nextWrite, the
// sizes, every ring call and close; tickLock guards tickFrames.

#include "io/AudioOutputDevice.h"

#include "core/AudioDeviceFormat.h"
#include "core/Runnable.h"

#include <atomic>
#include <string>
#include <vector>

namespace sonabel {

class AudioCodec;
class Lock;
class PlaybackRing;
class Thread;

// The name of a result code of a PlaybackRing ("DSERR_BUFFERLOST"), or
// "Unknown HRESULT".
const char* getPlaybackResultName(uint32_t code);

class DirectSoundWriter : public Runnable, public AudioOutputDevice {
public:
    // Lists the chosen sound system's devices, then the null device.
    DirectSoundWriter();
    // Plays through the given layers only (owned), listed in this order.
    explicit DirectSoundWriter(std::vector<PlaybackRing*> layers);
    ~DirectSoundWriter() override;

    // AudioDevice
    const char* getName() override { return "DirectSound"; }
    const char* getDescription() override { return "Driver for output audio devices using DirectSound for output of audio."; }
    AudioDeviceFormat* getDeviceFormat() override { return &deviceFormat; }
    void setDeviceFormat(const AudioDeviceFormat& format) override;
    int32_t getDeviceCount() override;
    const char* getDeviceName(int32_t index) override;
    void setDevice(int32_t index) override;
    int32_t getDevice() override { return deviceNumber; }
    int32_t getBufferCount() override;
    void setBufferCount(int32_t count) override;
    int32_t getBufferSizeFrames() override;
    void setBufferSizeFrames(int32_t frames) override;

    // TickProvider
    void startTicker(TickListener* listener) override;
    void stopTicker() override;
    void setTickFrames(int32_t frames) override;
    int32_t getTickFrames() override;

    // AudioWriter
    AudioFormat* getAudioFormat() override { return &deviceFormat; }
    // frames when one chunk of that size fits now, else 0.
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override { return ringBuffer.load() != nullptr; }
    void start() override;
    void stop() override;
    bool isStarted() override;
    void setAudioFormat(const AudioFormat& format) override;
    void write(SampleBuffer& buffer) override;

    // The ticker loop (Runnable).
    void run(Thread& thread) override;

    // Bytes that may be written now for a chunk of wanted bytes; status (if
    // asked) becomes 1 on an underrun, 2 on an overflow, else 0.
    int32_t getWritableBytes(int32_t wanted, int* status);
    bool canWrite(int32_t bytes);
    int32_t getWriteAheadBytes();
    int32_t getRingBytes();
    // Byte offset of the next chunk in the ring; -1 before it is placed.
    int32_t getNextWrite();

    // The shortest write-ahead, in frames, that plays without underruns: one
    // chunk (tickFrames), and one block of the open device or 10 ms for the
    // ticker's wake-up, whichever is longer. A device that takes blocks
    // needs the block that plays while the next chunk is made.
    int32_t getMinWriteAheadFrames();
    // The block the open device takes at a time, in frames (0: closed, or
    // it takes frames as they fall due).
    int32_t getDevicePeriodFrames();
    // The write-ahead is below getMinWriteAheadFrames: every tick would
    // underrun. Logged when it becomes so while open.
    bool isWriteAheadTooShort();
    // Whether the chosen device can play from one buffer of write-ahead
    // (setBufferCount then keeps 1; a device that takes blocks of its own
    // gets at least 2).
    bool acceptsSingleBuffer();
    // Our own underruns as the device saw them (blocks it took before the
    // data reached their end), and the xruns its server reported, since the
    // ring was made (0 while closed).
    int64_t getDeviceEmptyBlocks();
    int64_t getServerXruns();

    // Longest sleep of the ticker between two looks at the ring, and the
    // interval at which it looks where the ring cannot say when a chunk is
    // due, in milliseconds.
    static constexpr int32_t maxSleepMillis = 50;
    static constexpr int32_t pollMillis = 1;

private:
    struct DeviceEntry {
        std::string name;
        PlaybackRing* layer;
        int deviceId;
    };
    void enumerate();
    void computeSizes();
    bool createDSound();
    bool createSecondaryBuffer();
    void fillBufferWithSilence();
    // When the ticker should look at ring next for a chunk of frames
    // (ring's clock, nanoseconds). Under bufferLock.
    int64_t getWakeNanos(PlaybackRing* ring, int32_t frames);
    // Sleeps until the next chunk may be due. Ticker thread.
    void sleepUntilDue(Thread& thread, int32_t frames);
    void noteWriteAhead();
    PlaybackRing* getChosenLayer();
    int bytesPerFrame() const { return deviceFormat.getBitsPerSample() * deviceFormat.channels / 8; }

    AudioCodec* encoder = nullptr;
    AudioDeviceFormat deviceFormat{2, 44100.0f, 16};
    int32_t deviceNumber = 0;
    int32_t deviceCount = -1; // -1: not listed yet
    int32_t bufferCount = 20;
    int32_t bufferSizeFrames = 1024;
    int32_t writeAheadBytes = 0;
    const int32_t ringMillis = 1000;
    int32_t ringBytes = 0;
    int32_t nextWrite = -1;
    // nextWrite as a frame count of the device (getPlayedFrames), unwrapped.
    int64_t nextWriteFrame = 0;
    // The write-ahead was too short when last checked (logged once).
    bool shortNoted = false;
    std::atomic<TickListener*> tickListener{nullptr};
    int32_t tickFrames = 1024;
    Lock* tickLock;
    Thread* tickerThread = nullptr;
    std::atomic<bool> stopTicking{false};
    // True from the ticker body's first line to its last.
    std::atomic<bool> tickerInside{false};
    // The layer of the open device; the writer is open exactly while set.
    std::atomic<PlaybackRing*> ringBuffer{nullptr};
    // The layer open was last called on (kept when open failed halfway).
    PlaybackRing* device = nullptr;
    std::vector<PlaybackRing*> layers;
    bool defaultLayers;
    std::vector<DeviceEntry> devices;
    Lock* bufferLock;
};

} // namespace sonabel
