#include "io/DirectSoundWriter.h"

#include "core/Lock.h"
#include "core/Log.h"
#include "core/PCMCodec.h"
#include "core/SampleBuffer.h"
#include "core/Thread.h"
#include "engine/TickListener.h"
#include "io/AudioApi.h"
#include "io/AudioLibrary.h"
#include "io/NullPlaybackRing.h"
#include "io/PlaybackRing.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace sonabel {

namespace {

// The ticker's real-time priority: modest, below a JACK server's (10 by
// default) and its clients' process threads (5, our own callback among
// them), so that making a chunk never holds up a cycle; above every normal
// thread, so that busy ones cannot delay a tick.
constexpr int tickerFifoPriority = 3;
// A stopped or closed device is looked at this often, in milliseconds.
constexpr int32_t idleMillis = 10;

void raiseTickerPriority(Thread& thread) {
#if defined(__linux__)
    (void)thread;
    sched_param param{};
    param.sched_priority = tickerFifoPriority;
    // Without the privilege the thread keeps its normal priority, silently.
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
#else
    thread.setPriority(5);
#endif
}

} // namespace

const char* getPlaybackResultName(uint32_t code) {
    switch (code) {
    case dsresult::unsupported: return "DSERR_UNSUPPORTED";
    case dsresult::generic: return "DSERR_GENERIC";
    case dsresult::noAggregation: return "DSERR_NOAGGREGATION";
    case dsresult::outOfMemory: return "DSERR_OUTOFMEMORY";
    case dsresult::invalidParam: return "DSERR_INVALIDPARAM";
    case dsresult::allocated: return "DSERR_ALLOCATED";
    case dsresult::controlUnavail: return "DSERR_CONTROLUNAVAIL";
    case dsresult::invalidCall: return "DSERR_INVALIDCALL";
    case dsresult::prioLevelNeeded: return "DSERR_PRIOLEVELNEEDED";
    case dsresult::badFormat: return "DSERR_BADFORMAT";
    case dsresult::noDriver: return "DSERR_NODRIVER";
    case dsresult::alreadyInitialized: return "DSERR_ALREADYINITIALIZED";
    case dsresult::bufferLost: return "DSERR_BUFFERLOST";
    case dsresult::otherAppHasPrio: return "DSERR_OTHERAPPHASPRIO";
    case dsresult::uninitialized: return "DSERR_UNINITIALIZED";
    default: return "Unknown HRESULT";
    }
}

DirectSoundWriter::DirectSoundWriter() : tickLock(createLock()), defaultLayers(true), bufferLock(createLock()) {
    logTrace(5, ">DirectSoundWriter::constructor() Object=%p", static_cast<void*>(this));
    logTrace(5, "<DirectSoundWriter::constructor()");
}

DirectSoundWriter::DirectSoundWriter(std::vector<PlaybackRing*> given)
    : tickLock(createLock()), layers(std::move(given)), defaultLayers(false), bufferLock(createLock()) {
    logTrace(5, ">DirectSoundWriter::constructor() Object=%p", static_cast<void*>(this));
    logTrace(5, "<DirectSoundWriter::constructor()");
}

DirectSoundWriter::~DirectSoundWriter() {
    logTrace(5, ">DirectSoundWriter::destructor() Object=%p", static_cast<void*>(this));
    // The owner should have stopped the clock; a running ticker would
    // outlive this object.
    stopTicker();
    close();
    for (PlaybackRing* layer : layers) delete layer;
    delete bufferLock;
    delete tickLock;
    logTrace(5, "<DirectSoundWriter::destructor()");
}

// ---- devices -------------------------------------------------------------

