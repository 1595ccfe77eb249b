#include "io/MMEReader.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/PCMCodec.h"
#include "core/SampleBuffer.h"
#include "core/Thread.h"
#include "engine/TickListener.h"
#include "io/AudioApi.h"
#include "io/AudioLibrary.h"
#include "io/CaptureQueue.h"
#include "io/NullCaptureQueue.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace sonabel {

namespace {

constexpr uint32_t queuedMark = 0x1;

bool isDone(const CaptureBuffer& b) { return (b.flags.load(std::memory_order_acquire) & CaptureBuffer::done) != 0; }

struct EnumerationContext {
    std::vector<std::string>* names;
    std::vector<int>* ids;
};

bool collect(void* context, int deviceId, const char* name) {
    auto* c = static_cast<EnumerationContext*>(context);
    if (name) {
        c->names->emplace_back(name);
        c->ids->push_back(deviceId);
    }
    return true;
}

} // namespace

MMEReader::MMEReader() : tickLock(createLock()), defaultLayers(true), bufferLock(createLock()) {
    logTrace(5, ">MMEReader::constructor() Object=%p", static_cast<void*>(this));
    logTrace(5, "<MMEReader::constructor()");
}

MMEReader::MMEReader(std::vector<CaptureQueue*> given)
    : tickLock(createLock()), layers(std::move(given)), defaultLayers(false), bufferLock(createLock()) {
    logTrace(5, ">MMEReader::constructor() Object=%p", static_cast<void*>(this));
    logTrace(5, "<MMEReader::constructor()");
}

MMEReader::~MMEReader() {
    // The owner should have stopped the clock; a running ticker would
    // outlive this object.
    stopTicker();
    if (isOpen()) close();
    for (CaptureQueue* layer : layers) delete layer;
    delete bufferLock;
    delete tickLock;
}

// ---- devices -------------------------------------------------------------

void MMEReader::enumerate() {
    deviceCount = 0;
    devices.clear();
    // A sound system forced by SONABEL_AUDIO_API that offers no device is an
    // error, and the null device is then not offered either: it would
    // record silence without a word.
    bool forced = false;
    if (defaultLayers && layers.empty()) {
        const AudioApi api = AudioLibrary::instance().chooseApi(&forced);
        forced = forced && api != AudioApi::null;
        forcedFirst = forced;
        if (api != AudioApi::null) {
            if (auto* layer = AudioLibrary::instance().createCaptureQueue(api)) layers.push_back(layer);
        }
        layers.push_back(new NullCaptureQueue);
    }
    forced = forcedFirst;
    for (CaptureQueue* layer : layers) {
        std::vector<std::string> names;
        std::vector<int> ids;
        EnumerationContext context{&names, &ids};
        const uint32_t result = layer->enumerate(&collect, &context);
        if (forced && (result != mmresult::ok || names.empty())) {
            // The queue's text of the failure carries the reason.
            char reason[600] = "none is listed";
            if (result != mmresult::ok) layer->getErrorText(result, reason, sizeof reason);
            else layer->getErrorText(mmresult::noDriver, reason, sizeof reason);
            logError(1, "waveInGetDevCaps returned error. %s, forced by SONABEL_AUDIO_API=%s, offers no input device: %s",
                     layer->getApiName(), std::getenv("SONABEL_AUDIO_API"), reason);
            break;
        }
        forced = false;
        if (result != mmresult::ok) {
            logError(2, "waveInGetDevCaps returned error.");
            continue;
        }
        const bool labelled = layers.size() > 1 && std::strcmp(layer->getApiName(), "Null") != 0;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string name = names[i];
            if (labelled) name += std::string(" (") + layer->getApiName() + ")";
            devices.push_back(DeviceEntry{name, layer, ids[i]});
        }
    }
    deviceCount = static_cast<int32_t>(devices.size());
    // With nothing found there is no table, and the next call tries again.
    listed = deviceCount > 0;
}

int32_t MMEReader::getDeviceCount() {
    if (!listed) enumerate();
    return deviceCount;
}

