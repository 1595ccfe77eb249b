#include "engine/AudioMixer.h"

#include "core/Log.h"
#include "core/PerformanceCounter.h"
#include "core/SampleBuffer.h"
#include "core/WinLock.h"
#include "engine/LoadMonitor.h"
#include "filters/AudioFilter.h"

namespace sonabel {

AudioMixer::AudioMixer() : inputLock(createLock()), filterLock(createLock()) {
    inputLock->setName("Mixer:Input");
    filterLock->setName("Mixer:Filter");
}

AudioMixer::~AudioMixer() {
    if (isOpen()) close();
    {
        LockGuard guard(inputLock);
        for (int i = inputs.count() - 1; i >= 0; --i) removeInputNr(i);
    }
    {
        LockGuard guard(filterLock);
        for (int i = filters.count() - 1; i >= 0; --i) filters.removeAt(i);
    }
    delete filterLock;
    delete inputLock;
}

AudioMixer::InputEntry* AudioMixer::getInputEntry(int index) {
    logTrace(10, "AudioMixer::getInputEntry");
    return static_cast<InputEntry*>(inputs.get(index));
}

int32_t AudioMixer::available(int32_t frames) {
    logTrace(10, ">AudioMixer::available");
    LockGuard guard(inputLock);
    int32_t result = 0;
    const int count = inputs.count();
    for (int i = 0; i < count; ++i) {
        int32_t v = getInputEntry(i)->input->available(frames);
        if (v > result) {
            result = v;
            if (v == frames) break;
        }
    }
    logTrace(10, "<available");
    return result;
}

void AudioMixer::open() {
    if (isOpen()) {
        logDebug(3, "Multiple call to AudioMixer::open().");
        return;
    }
    logTrace(10, ">AudioMixer::open");
    {
        LockGuard guard(inputLock);
        for (int i = 0; i < inputs.count(); ++i) getInputEntry(i)->input->open();
        opened = true;
        position = 0;
        updateAudioFormat();
    }
    logTrace(10, "<open");
}

void AudioMixer::close() {
    if (!isOpen()) {
        logDebug(3, "AudioMixer::close(): mixer is not open.");
        return;
    }
    logTrace(10, ">AudioMixer::close");
    {
        LockGuard guard(inputLock);
        opened = false;
        for (int i = 0; i < inputs.count();) {
            InputEntry* entry = getInputEntry(i);
            AudioReader* input = entry->input;
            input->close();
            if (entry->autoDelete) {
                removeInputNr(i);
                delete input;
            } else {
                ++i;
            }
        }
    }
    logTrace(10, "<close");
}

void AudioMixer::start() {
    if (!isOpen()) {
        logError(2, "AudioMixer::start(): not opened.");
        return;
    }
    logTrace(10, ">AudioMixer::start");
    {
        LockGuard guard(inputLock);
        for (int i = 0; i < inputs.count(); ++i) {
            AudioReader* input = getInputEntry(i)->input;
            if (input->isOpen()) input->start();
        }
        started = true;
    }
    logTrace(10, "<start");
}

void AudioMixer::stop() {
    if (!started.exchange(false)) logDebug(2, "AudioMixer::stop(): not started.");
}

int32_t AudioMixer::read(SampleBuffer& buffer, int32_t readPosition, float srcFactor) {
    if (!isOpen()) {
        logError(2, "AudioMixer::read: has not been opened before.");
        return 0;
    }
    logTrace(10, ">AudioMixer::read");
    int32_t result = 0;
    inputLock->lock();
    if (inputs.count() == 0) {
        buffer.makeSilence(0, buffer.currCount);
    } else {
        if (srcFactor == 0.0f) {
            // The inputs add into silence.
            buffer.makeSilence(0, buffer.currCount);
            srcFactor = 1.0f;
        }
        for (int i = 0; i < inputs.count(); ++i) {
            InputEntry* entry = getInputEntry(i);
            AudioReader* input = entry->input;
            if (!input->isOpen()) continue;
            int32_t n = input->read(buffer, readPosition, srcFactor * entry->volume);
            if (n > result) result = n;
            if (n < buffer.currCount && input->available(1) == -1 && entry->autoDelete) {
                input->close();
                removeInputNr(i);
                delete input;
                --i; // the next entry moved into this place
            }
        }
    }
    inputLock->unlock();
    logTrace(10, "applying the filters");

    filterLock->lock();
    buffer.attachedCoeffs = nullptr;
    LoadMonitor* monitor = loadMonitor;
    for (int i = 0; i < filters.count(); ++i) {
        AudioFilter* filter = static_cast<AudioFilter*>(filters.get(i));
        if (!filter->isActive()) continue;
        if (monitor) {
            uint32_t before = readPerformanceCounterLow();
            filter->process(buffer);
            uint32_t spent = readPerformanceCounterLow() - before;
            // One read-modify-write: the load display swaps the sum for 0
            // at any moment, and no sample may be lost or counted twice.
            filter->processTime.fetch_add(static_cast<float>(spent), std::memory_order_relaxed);
            filter->processCount.fetch_add(1, std::memory_order_relaxed);
        } else {
            filter->process(buffer);
        }
    }
    position += buffer.currCount;
    filterLock->unlock();

    if (monitor && ++readsSinceReport > 18) {
        monitor->reportLoad(this);
        readsSinceReport = 0;
    }
    logTrace(10, "<read");
    return result;
}

void AudioMixer::addInput(AudioReader* reader, float volume, bool autoDelete) {
    logTrace(10, ">AudioMixer::addInput");
    {
        LockGuard guard(inputLock);
        inputs.append(new InputEntry{reader, volume, autoDelete});
        if (isOpen()) {
            reader->open();
            if (reader->isOpen() && isStarted()) reader->start();
        }
        updateAudioFormat();
    }
    logTrace(10, "<addInput");
}

void AudioMixer::removeInput(AudioReader* reader) {
    logTrace(10, ">AudioMixer::removeInput");
    {
        LockGuard guard(inputLock);
        for (int i = 0; i < inputs.count(); ++i) {
            if (getInputEntry(i)->input == reader) {
                removeInputNr(i);
                break;
            }
        }
    }
    logTrace(10, "<removeInput");
}

void AudioMixer::removeInputNr(int index) {
    LockGuard guard(inputLock);
    if (index < 0 || index >= inputs.count()) {
        logError(2, "AudioMixer::removeInputNr: argument range fault.");
        return;
    }
    logTrace(10, ">AudioMixer::removeInputNr");
    InputEntry* entry = getInputEntry(index);
    if (isOpen() && entry->input->isOpen()) entry->input->close();
    delete entry;
    inputs.removeAt(index);
    logTrace(10, "<removeInputNr");
}

void AudioMixer::setInputVolume(AudioReader* reader, float volume) {
    logTrace(10, ">AudioMixer::setInputVolume");
    // A gain of exactly 0.0 would mean "overwrite" to the reader.
    if (volume == 0.0f) volume = 0.00001f;
    {
        LockGuard guard(inputLock);
        for (int i = 0; i < inputs.count(); ++i) {
            InputEntry* entry = getInputEntry(i);
            if (entry->input == reader) {
                entry->volume = volume;
                break;
            }
        }
    }
    logTrace(10, "<setInputVolume");
}

int AudioMixer::getInputCount() {
    logTrace(10, ">AudioMixer::getInputCount");
    int count;
    {
        LockGuard guard(inputLock);
        count = inputs.count();
    }
    logTrace(10, "<getInputCount");
    return count;
}

AudioReader* AudioMixer::getInput(int index) {
    LockGuard guard(inputLock);
    if (index < 0 || index >= inputs.count()) {
        logError(2, "AudioMixer::getInput: argument range fault.");
        return nullptr;
    }
    return getInputEntry(index)->input;
}

void AudioMixer::addFilter(AudioFilter* filter) {
    logTrace(10, ">AudioMixer::addFilter");
    {
        // The filter learns the chain's format as it enters: updateAudioFormat
        // only tells the filters when the format changes, and a filter added
        // after the inputs (or while sound runs) would keep its default.
        // Input before filter, the one nesting order.
        LockGuard inputGuard(inputLock);
        LockGuard guard(filterLock);
        filter->setFormat(format);
        filters.append(filter);
    }
    logTrace(10, "<addFilter");
}

void AudioMixer::removeFilter(AudioFilter* filter) {
    logTrace(10, ">AudioMixer::removeFilter");
    {
        LockGuard guard(filterLock);
        filters.remove(filter);
    }
    logTrace(10, "<removeFilter");
}

void AudioMixer::removeFilterNr(int index) {
    LockGuard guard(filterLock);
    if (index < 0 || index >= filters.count()) {
        logError(2, "AudioMixer::removeFilterNr: argument range fault.");
        return;
    }
    logTrace(10, ">AudioMixer::removeFilterNr");
    filters.removeAt(index);
    logTrace(10, "<removeFilterNr");
}

int AudioMixer::getFilterCount() {
    logTrace(10, ">AudioMixer::getFilterCount");
    int count;
    {
        LockGuard guard(filterLock);
        count = filters.count();
    }
    logTrace(10, "<getFilterCount");
    return count;
}

AudioFilter* AudioMixer::getFilter(int index) {
    LockGuard guard(filterLock);
    if (index < 0 || index >= filters.count()) {
        logError(2, "AudioMixer::getFilter: argument range fault.");
        return nullptr;
    }
    return static_cast<AudioFilter*>(filters.get(index));
}

void AudioMixer::moveFilterNr(int from, int to) {
    LockGuard guard(filterLock);
    if (from < 0 || from >= filters.count() || to < 0 || to >= filters.count()) {
        logError(2, "AudioMixer::moveFilterNr: argument range fault.");
        return;
    }
    filters.move(from, to);
}

void AudioMixer::updateAudioFormat() {
    LockGuard guard(inputLock);
    float rate = format.sampleRate;
    int channels = format.channels;
    bool rateTaken = false;
    const bool mixerOpen = isOpen();
    for (int i = 0; i < inputs.count(); ++i) {
        AudioReader* input = getInputEntry(i)->input;
        if (mixerOpen && !input->isOpen()) continue;
        const AudioFormat* f = input->getAudioFormat();
        if (!f) continue;
        if (!rateTaken) {
            rate = f->sampleRate;
            rateTaken = true;
        }
        if (f->channels > channels) channels = f->channels;
    }
    if (rate != format.sampleRate || channels != format.channels) {
        format.sampleRate = rate;
        format.channels = channels;
        LockGuard filterGuard(filterLock);
        for (int i = 0; i < filters.count(); ++i) static_cast<AudioFilter*>(filters.get(i))->setFormat(format);
    }
}

} // namespace sonabel
