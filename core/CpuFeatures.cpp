#include "core/CpuFeatures.h"

namespace sonabel {

#if defined(__x86_64__) || defined(__i386__)

bool CpuFeatures::hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return has;
}

bool CpuFeatures::hasAvx512() {
    static const bool has = hasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("avx512bw");
    return has;
}

#else

bool CpuFeatures::hasAvx2() { return false; }
bool CpuFeatures::hasAvx512() { return false; }

#endif

} // namespace sonabel
