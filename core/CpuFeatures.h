#pragma once
// Which vector instruction sets this processor runs, for the kernels that
// are built several times and chosen at run time (PCM conversion, wavelet
// transform). Asked once per process; callable from any thread.

namespace sonabel {

class CpuFeatures {
public:
    // AVX2 with FMA (every x86 processor with AVX2 that Sonabel meets has
    // both).
    static bool hasAvx2();
    // AVX-512 F, VL and BW, with AVX2 and FMA.
    static bool hasAvx512();

    // The best of up to three builds of one kernel table: avx512 when it was
    // built (non-null) and the processor runs it, else avx2 likewise, else
    // portable.
    template <typename Set>
    static const Set* choose(const Set* portable, const Set* avx2, const Set* avx512) {
        if (avx512 && hasAvx512()) return avx512;
        if (avx2 && hasAvx2()) return avx2;
        return portable;
    }
};

} // namespace sonabel