namespace {

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

void DirectSoundWriter::enumerate() {
    deviceCount = 0;
    devices.clear();
    // A sound system forced by SONABEL_AUDIO_API that offers no device is an
    // error, and the null device is then not offered either: it would
    // "play" into nothing without a word.
    bool forced = false;
    if (defaultLayers && layers.empty()) {
        const AudioApi api = AudioLibrary::instance().chooseApi(&forced);
        forced = forced && api != AudioApi::null;
        if (api != AudioApi::null) {
            if (auto* layer = AudioLibrary::instance().createPlaybackRing(api)) layers.push_back(layer);
        }
        layers.push_back(new NullPlaybackRing);
    }
    for (PlaybackRing* layer : layers) {
        std::vector<std::string> names;
        std::vector<int> ids;
        EnumerationContext context{&names, &ids};
        const uint32_t result = layer->enumerate(&collect, &context);
        if (forced && (result != dsresult::ok || names.empty())) {
            logError(1, "DirectSoundEnumerate failed. %s, forced by SONABEL_AUDIO_API=%s, offers no output device: %s",
                     layer->getApiName(), std::getenv("SONABEL_AUDIO_API"),
                     *layer->getLastMessage() ? layer->getLastMessage() : "none is listed");
            break;
        }
        forced = false;
        if (result != dsresult::ok) logError(2, "DirectSoundEnumerate failed.");
        const bool labelled = layers.size() > 1 && std::strcmp(layer->getApiName(), "Null") != 0;
        for (size_t i = 0; i < names.size(); ++i) {
            // Only ten devices fit the list.
            if (devices.size() >= 10) break;
            std::string name = names[i];
            if (labelled) name += std::string(" (") + layer->getApiName() + ")";
            devices.push_back(DeviceEntry{name, layer, ids[i]});
        }
    }
    deviceCount = static_cast<int32_t>(devices.size());
}

int32_t DirectSoundWriter::getDeviceCount() {
    if (deviceCount < 0) enumerate();
    return deviceCount;
}

const char* DirectSoundWriter::getDeviceName(int32_t index) {
    if (deviceCount < 0) enumerate();
    if (index < 0 || index >= deviceCount) {
        logError(2, "Index out of bounds in DirectSoundWriter::getDeviceName(%d)", index);
        return nullptr;
    }
    return devices[static_cast<size_t>(index)].name.c_str();
}

void DirectSoundWriter::setDevice(int32_t index) {
    if (isOpen()) {
        logError(2, "DirectSoundWriter: Cannot change device while open");
        return;
    }
    deviceNumber = index;
}

void DirectSoundWriter::setDeviceFormat(const AudioDeviceFormat& format) {
    if (format.bitsPerSample == deviceFormat.bitsPerSample && format.channels == deviceFormat.channels &&
        format.sampleRate == deviceFormat.sampleRate)
        return;
    if (isOpen()) {
        logError(2, "DirectSoundWriter: Cannot change AudioDeviceFormat while open");
        return;
    }
    deviceFormat.bitsPerSample = const_cast<AudioDeviceFormat&>(format).getBitsPerSample();
    deviceFormat.channels = format.channels;
    deviceFormat.sampleRate = format.sampleRate;
}

void DirectSoundWriter::setAudioFormat(const AudioFormat& format) {
    if (format.isSame(deviceFormat)) return;
    if (isOpen()) {
        logError(2, "DirectSoundWriter: Cannot change AudioFormat while open");
        return;
    }
    deviceFormat.copyFrom(format);
}

// ---- sizes ---------------------------------------------------------------

void DirectSoundWriter::computeSizes() {
    LockGuard guard(bufferLock);
    const int64_t bpf = bytesPerFrame();
    if (bpf <= 0) return;
    const int64_t frames = static_cast<int64_t>(ringMillis * static_cast<double>(deviceFormat.sampleRate)) / 1000;
    ringBytes = static_cast<int32_t>(frames * bpf);
    const int64_t half = ringBytes / 2;
    // 64-bit products: any count the panel passes must not overflow.
    if (bpf * bufferSizeFrames * bufferCount > half && bufferSizeFrames > 0)
        bufferCount = static_cast<int32_t>(half / (bpf * bufferSizeFrames));
    if (bufferCount < 1) bufferCount = 1;
    if (bpf * bufferCount * bufferSizeFrames > half) bufferSizeFrames = static_cast<int32_t>(half / (bpf * bufferCount));
    if (bufferSizeFrames < 10) bufferSizeFrames = 10;
    writeAheadBytes = static_cast<int32_t>(bpf * bufferCount * bufferSizeFrames);
}

int32_t DirectSoundWriter::getBufferCount() {
    LockGuard guard(bufferLock);
    return bufferCount;
}

void DirectSoundWriter::setBufferCount(int32_t count) {
    LockGuard guard(bufferLock);
    bufferCount = count;
    if (bufferCount < 2 && !acceptsSingleBuffer()) bufferCount = 2;
    computeSizes();
    noteWriteAhead();
}

int32_t DirectSoundWriter::getBufferSizeFrames() {
    LockGuard guard(bufferLock);
    return bufferSizeFrames;
}

void DirectSoundWriter::setBufferSizeFrames(int32_t frames) {
    LockGuard guard(bufferLock);
    bufferSizeFrames = frames;
    computeSizes();
    noteWriteAhead();
}

int32_t DirectSoundWriter::getWriteAheadBytes() {
    LockGuard guard(bufferLock);
    return writeAheadBytes;
}

int32_t DirectSoundWriter::getRingBytes() {
    LockGuard guard(bufferLock);
    return ringBytes;
}

int32_t DirectSoundWriter::getNextWrite() {
    LockGuard guard(bufferLock);
    return nextWrite;
}

PlaybackRing* DirectSoundWriter::getChosenLayer() {
    if (PlaybackRing* ring = ringBuffer.load()) return ring;
    if (deviceCount < 0) enumerate();
    if (deviceNumber < 0 || deviceNumber >= deviceCount) return nullptr;
    return devices[static_cast<size_t>(deviceNumber)].layer;
}

bool DirectSoundWriter::acceptsSingleBuffer() {
    LockGuard guard(bufferLock);
    PlaybackRing* layer = getChosenLayer();
    return !layer || layer->acceptsSingleBuffer();
}

int32_t DirectSoundWriter::getDevicePeriodFrames() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    return ring ? ring->getPeriodFrames() : 0;
}

