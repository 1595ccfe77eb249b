#include "engine/AudioSynchronizer.h"

#include "core/AudioFormat.h"
#include "core/AudioReader.h"
#include "core/AudioWriter.h"
#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "core/WinLock.h"
#include "engine/TickProvider.h"

namespace sonabel {

AudioSynchronizer::AudioSynchronizer()
    : tickerLock(createLock()), readerLock(createLock()), writerLock(createLock()), bufferLock(createLock()) {
    tickerLock->setName("Synchronizer:Ticker");
    readerLock->setName("Synchronizer:Input");
    writerLock->setName("Synchronizer:Output");
    bufferLock->setName("Synchronizer:Buffer");
}

AudioSynchronizer::~AudioSynchronizer() {
    if (isStarted()) stop();
    delete bufferLock;
    delete writerLock;
    delete readerLock;
    delete tickerLock;
    delete chunkBuffer;
}

bool AudioSynchronizer::isStarted() {
    LockGuard guard(tickerLock);
    return started;
}

void AudioSynchronizer::setReader(AudioReader* newReader) {
    const bool running = isStarted();
    LockGuard guard(readerLock);
    if (running && reader) reader->close();
    reader = newReader;
    if (running && reader) {
        if (!reader->isOpen()) reader->open();
        if (reader->isOpen() && !reader->isStarted()) reader->start();
    }
}

void AudioSynchronizer::addWriter(AudioWriter* writer) {
    if (!writer) {
        logDebug(1, "AudioSynchronizer::addWriter() parameter NULL is not allowed.");
        return;
    }
    const bool running = isStarted();
    LockGuard guard(writerLock);
    writers.append(writer);
    if (running && reader) {
        if (!writer->isOpen()) {
            if (AudioFormat* f = reader->getAudioFormat()) writer->setAudioFormat(*f);
            writer->open();
        }
        if (writer->isOpen() && !writer->isStarted()) writer->start();
    }
}

void AudioSynchronizer::removeWriter(AudioWriter* writer) {
    const bool running = isStarted();
    LockGuard guard(writerLock);
    if (writers.remove(writer) && running) writer->close();
}

AudioWriter* AudioSynchronizer::getWriter(int index) {
    LockGuard guard(writerLock);
    return static_cast<AudioWriter*>(writers.get(index));
}

int AudioSynchronizer::getWriterCount() {
    LockGuard guard(writerLock);
    return writers.count();
}

void AudioSynchronizer::setTickProvider(TickProvider* provider) {
    TickProvider* old;
    bool running;
    {
        // Swap under the lock, but never wait for a ticker thread while
        // holding it: the old thread may be waiting for it inside ticked.
        LockGuard guard(tickerLock);
        old = tickProvider;
        running = started;
        tickProvider = provider;
        if (old && running) switchingProvider = true;
    }
    if (old && running) old->stopTicker();
    LockGuard guard(tickerLock);
    switchingProvider = false;
    // Only start it if nobody changed the provider or stopped us meanwhile.
    if (started && tickProvider == provider && provider) provider->startTicker(this);
}

TickProvider* AudioSynchronizer::getTickProvider() {
    LockGuard guard(tickerLock);
    return tickProvider;
}

void AudioSynchronizer::start() {
    LockGuard guard(tickerLock);
    if (started) {
        logError(2, "Call to AudioSynchronizer::start, but already started.");
        return;
    }
    LockGuard readGuard(readerLock);
    AudioFormat format;
    bool haveFormat = false;
    if (reader) {
        if (AudioFormat* f = reader->getAudioFormat()) {
            format.copyFrom(*f);
            haveFormat = true;
        }
        if (!reader->isOpen()) reader->open();
        if (!reader->isStarted()) reader->start();
    }
    {
        LockGuard writeGuard(writerLock);
        for (int i = 0; i < writers.count(); ++i) {
            AudioWriter* writer = static_cast<AudioWriter*>(writers.get(i));
            if (!writer->isOpen()) {
                if (haveFormat) {
                    writer->setAudioFormat(format);
                } else if (AudioFormat* own = writer->getAudioFormat()) {
                    // No reader: the first writer's format goes to the others.
                    format.copyFrom(*own);
                    haveFormat = true;
                }
                writer->open();
            }
            if (writer->isOpen() && !writer->isStarted()) writer->start();
        }
    }
    position = 0;
    started = true;
    if (tickProvider) tickProvider->startTicker(this);
}

void AudioSynchronizer::stop() {
    TickProvider* provider;
    {
        LockGuard guard(tickerLock);
        if (!started) {
            logError(2, "Call to AudioSynchronizer::stop, but already stopped.");
            return;
        }
        started = false;
        provider = tickProvider;
    }
    // Waits for the ticker thread, so no lock may be held here.
    if (provider) provider->stopTicker();
    {
        LockGuard guard(writerLock);
        for (int i = 0; i < writers.count(); ++i) static_cast<AudioWriter*>(writers.get(i))->close();
    }
    {
        LockGuard guard(readerLock);
        if (reader) reader->close();
    }
    LockGuard guard(bufferLock);
    delete chunkBuffer;
    chunkBuffer = nullptr;
}

void AudioSynchronizer::ticked(int32_t frames) {
    logTrace(10, ">ticked: Call with %d frames.", frames);
    bool running;
    {
        LockGuard guard(tickerLock);
        running = started && !switchingProvider;
    }
    if (!running || frames <= 0) {
        logTrace(10, "<ticked");
        return;
    }
    LockGuard bufferGuard(bufferLock);
    // Pops any window a writer left pushed before the size is compared.
    if (chunkBuffer) chunkBuffer->clearSubsets();
    if (chunkBuffer && chunkBuffer->currCount == frames) {
        chunkBuffer->chunkCounter++;
    } else {
        int channels = 2;
        if (chunkBuffer) {
            channels = chunkBuffer->channelCount;
        } else {
            LockGuard readGuard(readerLock);
            if (reader && reader->getAudioFormat()) channels = reader->getAudioFormat()->channels;
        }
        delete chunkBuffer;
        chunkBuffer = new SampleBuffer(channels, frames);
    }
    {
        LockGuard readGuard(readerLock);
        if (reader && reader->isOpen()) reader->read(*chunkBuffer, position, 0.0f);
    }
    position += chunkBuffer->currCount;
    {
        LockGuard writeGuard(writerLock);
        const int count = writers.count();
        for (int i = 0; i < count; ++i) {
            AudioWriter* writer = static_cast<AudioWriter*>(writers.get(i));
            if (writer && writer->isOpen()) writer->write(*chunkBuffer);
        }
    }
    logTrace(10, "<ticked");
}

} // namespace sonabel
