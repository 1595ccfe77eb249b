#pragma once
// Moves audio from the one reader (the mixer) to every writer, one chunk per
// tick. It has no clock of its own: the current TickProvider calls ticked on
// its ticker thread; everything else runs on the interface thread.
//
// Life cycle: setReader, start (opens and starts reader and writers), then
// writers and the provider come and go; stop closes them all.
//
// Locks inside a tick: tickerLock briefly and alone, then bufferLock for the
// whole tick, and inside it readerLock and then writerLock one after the
// other. No lock is held while waiting for a ticker thread.

#include "core/PointerList.h"
#include "engine/TickListener.h"

#include <atomic>
#include <cstdint>

namespace sonabel {

class AudioReader;
class AudioWriter;
class Lock;
class SampleBuffer;
class TickProvider;

class AudioSynchronizer : public TickListener {
public:
    AudioSynchronizer();
    ~AudioSynchronizer() override;
    AudioSynchronizer(const AudioSynchronizer&) = delete;
    AudioSynchronizer& operator=(const AudioSynchronizer&) = delete;

    void setReader(AudioReader* newReader);
    void addWriter(AudioWriter* writer);
    void removeWriter(AudioWriter* writer);
    AudioWriter* getWriter(int index);
    int getWriterCount();
    // Stops the old provider's ticker, then starts the new one (when started).
    void setTickProvider(TickProvider* provider);
    TickProvider* getTickProvider();
    void start();
    void stop();
    bool isStarted();
    void ticked(int32_t frames) override;
    // Frames read since the last start.
    int32_t getPosition() const { return position.load(std::memory_order_relaxed); }

private:
    SampleBuffer* chunkBuffer = nullptr; // made on the first tick after start
    AudioReader* reader = nullptr;       // the mixer, not owned
    TickProvider* tickProvider = nullptr;
    Lock* tickerLock;
    Lock* readerLock;
    Lock* writerLock;
    Lock* bufferLock;
    PointerList writers; // not owned
    bool started = false;
    // True while the old provider is being stopped: its late ticks return at once.
    bool switchingProvider = false;
    std::atomic<int32_t> position{0};
};

} // namespace sonabel