int32_t DirectSoundWriter::getMinWriteAheadFrames() {
    LockGuard guard(bufferLock);
    const int32_t period = getDevicePeriodFrames();
    const auto wakeUp = static_cast<int32_t>(deviceFormat.sampleRate / 100.0f);
    return getTickFrames() + std::max(period, wakeUp);
}

bool DirectSoundWriter::isWriteAheadTooShort() {
    LockGuard guard(bufferLock);
    const int32_t bpf = bytesPerFrame();
    return bpf > 0 && writeAheadBytes / bpf < getMinWriteAheadFrames();
}

void DirectSoundWriter::noteWriteAhead() {
    LockGuard guard(bufferLock);
    const bool tooShort = isOpen() && isWriteAheadTooShort();
    if (tooShort && !shortNoted) {
        const int32_t frames = writeAheadBytes / bytesPerFrame();
        logError(2,
                 "DirectSoundWriter: a write-ahead of %d frames is too short for chunks of %d frames on this device "
                 "(blocks of %d frames): it needs at least %d frames, or every tick underruns.",
                 frames, getTickFrames(), getDevicePeriodFrames(), getMinWriteAheadFrames());
    }
    shortNoted = tooShort;
}

int64_t DirectSoundWriter::getDeviceEmptyBlocks() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    return ring ? ring->getEmptyBlocks() : 0;
}

int64_t DirectSoundWriter::getServerXruns() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    return ring ? ring->getServerXruns() : 0;
}

// ---- open and close ------------------------------------------------------

bool DirectSoundWriter::createDSound() {
    if (deviceCount < 0) enumerate();
    // A negative number is as wrong as one past the end.
    if (deviceNumber < 0 || deviceNumber >= getDeviceCount()) {
        logError(2, "createDSound: deviceNumber is higher than device count.");
        return false;
    }
    const DeviceEntry& entry = devices[static_cast<size_t>(deviceNumber)];
    device = entry.layer;
    const uint32_t result = device->openDevice(entry.deviceId, deviceFormat);
    if (result != dsresult::ok) {
        logError(1, "createDSound: Failed to create DirectSound: %s%s%s%s", getPlaybackResultName(result),
                 *device->getLastMessage() ? " (" : "", device->getLastMessage(), *device->getLastMessage() ? ")" : "");
        return false;
    }
    return true;
}

bool DirectSoundWriter::createSecondaryBuffer() {
    computeSizes();
    const uint32_t result = device->createRing(ringBytes);
    if (result != dsresult::ok) {
        logError(1, "createSecondaryBuffer: Failed to create sound buffer: %s", getPlaybackResultName(result));
        return false;
    }
    return true;
}

