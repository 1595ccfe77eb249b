#pragma once
// Captures audio from a soundcard and, when nothing plays, is the system's
// clock.
//
// It keeps a ring of capture buffers (headers) queued at a CaptureQueue,
// which fills them in queue order. read copies the captured bytes, buffer
// after buffer, into the chunk the mixer asks for, and gives each buffer
// back to the device as soon as it is empty. When too little has arrived
// the rest of the chunk is silence and the listeners get an underrun (100).
// After start, chunks are silence (no underrun) until two have arrived: the
// one beyond is kept in reserve, as the ticker keeps one.
//
// Call sequence (interface thread): setDevice / setDeviceFormat /
// setBufferSizeFrames while closed; open (queues bufferCount buffers);
// start; stop; close. bufferCount may change at any time: buffers at or
// beyond it are retired once emptied, new ones join the queue on the way.
// As a clock, startTicker runs a thread (priority index 5) that wakes on
// the device's buffer-done event and ticks once per whole chunk captured
// beyond the first, keeping one chunk in reserve. stopTicker must run
// before the reader is destroyed.
//
// A device that dies while capturing (its server went away) is reported
// once at level 1 and the reader stops: the clock goes quiet and read gives
// nothing, without underrun notices, until the device is closed and opened
// again. read, the ticker and isStarted each look for it.
//
// Locks: bufferLock (recursive) guards the headers, currentBuffer,
// currentOffset, the inBuffer fields and every queue call; tickLock guards
// tickFrames.

#include "io/AudioInputDevice.h"

#include "core/AudioDeviceFormat.h"
#include "core/Runnable.h"
#include "io/AudioEvent.h"

#include <atomic>
#include <string>
#include <vector>

namespace sonabel {

class AudioCodec;
class CaptureQueue;
struct CaptureBuffer;
class Lock;
class Thread;

class MMEReader : public Runnable, public AudioInputDevice {
public:
    static constexpr int maxBuffers = 30; // the number of headers

    // Lists the chosen sound system's devices, then the null device.
    MMEReader();
    // Captures through the given layers only (owned), listed in this order.
    explicit MMEReader(std::vector<CaptureQueue*> layers);
    ~MMEReader() override;

    // AudioDevice
    const char* getName() override { return "MME"; }
    const char* getDescription() override {
        return "Driver for audio input devices using Windows MME (Multimedia Extension) API.";
    }
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

    // AudioReader
    AudioFormat* getAudioFormat() override { return &deviceFormat; }
    // Frames a read of that many would deliver now (at the start, only
    // with a chunk more in reserve).
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override { return waveIn.load() != nullptr; }
    void start() override;
    void stop() override;
    // Also asks a started device whether it is still alive.
    bool isStarted() override;
    int32_t read(SampleBuffer& buffer, int32_t position, float srcFactor) override;

    // The ticker loop (Runnable).
    void run(Thread& thread) override;

    // Our own overflows as the device saw them (blocks it delivered while
    // every buffer was full, waiting for read), and the overflows its
    // server reported (0 while closed).
    int64_t getDeviceOverflowBlocks();
    int64_t getServerXruns();

    // For tests and diagnosis, under bufferLock.
    int32_t getCurrentBuffer();
    int32_t getCurrentOffset();
    bool isBufferQueued(int32_t index);

private:
    struct DeviceEntry {
        std::string name;
        CaptureQueue* layer;
        int deviceId;
    };
    void enumerate();
    void putBufferInQueue(int32_t index);
    void giveBack(int32_t index);
    bool checkLost();
    // Captured frames waiting to be read, at most frames.
    int32_t getCapturedFrames(int32_t frames);
    const char* getErrorText(CaptureQueue* queue, uint32_t code);
    int bytesPerFrame() const { return deviceFormat.getBitsPerSample() * deviceFormat.channels / 8; }

    AudioCodec* decoder = nullptr;
    AudioDeviceFormat deviceFormat{2, 44100.0f, 16};
    // The open device's layer; the reader is open exactly while it is set.
    std::atomic<CaptureQueue*> waveIn{nullptr};
    // Set while open. The event itself lives as long as the reader, so a
    // ticker that read the pointer just before close still waits safely.
    std::atomic<AudioEvent*> bufferEvent{nullptr};
    AudioEvent event;
    int32_t deviceNumber = 0;
    int32_t deviceCount = 0;
    int32_t bufferCount = 6;
    int32_t bufferSizeFrames = 1024;
    int32_t currentBuffer = 0;
    int32_t currentOffset = 0;
    uint8_t* inBuffer = nullptr;
    int32_t inBufferSize = 0;
    int32_t inBufferPos = 0;
    int32_t inBufferUsed = 0;
    std::atomic<TickListener*> tickListener{nullptr};
    int32_t tickFrames = 1024;
    Lock* tickLock;
    Thread* tickerThread = nullptr;
    std::atomic<bool> started{false};
    // Set when the device died under a started capture; cleared by open
    // and close.
    std::atomic<bool> lost{false};
    std::atomic<bool> stopTicking{false};
    std::atomic<bool> tickerInside{false};
    // The reserve was there since start (under bufferLock); until then a
    // read gives silence and no underrun.
    bool delivered = false;
    bool listed = false;
    // SONABEL_AUDIO_API chose the first layer's sound system: without a
    // device there, the null device is not listed either.
    bool forcedFirst = false;
    std::vector<DeviceEntry> devices;
    std::vector<CaptureQueue*> layers;
    bool defaultLayers;
    CaptureBuffer* headers = nullptr;
    Lock* bufferLock;
    char errorText[1000] = {};
};

} // namespace sonabel
