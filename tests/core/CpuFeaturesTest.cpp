// The run-time choice among the builds of a kernel table: never a build that
// was not made, never one the processor cannot run, else the widest.

#include "core/CpuFeatures.h"

#include <gtest/gtest.h>

using namespace sonabel;

TEST(CpuFeatures, ChoosesTheWidestBuildThisProcessorRuns) {
    const int portable = 0, avx2 = 1, avx512 = 2;
    struct Case {
        const char* name;
        const int* avx2Set;
        const int* avx512Set;
        const int* expected;
    } cases[] = {
        {"baseline only", nullptr, nullptr, &portable},
        {"AVX2 built", &avx2, nullptr, CpuFeatures::hasAvx2() ? &avx2 : &portable},
        {"AVX-512 built, not AVX2", nullptr, &avx512, CpuFeatures::hasAvx512() ? &avx512 : &portable},
        {"all three", &avx2, &avx512,
         CpuFeatures::hasAvx512() ? &avx512 : (CpuFeatures::hasAvx2() ? &avx2 : &portable)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CpuFeatures::choose(&portable, c.avx2Set, c.avx512Set), c.expected);
    }
    // AVX-512 here always comes with AVX2 and FMA.
    if (CpuFeatures::hasAvx512()) {
        EXPECT_TRUE(CpuFeatures::hasAvx2());
    }
}