void DirectSoundWriter::fillBufferWithSilence() {
    LockGuard guard(bufferLock);
    uint8_t* first = nullptr;
    uint8_t* second = nullptr;
    int32_t firstBytes = 0, secondBytes = 0;
    if (device->lock(0, ringBytes, &first, &firstBytes, &second, &secondBytes) != dsresult::ok) {
        logError(2, "fillBufferWithSilence: Failed to lock sound buffer.");
        return;
    }
    const int fill = deviceFormat.getBitsPerSample() == 8 ? 0x80 : 0;
    if (first) std::memset(first, fill, static_cast<size_t>(firstBytes));
    if (second) std::memset(second, fill, static_cast<size_t>(secondBytes));
    device->unlock(first, firstBytes, second, secondBytes);
}

void DirectSoundWriter::open() {
    close();
    LockGuard guard(bufferLock);
    if (!createDSound() || !createSecondaryBuffer()) return;
    fillBufferWithSilence();
    nextWrite = -1;
    position = 0;
    const int bits = deviceFormat.getBitsPerSample();
    encoder = getAudioCodec(ENCODING_PCM, bits, false, bits > 8, deviceFormat.channels);
    ringBuffer.store(device);
    shortNoted = false;
    noteWriteAhead();
}

void DirectSoundWriter::close() {
    // Under the lock, so that the ticker's room check never meets a ring
    // being released.
    LockGuard guard(bufferLock);
    ringBuffer.store(nullptr);
    if (device) device->release();
    device = nullptr;
    delete encoder;
    encoder = nullptr;
}

void DirectSoundWriter::start() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    if (!ring) {
        logError(2, "DirectSoundWriter::start(): open must be called before.");
        return;
    }
    if (isStarted()) {
        logError(2, "DirectSoundWriter::start(): start called repeatedly.");
        return;
    }
    const uint32_t result = ring->play();
    if (result != dsresult::ok) logError(1, "DirectSoundWriter::start(): Play failed: %s", getPlaybackResultName(result));
}

void DirectSoundWriter::stop() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    if (!ring) {
        logDebug(3, "DirectSoundWriter::stop(): device not open.");
        return;
    }
    if (!isStarted()) {
        logError(2, "DirectSoundWriter::stop(): device not started.");
        return;
    }
    ring->stop();
}

bool DirectSoundWriter::isStarted() {
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    if (!ring) return false;
    uint32_t status = 0;
    if (ring->getStatus(&status) != dsresult::ok) {
        logError(2, "DirectSoundWriter::isStarted(): GetStatus failed.");
        return false;
    }
    return (status & ringstatus::looping) != 0;
}

// ---- writing -------------------------------------------------------------

