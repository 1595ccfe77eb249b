#include "filters/AudioFilter.h"

#include "core/Log.h"
#include "filters/FilterListener.h"

namespace sonabel {

bool AudioFilter::isActive() { return active.load(std::memory_order_relaxed); }

void AudioFilter::setActive(bool on) { active.store(on, std::memory_order_relaxed); }

void AudioFilter::notifyTextChanged(int32_t index) {
    if (listener) listener->parameterTextChanged(this, index);
}

void AudioFilter::notifyValueChanged(int32_t index) {
    if (listener) listener->parameterValueChanged(this, index);
}

void AudioFilter::inputEnded() {}

const ParameterInfo* AudioFilter::lookupParameterInfo(const ParameterInfo* table, int32_t count, int32_t index,
                                                      const char* className) {
    if (index >= 0 && index < count) return &table[index];
    logError(2, "%s::getParameterInfo(%d): out of range.", className, index);
    return nullptr;
}

int32_t AudioFilter::clampParameter(const ParameterInfo& info, int32_t value) {
    if (value < info.min) return info.min;
    if (value > info.max) return info.max;
    return value;
}

bool AudioFilter::checkParameterIndex(int32_t count, int32_t index, int32_t value, const char* className) {
    if (index >= 0 && index < count) return true;
    logError(2, "%s::setParameter(%d, %d): number out of range.", className, index, value);
    return false;
}

} // namespace sonabel
