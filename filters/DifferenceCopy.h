#pragma once
// The chunk a "Difference listener begin" filter saw, kept for the next
// "Difference listener end" filter, which subtracts it. One copy and one
// pending flag for the whole process: every begin and end filter shares
// them. Used only on the audio thread, inside the mixer's filter-chain lock.

#include "core/SampleBuffer.h"

namespace sonabel {

class DifferenceCopy {
public:
    DifferenceCopy() = default;
    DifferenceCopy(const DifferenceCopy&) = delete;
    DifferenceCopy& operator=(const DifferenceCopy&) = delete;

    static DifferenceCopy& shared();

    // Grows to the buffer's channels and window when it has to.
    SampleBuffer copy{1, 1};
    // A copy waits for an end filter.
    bool pending = false;
};

} // namespace sonabel