int32_t DirectSoundWriter::getWritableBytes(int32_t wanted, int* status) {
    // The lock comes first so that close cannot release the ring while its
    // cursors are read.
    LockGuard guard(bufferLock);
    if (status) *status = 0;
    PlaybackRing* ring = ringBuffer.load();
    if (!ring) return 0;
    int32_t play = 0, safeWrite = 0;
    const uint32_t result = ring->getCurrentPosition(&play, &safeWrite);
    if (result == dsresult::bufferLost) {
        // Let write find the lost ring and restore it, unless an earlier
        // restore failed and the ring has stopped for good.
        uint32_t ringStatus = 0;
        ring->getStatus(&ringStatus);
        return (ringStatus & ringstatus::looping) ? wanted : 0;
    }
    if (result != dsresult::ok) {
        logError(2, "write: Failed to get current position.");
        return 0;
    }
    int64_t played = 0;
    ring->getPlayedFrames(&played);
    if (nextWrite == -1) {
        // Playback has not moved yet.
        if (play == 0) return 0;
        // Only the write places the first chunk, at the safe-write cursor
        // of that moment: placed by the ticker's room check, the block the
        // device takes before the chunk arrives would read as an underrun.
        if (!status) return wanted;
        // The write-ahead starts out as the ring's own silence: the first
        // chunk goes near its far end, so that the clock asks for one chunk
        // per chunk's time from the start. Pulling the whole write-ahead
        // through the chain at once would run a live input (a capture that
        // has a block or two so far) dry, and count the fill as underruns.
        // One chunk of room stays for the block the device is playing:
        // counted from the safe-write cursor, so that the next ticks come
        // right after the device takes a block, as they do when the
        // write-ahead is filled chunk by chunk.
        const int32_t lead = std::max(writeAheadBytes - 2 * wanted, 0);
        nextWrite = (safeWrite + lead) % ringBytes;
        nextWriteFrame = played + lead / bytesPerFrame();
    }
    const int32_t bpf = bytesPerFrame();
    const int32_t n = ringBytes;
    const int32_t w = nextWrite;
    // Both positions unwrapped relative to the play cursor.
    int32_t wu = w < play ? w + n : w;
    const int32_t cu = safeWrite < play ? safeWrite + n : safeWrite;
    // Playback that has run more than a block past everything written (a
    // stall longer than the write-ahead) would look like data far ahead,
    // and nothing would be written until the play cursor came round the
    // ring. Counted in frames it cannot hide: the written position is then
    // that far behind the safe-write cursor.
    const bool starved = played > nextWriteFrame;
    if (starved) wu = cu - static_cast<int32_t>(std::min<int64_t>(played - nextWriteFrame, n / bpf)) * bpf;
    if (status && wu < cu) {
        // Playback has passed everything written: shorten this chunk by
        // the amount playback is ahead, so what follows stays in time.
        *status = 1;
        nextWrite = cu % n;
        nextWriteFrame = played;
        const int32_t bytes = ((wu - cu + wanted) / bpf) * bpf;
        return bytes > 0 ? bytes : 0;
    }
    // A chunk is due at once.
    if (starved) return wanted;
    if (w < play && (w + wanted) % n > play) {
        if (status) *status = 2;
        return 0;
    }
    const int32_t queued = wu - play;
    return writeAheadBytes - queued >= wanted ? wanted : 0;
}

bool DirectSoundWriter::canWrite(int32_t bytes) { return isOpen() && getWritableBytes(bytes, nullptr) > 0; }

int32_t DirectSoundWriter::available(int32_t frames) { return canWrite(frames * bytesPerFrame()) ? frames : 0; }

void DirectSoundWriter::write(SampleBuffer& buffer) {
    logTrace(10, ">DirectSoundWriter::write(...)");
    LockGuard guard(bufferLock);
    PlaybackRing* ring = ringBuffer.load();
    if (!ring) {
        logError(2, "write: is not open!.");
        logTrace(10, "<write");
        return;
    }
    const int32_t bpf = bytesPerFrame();
    const int32_t frames = buffer.currCount;
    int status = 0;
    const int32_t n = getWritableBytes(frames * bpf, &status);
    int32_t skip = 0;
    if (status == 1) {
        notifyListeners(100, 0);
        skip = frames - n / bpf;
    } else if (status == 2) {
        notifyListeners(101, 0);
    }
    if (n == 0) {
        logTrace(10, "<write");
        return;
    }
    uint8_t* first = nullptr;
    uint8_t* second = nullptr;
    int32_t firstBytes = 0, secondBytes = 0;
    const uint32_t result = ring->lock(nextWrite, n, &first, &firstBytes, &second, &secondBytes);
    if (result == dsresult::bufferLost) {
        logDebug(4, "write: Restoring lost Buffer.");
        const uint32_t restored = ring->restore();
        if (restored != dsresult::ok) {
            // The device is gone (a server that died): say so once and
            // stop, so the clock goes quiet until the device is reopened.
            logError(1, "write: Failed to restore lost buffer: %s%s%s%s", getPlaybackResultName(restored),
                     *ring->getLastMessage() ? " (" : "", ring->getLastMessage(), *ring->getLastMessage() ? ")" : "");
            ring->stop();
        } else {
            fillBufferWithSilence();
            const uint32_t played = ring->play();
            if (played != dsresult::ok) logError(1, "write: Failed to play restored buffer: %s", getPlaybackResultName(played));
        }
        nextWrite = -1;
    } else if (result != dsresult::ok) {
        logError(2, "write: Lock failed.");
    } else {
        if (!encoder) {
            logError(3, "write: error: no encoder");
        } else {
            buffer.pushSubset(skip, firstBytes / bpf);
            encoder->encode(buffer, first);
            if (second && secondBytes > 0) {
                buffer.popSubset();
                buffer.pushSubset(skip + firstBytes / bpf, secondBytes / bpf);
                encoder->encode(buffer, second);
                nextWrite = secondBytes;
            } else {
                nextWrite = (nextWrite + firstBytes) % ringBytes;
            }
            buffer.popSubset();
            nextWriteFrame += n / bpf;
            ring->setWrittenEnd(nextWriteFrame);
        }
        ring->unlock(first, firstBytes, second, secondBytes);
    }
    position += frames;
    logTrace(10, "<write");
}

