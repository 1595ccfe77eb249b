#include "filters/DifferenceBeginFilter.h"

#include "core/Lock.h"
#include "filters/DifferenceCopy.h"

namespace sonabel {

DifferenceBeginFilter::DifferenceBeginFilter() : lock(createLock()) { lock->setName("DifferenceBeginFilter"); }

DifferenceBeginFilter::~DifferenceBeginFilter() { delete lock; }

void DifferenceBeginFilter::setFormat(const AudioFormat& newFormat) {
    LockGuard guard(lock);
    format.copyFrom(newFormat);
}

char* DifferenceBeginFilter::getParameterText(int32_t, char* buffer, int32_t capacity) {
    if (capacity > 0) buffer[0] = 0;
    return buffer;
}

void DifferenceBeginFilter::process(SampleBuffer& buffer) {
    DifferenceCopy& shared = DifferenceCopy::shared();
    shared.copy.copyFrom(buffer);
    shared.pending = true;
}

} // namespace sonabel