const char* MMEReader::getDeviceName(int32_t index) {
    if (!listed) enumerate();
    if (index < 0 || index >= deviceCount) {
        logError(2, "Index out of bounds in MMEReader::getDeviceName(%d)", index);
        return nullptr;
    }
    return devices[static_cast<size_t>(index)].name.c_str();
}

void MMEReader::setDevice(int32_t index) {
    if (isOpen()) {
        logError(2, "MMEReader: Cannot change device while open");
        return;
    }
    deviceNumber = index;
}

void MMEReader::setDeviceFormat(const AudioDeviceFormat& format) {
    if (format.bitsPerSample == deviceFormat.bitsPerSample && format.channels == deviceFormat.channels &&
        format.sampleRate == deviceFormat.sampleRate)
        return;
    if (isOpen()) {
        logError(2, "MMEReader: Cannot change AudioDeviceFormat while open");
        return;
    }
    deviceFormat.bitsPerSample = const_cast<AudioDeviceFormat&>(format).getBitsPerSample();
    deviceFormat.channels = format.channels;
    deviceFormat.sampleRate = format.sampleRate;
}

int32_t MMEReader::getBufferCount() {
    LockGuard guard(bufferLock);
    return bufferCount;
}

void MMEReader::setBufferCount(int32_t count) {
    LockGuard guard(bufferLock);
    // Only maxBuffers headers exist.
    bufferCount = std::clamp(count, 2, static_cast<int32_t>(maxBuffers));
}

int32_t MMEReader::getBufferSizeFrames() {
    LockGuard guard(bufferLock);
    return bufferSizeFrames;
}

void MMEReader::setBufferSizeFrames(int32_t frames) {
    if (isOpen()) {
        logError(2, "MMEReader: Cannot change BufferSizeFrames while open");
        return;
    }
    LockGuard guard(bufferLock);
    bufferSizeFrames = frames < 128 ? 128 : frames;
}

const char* MMEReader::getErrorText(CaptureQueue* queue, uint32_t code) {
    switch (queue->getErrorText(code, errorText, 999)) {
    case mmresult::noDriver: return "Unspecified error: No driver is present.";
    case mmresult::noMem: return "Unspecified error: out of memory.";
    case mmresult::badErrNum: return "Unspecified error: result out of range.";
    default: return errorText;
    }
}

// ---- the buffer ring -----------------------------------------------------

void MMEReader::putBufferInQueue(int32_t index) {
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.load();
    CaptureBuffer& header = headers[index];
    if (header.bufferLength == 0) {
        const int32_t bytes = bytesPerFrame() * bufferSizeFrames;
        header.data = new uint8_t[static_cast<size_t>(bytes)]();
        header.bufferLength = bytes;
        queue->prepare(&header);
    }
    header.user |= queuedMark;
    const uint32_t result = queue->add(&header);
    if (result != mmresult::ok) {
        logError(2, "Unable to add buffer %d to queue:", index);
        logError(2, "%s", getErrorText(queue, result));
        header.user &= ~queuedMark;
        // What it still holds was read already; it must not read as new.
        header.bytesRecorded.store(0, std::memory_order_relaxed);
        header.flags.fetch_and(~CaptureBuffer::done, std::memory_order_release);
    }
}

void MMEReader::giveBack(int32_t index) {
    headers[index].user &= ~queuedMark;
    if (index < bufferCount) putBufferInQueue(index);
}

bool MMEReader::checkLost() {
    LockGuard guard(bufferLock);
    if (lost.load()) return true;
    CaptureQueue* queue = waveIn.load();
    if (!queue || !started.load() || !queue->isLost()) return false;
    // Said once; the reader stops so that nothing waits for this device.
    lost.store(true);
    started.store(false);
    logError(1, "Capture from %s stopped: %s", devices[static_cast<size_t>(deviceNumber)].name.c_str(),
             getErrorText(queue, mmresult::noDriver));
    return true;
}

// ---- open and close ------------------------------------------------------