// ---- ticker --------------------------------------------------------------

void DirectSoundWriter::setTickFrames(int32_t frames) {
    {
        LockGuard guard(tickLock);
        if (frames <= 10 || frames == tickFrames) return;
        tickFrames = frames;
    }
    noteWriteAhead();
}

int32_t DirectSoundWriter::getTickFrames() {
    LockGuard guard(tickLock);
    return tickFrames;
}

void DirectSoundWriter::startTicker(TickListener* listener) {
    if (!isStarted()) logDebug(1, "Warning: DirectSoundWriter::startTicker() called without starting the device.");
    tickListener.store(listener);
    if (tickerThread) stopTicker();
    stopTicking.store(false);
    tickerThread = createThread();
    tickerInside.store(true);
    if (!tickerThread->run(this)) {
        tickerInside.store(false);
        delete tickerThread;
        tickerThread = nullptr;
    }
}

void DirectSoundWriter::stopTicker() {
    if (!tickerThread) return;
    stopTicking.store(true);
    if (!tickerThread->terminate(1000)) {
        // The body is still inside a tick. It runs on this object, so wait
        // until it has left before anyone may destroy either.
        for (int waited = 1; tickerInside.load(); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (waited % 1000 == 0) logError(2, "DirectSoundWriter::stopTicker(): ticker still busy after %d ms.", 1000 + waited);
        }
    }
    delete tickerThread;
    tickerThread = nullptr;
}

int64_t DirectSoundWriter::getWakeNanos(PlaybackRing* ring, int32_t frames) {
    const int64_t now = ring->getNowNanos();
    uint32_t status = 0;
    if (ring->getStatus(&status) != dsresult::ok || !(status & ringstatus::looping))
        return now + int64_t{idleMillis} * 1'000'000;
    const int64_t poll = now + int64_t{pollMillis} * 1'000'000;
    const int32_t bpf = bytesPerFrame();
    // Not placed yet: the first chunk waits for the play cursor to move.
    if (nextWrite == -1 || bpf <= 0) return poll;
    // The chunk fits once the play cursor is this far.
    const int64_t target = nextWriteFrame + frames - writeAheadBytes / bpf;
    const int64_t due = ring->getPlayFrameNanos(target);
    // 0: the ring cannot tell; in the past: the device is late.
    if (due <= now) return poll;
    return std::min(due, now + int64_t{maxSleepMillis} * 1'000'000);
}

void DirectSoundWriter::sleepUntilDue(Thread& thread, int32_t frames) {
    PlaybackRing* clock = nullptr;
    int64_t wake = 0;
    {
        LockGuard guard(bufferLock);
        clock = ringBuffer.load();
        if (clock) wake = getWakeNanos(clock, frames);
    }
    // The layer outlives a close meanwhile: the writer owns it.
    if (clock) clock->sleepUntilNanos(wake);
    else thread.sleep(idleMillis);
}

void DirectSoundWriter::run(Thread& thread) {
    raiseTickerPriority(thread);
    auto stopping = [&] { return stopTicking.load() || thread.shouldStop(); };
    int32_t frames = getTickFrames();
    int32_t bytes = frames * bytesPerFrame();
    while (!stopping()) {
        if (isStarted() && canWrite(bytes)) {
            const int32_t before = position.load();
            if (stopping()) break;
            if (TickListener* listener = tickListener.load()) listener->ticked(frames);
            // A new size takes effect on the next tick.
            frames = getTickFrames();
            bytes = frames * bytesPerFrame();
            if (stopping()) break;
            // After a late wake the next chunk may fit at once. A tick that
            // wrote nothing here waits like any other, or it would spin.
            if (position.load() != before) continue;
        }
        sleepUntilDue(thread, frames);
    }
    tickerInside.store(false);
}

} // namespace sonabel
