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
// index 5) that polls the ring every millisecond and calls ticked once
// there is room for one chunk; the synchronizer then pulls the chunk
// through the mixer and hands it to write on that same thread. The first
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