void MMEReader::open() {
    if (!listed) enumerate();
    if (isOpen()) close();
    // Without devices, or with a number past them, there is nothing to open.
    if (deviceNumber < 0 || deviceNumber >= deviceCount) {
        logError(2, "MMEReader::open(): deviceNumber is higher than device count.");
        return;
    }
    const DeviceEntry& entry = devices[static_cast<size_t>(deviceNumber)];
    {
        LockGuard guard(bufferLock);
        currentBuffer = 0;
        currentOffset = 0;
        event.reset();
        const uint32_t result = entry.layer->open(entry.deviceId, deviceFormat, &event);
        if (result != mmresult::ok) {
            logError(1, "Unable to open %s: %s", entry.name.c_str(), getErrorText(entry.layer, result));
            return;
        }
        lost.store(false);
        bufferEvent.store(&event);
        waveIn.store(entry.layer);
        headers = new CaptureBuffer[maxBuffers];
        for (int32_t i = 0; i < bufferCount; ++i) putBufferInQueue(i);
        event.reset();
    }
    position = 0;
    const int bits = deviceFormat.getBitsPerSample();
    decoder = getAudioCodec(ENCODING_PCM, bits, false, bits > 8, deviceFormat.channels);
}

void MMEReader::close() {
    if (started.load()) stop();
    // Wakes a ticker waiting on the event; it then finds the event gone.
    if (AudioEvent* e = bufferEvent.exchange(nullptr)) e->set();
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.exchange(nullptr);
    if (queue && headers) {
        queue->reset();
        // The device returns every queued buffer as done; it must have
        // before the memory goes. Bounded, in case a device never does.
        for (int waited = 0; waited < 1000; waited += 2) {
            bool pending = false;
            for (int i = 0; i < maxBuffers; ++i)
                if ((headers[i].user & queuedMark) && !isDone(headers[i])) pending = true;
            if (!pending) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (int i = 0; i < maxBuffers; ++i)
            if (headers[i].bufferLength > 0) queue->unprepare(&headers[i]);
    }
    if (queue) queue->close();
    if (headers) {
        for (int i = 0; i < maxBuffers; ++i) delete[] headers[i].data;
        delete[] headers;
        headers = nullptr;
    }
    delete[] inBuffer;
    inBuffer = nullptr;
    inBufferSize = 0;
    inBufferPos = 0;
    inBufferUsed = 0;
    delete decoder;
    decoder = nullptr;
    lost.store(false);
}

void MMEReader::start() {
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.load();
    if (!queue) {
        logDebug(1, "MMEReader::start(): is not open !");
        return;
    }
    if (started.load()) {
        logDebug(1, "MMEReader::start(): already started !");
        return;
    }
    const uint32_t result = queue->start();
    if (result != mmresult::ok) {
        logError(1, "Unable to start %s: %s", devices[static_cast<size_t>(deviceNumber)].name.c_str(),
                 getErrorText(queue, result));
        return;
    }
    delivered = false;
    started.store(true);
}

bool MMEReader::isStarted() {
    if (started.load() && waveIn.load()) checkLost();
    return started.load();
}

void MMEReader::stop() {
    if (!started.load()) {
        logDebug(2, "MMEReader::stop(): not started !");
        return;
    }
    started.store(false);
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.load();
    if (!queue) {
        logDebug(2, "MMEReader::stop(): is not open !");
        return;
    }
    const uint32_t result = queue->stop();
    if (result != mmresult::ok)
        logError(1, "Unable to stop %s: %s", devices[static_cast<size_t>(deviceNumber)].name.c_str(),
                 getErrorText(queue, result));
}

// ---- reading -------------------------------------------------------------

int32_t MMEReader::read(SampleBuffer& buffer, int32_t readPos, float srcFactor) {
    logTrace(10, ">MMEReader::read(...)");
    if (!started.load()) {
        // A lost device was reported once; its chunks are simply empty.
        if (!lost.load()) logError(2, "MMEReader::read(): is not started!.");
        logTrace(10, "<read");
        return 0;
    }
    const int32_t bpf = bytesPerFrame();
    const int32_t bytes = bpf * buffer.currCount;
    if (bytes <= 0) {
        logTrace(10, "<read");
        return 0;
    }
    LockGuard guard(bufferLock);
    if (!headers) {
        // Closed since the started test.
        logTrace(10, "<read");
        return 0;
    }
    if (checkLost()) {
        // Nothing came, and a chunk to overwrite is silence, not old audio.
        if (srcFactor == 0.0f) buffer.makeSilence(0, buffer.currCount);
        logTrace(10, "<read");
        return 0;
    }
    if (!delivered) {
        // The start-up: another clock (a playback device) asks for chunks
        // from its first block on. Until one chunk beyond this one has
        // arrived the chunk is silence, without an underrun; from then on
        // that chunk is a reserve against the two devices' jitter, as the
        // ticker keeps one.
        if (getCapturedFrames(2 * buffer.currCount) < 2 * buffer.currCount) {
            logDebug(3, "Input not delivering yet -> providing silence");
            if (srcFactor == 0.0f) buffer.makeSilence(0, buffer.currCount);
            inBufferUsed = 0;
            logTrace(10, "<read");
            return 0;
        }
        delivered = true;
    }
    int32_t result = buffer.currCount;
    if (readPos == inBufferPos && inBufferUsed == buffer.currCount) {
        logDebug(3, "MMEWaveIn::read : copying again the last buffer");
    } else {
        if (inBufferSize < bytes) {
            delete[] inBuffer;
            inBuffer = new uint8_t[static_cast<size_t>(bytes)];
            inBufferSize = bytes;
        }
        inBufferPos = readPos;
        int32_t filled = 0;
        // A guard against buffers that come back empty forever.
        int idleTurns = 0;
        while (filled < bytes) {
            if (!isDone(headers[currentBuffer])) {
                const int32_t next = currentBuffer + 1 >= bufferCount ? 0 : currentBuffer + 1;
                if (isDone(headers[next]) && idleTurns < 2 * maxBuffers) {
                    giveBack(currentBuffer);
                    currentOffset = 0;
                    currentBuffer = next;
                    ++idleTurns;
                } else {
                    // A device that died is reported as such, not as an
                    // endless run of underruns.
                    if (!checkLost()) {
                        logDebug(3, "Input buffer underrun -> providing silence");
                        notifyListeners(100, 0);
                    }
                    std::memset(inBuffer + filled, deviceFormat.getBitsPerSample() == 8 ? 0x80 : 0,
                                static_cast<size_t>(bytes - filled));
                    result -= (bytes - filled) / bpf;
                    break;
                }
            }
            CaptureBuffer& header = headers[currentBuffer];
            const int32_t recorded = header.bytesRecorded.load(std::memory_order_relaxed);
            const int32_t n = std::min(recorded - currentOffset, bytes - filled);
            if (n > 0) {
                std::memcpy(inBuffer + filled, header.data + currentOffset, static_cast<size_t>(n));
                filled += n;
                currentOffset += n;
                idleTurns = 0;
            } else {
                ++idleTurns;
            }
            if (currentOffset >= recorded) {
                giveBack(currentBuffer);
                currentOffset = 0;
                // Move on; buffers in use that were never queued (the count
                // grew, or queuing failed) join the queue on the way.
                int32_t i = currentBuffer;
                for (;;) {
                    ++i;
                    if (i >= maxBuffers) {
                        i = 0;
                        break;
                    }
                    if (headers[i].user & queuedMark) break;
                    if (i >= bufferCount) {
                        i = 0;
                        break;
                    }
                    putBufferInQueue(i);
                }
                currentBuffer = i;
            }
        }
    }
    if (decoder) {
        decoder->decode(inBuffer, buffer, srcFactor);
        inBufferUsed = buffer.currCount;
    } else {
        logError(3, "read: error: no decoder. Filling with Silence.");
        inBufferUsed = 0;
    }
    position += result;
    logTrace(10, "<read");
    return result;
}

int32_t MMEReader::available(int32_t frames) {
    LockGuard guard(bufferLock);
    // At the start, a chunk comes only with one more in reserve.
    if (frames <= 0) return 0;
    const int64_t extra = delivered ? 0 : frames;
    const int64_t got = getCapturedFrames(static_cast<int32_t>(std::min<int64_t>(frames + extra, INT32_MAX)));
    return static_cast<int32_t>(std::clamp<int64_t>(got - extra, 0, frames));
}

int32_t MMEReader::getCapturedFrames(int32_t frames) {
    if (!isOpen()) return 0;
    LockGuard guard(bufferLock);
    if (!headers) return 0;
    int64_t total = 0;
    if (isDone(headers[currentBuffer]))
        total = headers[currentBuffer].bytesRecorded.load(std::memory_order_relaxed) - currentOffset;
    int32_t i = currentBuffer;
    for (int32_t k = 0; k < bufferCount - 1; ++k) {
        ++i;
        if (i >= maxBuffers) i = 0;
        else if (i >= bufferCount && !(headers[i].user & queuedMark)) i = 0;
        if (!isDone(headers[i])) break;
        total += headers[i].bytesRecorded.load(std::memory_order_relaxed);
    }
    const int64_t got = total / bytesPerFrame();
    return static_cast<int32_t>(std::min<int64_t>(frames, got));
}

int64_t MMEReader::getDeviceOverflowBlocks() {
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.load();
    return queue ? queue->getOverflowBlocks() : 0;
}

int64_t MMEReader::getServerXruns() {
    LockGuard guard(bufferLock);
    CaptureQueue* queue = waveIn.load();
    return queue ? queue->getServerXruns() : 0;
}

int32_t MMEReader::getCurrentBuffer() {
    LockGuard guard(bufferLock);
    return currentBuffer;
}

int32_t MMEReader::getCurrentOffset() {
    LockGuard guard(bufferLock);
    return currentOffset;
}

bool MMEReader::isBufferQueued(int32_t index) {
    LockGuard guard(bufferLock);
    return headers && index >= 0 && index < maxBuffers && (headers[index].user & queuedMark) != 0;
}

// ---- ticker --------------------------------------------------------------

void MMEReader::setTickFrames(int32_t frames) {
    LockGuard guard(tickLock);
    if (frames > 10 && frames != tickFrames) tickFrames = frames;
}

int32_t MMEReader::getTickFrames() {
    LockGuard guard(tickLock);
    return tickFrames;
}

void MMEReader::startTicker(TickListener* listener) {
    tickListener.store(listener);
    if (tickerThread) stopTicker();
    tickerThread = createThread();
    tickerThread->setPriority(5);
    stopTicking.store(false);
    tickerInside.store(true);
    if (!tickerThread->run(this)) {
        tickerInside.store(false);
        delete tickerThread;
        tickerThread = nullptr;
    }
}

void MMEReader::stopTicker() {
    if (!tickerThread) return;
    stopTicking.store(true);
    if (!tickerThread->terminate(1000)) {
        // The body is still inside a tick. It runs on this object, so wait
        // until it has left before the thread object (or this) may go.
        for (int waited = 1; tickerInside.load(); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (waited % 1000 == 0) logError(2, "MMEReader::stopTicker(): ticker still busy after %d ms.", 1000 + waited);
        }
    }
    delete tickerThread;
    tickerThread = nullptr;
}

void MMEReader::run(Thread& thread) {
    auto going = [&] { return !stopTicking.load() && !thread.shouldStop(); };
    while (going()) {
        AudioEvent* e = bufferEvent.load();
        if (started.load() && e) {
            // A device that stays quiet may have died.
            if (!e->wait(300)) checkLost();
            const int32_t d = getTickFrames();
            auto live = [&] { return bufferEvent.load() != nullptr && started.load() && going(); };
            if (live()) {
                const int32_t a = getCapturedFrames(10 * d);
                for (int32_t g = a - d; g > 0 && live(); g -= d)
                    if (TickListener* listener = tickListener.load()) listener->ticked(d);
            }
        } else {
            thread.sleep(10);
        }
    }
    tickerInside.store(false);
}

} // namespace sonabel
