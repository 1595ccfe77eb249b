#pragma once
// Sums its inputs, each scaled by its volume, into the chunk and runs the
// filter chain over it. It is itself a reader: the synchronizer reads one
// chunk per tick. Inputs and filters are managed from the interface thread;
// read runs on the ticker thread. Neither inputs nor filters are owned,
// except that an input added with autoDelete is destroyed once it has ended.
//
// Locks: inputLock for the input stage, then filterLock for the filter
// stage, never both at once during a read; updateAudioFormat nests them in
// that order only.

#include "core/AudioFormat.h"
#include "core/AudioReader.h"
#include "core/PointerList.h"

#include <atomic>
#include <cstdint>

namespace sonabel {

class AudioFilter;
class Lock;
class LoadMonitor;

class AudioMixer : public AudioReader {
public:
    AudioMixer();
    ~AudioMixer() override;

    AudioFormat* getAudioFormat() override { return &format; }
    int32_t available(int32_t frames) override;
    void open() override;
    void close() override;
    bool isOpen() override { return opened.load(); }
    void start() override;
    void stop() override;
    bool isStarted() override { return started.load(); }
    int32_t read(SampleBuffer& buffer, int32_t position, float srcFactor) override;

    void addInput(AudioReader* reader, float volume, bool autoDelete);
    void removeInput(AudioReader* reader);
    void removeInputNr(int index);
    void setInputVolume(AudioReader* reader, float volume);
    int getInputCount();
    AudioReader* getInput(int index);

    // Appends the filter and gives it the mixer's current format.
    void addFilter(AudioFilter* filter);
    void removeFilter(AudioFilter* filter);
    void removeFilterNr(int index);
    int getFilterCount();
    AudioFilter* getFilter(int index);
    void moveFilterNr(int from, int to);

    // Set by the application; when set, filters are timed and the monitor
    // is told every 19th read.
    LoadMonitor* loadMonitor = nullptr;

private:
    struct InputEntry {
        AudioReader* input;
        float volume;
        bool autoDelete;
    };
    InputEntry* getInputEntry(int index);
    void updateAudioFormat();

    Lock* inputLock;
    Lock* filterLock;
    PointerList inputs;  // of InputEntry, owned
    PointerList filters; // of AudioFilter, not owned
    std::atomic<bool> opened{false};
    std::atomic<bool> started{false};
    int32_t readsSinceReport = 0;
    AudioFormat format;
};

} // namespace sonabel
