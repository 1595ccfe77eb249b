#pragma once
// One element of the filter chain. The mixer calls isActive and process on
// the audio thread, once per chunk, and setFormat when its format changes.
// The interface calls the parameter operations on its own thread. A filter
// with state that both touch guards it with its own recursive lock: process
// holds it for the whole chunk, setParameter and setFormat while storing and
// recomputing.

#include "core/AudioExtension.h"
#include "core/AudioFormat.h"
#include "filters/ParameterInfo.h"

#include <atomic>
#include <cstdint>

namespace sonabel {

class FilterListener;
class SampleBuffer;

class AudioFilter : public AudioExtension {
public:
    AudioFilter() = default;
    AudioFilter(const AudioFilter&) = delete;
    AudioFilter& operator=(const AudioFilter&) = delete;

    virtual AudioFormat* getFormat() = 0;
    // Copies channels and rate and recomputes what depends on them.
    virtual void setFormat(const AudioFormat& format) = 0;
    // Filters the buffer's window in place.
    virtual void process(SampleBuffer& buffer) = 0;
    virtual int32_t getParameterCount() = 0;
    // Null (with an error) for an unknown index.
    virtual const ParameterInfo* getParameterInfo(int32_t index) = 0;
    // Clamps the value to the record's range, recomputes, then notifies.
    virtual void setParameter(int32_t index, int32_t value) = 0;
    virtual int32_t getParameter(int32_t index) = 0;
    // Writes the value text (at most capacity chars) and returns the buffer.
    virtual char* getParameterText(int32_t index, char* buffer, int32_t capacity) = 0;
    virtual bool isActive();
    virtual void setActive(bool on);
    virtual void notifyTextChanged(int32_t index);
    virtual void notifyValueChanged(int32_t index);
    // The input has ended (an offline render, or a play to the end): a filter
    // that publishes figures now and then publishes what it gathered since
    // its last publication, so the final figures cover the whole input. Not
    // called while process runs. The default does nothing.
    virtual void inputEnded();

    // The user's bypass switch; read by the audio thread without a lock.
    std::atomic<bool> active{true};
    // Performance-counter ticks spent in process, and the calls timed, since
    // the load display last reset them. Audio thread writes, display reads.
    std::atomic<float> processTime{0.0f};
    std::atomic<int32_t> processCount{0};
    FilterListener* listener = nullptr; // not owned

protected:
    // The common behaviour over a static table: the record, or null after
    // "<className>::getParameterInfo(%d): out of range.".
    static const ParameterInfo* lookupParameterInfo(const ParameterInfo* table, int32_t count, int32_t index,
                                                    const char* className);
    // Clamps a value to the record's min..max.
    static int32_t clampParameter(const ParameterInfo& info, int32_t value);
    // Reports "<className>::setParameter(%d, %d): number out of range." when
    // the index is unknown and returns false.
    static bool checkParameterIndex(int32_t count, int32_t index, int32_t value, const char* className);
};

} // namespace sonabel
