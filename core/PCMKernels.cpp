#include "core/PCMKernels.h"

#include "core/CpuFeatures.h"

namespace sonabel::pcm_kernels {

namespace portable {
extern const KernelSet kernelSet;
}
#if defined(SONABEL_PCM_AVX2_KERNELS)
namespace avx2 {
extern const KernelSet kernelSet;
}
#endif
#if defined(SONABEL_PCM_AVX512_KERNELS)
namespace avx512 {
extern const KernelSet kernelSet;
}
#endif

const KernelSet& portableKernels() { return portable::kernelSet; }

const KernelSet* avx2Kernels() {
#if defined(SONABEL_PCM_AVX2_KERNELS)
    return CpuFeatures::hasAvx2() ? &avx2::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet* avx512Kernels() {
#if defined(SONABEL_PCM_AVX512_KERNELS)
    return CpuFeatures::hasAvx512() ? &avx512::kernelSet : nullptr;
#else
    return nullptr;
#endif
}

const KernelSet& bestKernels() {
    static const KernelSet* best = CpuFeatures::choose(&portable::kernelSet, avx2Kernels(), avx512Kernels());
    return *best;
}

namespace {

float sampleValue(const uint8_t* p, PCMLayout layout) {
    if (layout.bits == 8)
        return layout.signedSamples ? static_cast<float>(static_cast<int8_t>(p[0])) * 0.0078125f
                                    : static_cast<float>(static_cast<int>(p[0]) - 128) * 0.0078125f;
    const int lo = layout.bigEndian ? 1 : 0;
    const int hi = layout.bigEndian ? 0 : 1;
    const int u = p[lo] | (p[hi] << 8);
    if (layout.signedSamples) return static_cast<float>(static_cast<int16_t>(u)) * 0.000030517578125f;
    return static_cast<float>(u - 32768) * 0.000030517578125f;
}

// x = v * 32768.0 taken in double precision and rounded with floor(x + 0.5).
// After clamping, x + 32768.5 is positive, so truncation is the floor.
int clip16(float v) {
    double x = static_cast<double>(v) * 32768.0;
    if (x != x) return 0; // NaN has no sample value
    x = x > 32767.0 ? 32767.0 : (x < -32768.0 ? -32768.0 : x);
    return static_cast<int>(x + 32768.5) - 32768;
}

int clip8(float v) {
    double x = static_cast<double>(v) * 128.0;
    if (x != x) return 0;
    x = x >= 127.0 ? 127.0 : (x <= -128.0 ? -128.0 : x);
    return static_cast<int>(x + 128.5) - 128;
}

} // namespace

void decodeReference(const uint8_t* src, int stride, float* out, int frames, float srcFactor, PCMLayout layout) {
    const long step = static_cast<long>(stride) * (layout.bits / 8);
    for (int f = 0; f < frames; ++f) {
        const float v = sampleValue(src + f * step, layout);
        out[f] = srcFactor == 0.0f ? v : v * srcFactor + out[f];
    }
}

void encodeReference(const float* in, uint8_t* dst, int stride, int frames, PCMLayout layout) {
    const long step = static_cast<long>(stride) * (layout.bits / 8);
    for (int f = 0; f < frames; ++f) {
        uint8_t* p = dst + f * step;
        if (layout.bits == 8) {
            p[0] = static_cast<uint8_t>((clip8(in[f]) + (layout.signedSamples ? 0 : 128)) & 0xff);
        } else {
            const unsigned v = static_cast<unsigned>(clip16(in[f]) + (layout.signedSamples ? 0 : 32768)) & 0xffffu;
            p[layout.bigEndian ? 1 : 0] = static_cast<uint8_t>(v & 0xff);
            p[layout.bigEndian ? 0 : 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

} // namespace sonabel::pcm_kernels
