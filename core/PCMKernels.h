#pragma once
// The sample loops of the PCM codec, as free functions over caller-owned
// memory, built once per instruction set and chosen at run time.
//
// A channel's samples lie `stride` samples apart in the byte stream (the
// codec's channel count); `src`/`dst` point at the channel's first sample.
//   decode, 16 bits:  v = s / 32768   (s the signed value; unsigned values
//                                      have 32768 subtracted first)
//   decode,  8 bits:  v = s / 128
//   mixing (srcFactor != 0):  out = v * srcFactor + out, two roundings
//   encode:  x = v * 32768 (or 128), NaN gives 0, clipped to
//            -32768..32767 (-128..127), then floor(x + 0.5)
// Every set gives bit for bit what the reference loops below give.

#include <cstdint>

namespace sonabel::pcm_kernels {

// The sample layout: 8 or 16 bits (the only widths these loops handle),
// byte order of 16-bit samples, two's complement or offset binary.
struct PCMLayout {
    int bits;
    bool bigEndian;
    bool signedSamples;
};

// frames samples of one channel into out (overwritten when srcFactor is 0,
// else mixed in).
using DecodeFn = void (*)(const uint8_t* src, int stride, float* out, int frames, float srcFactor,
                          PCMLayout layout);
// frames samples of one channel into the byte stream.
using EncodeFn = void (*)(const float* in, uint8_t* dst, int stride, int frames, PCMLayout layout);
// Two channels into a two-channel stream in one pass.
using EncodePairFn = void (*)(const float* left, const float* right, uint8_t* dst, int frames, PCMLayout layout);

struct KernelSet {
    const char* isa;
    DecodeFn decode;
    EncodeFn encode;
    EncodePairFn encodePair;
};

// The fastest set this processor runs.
const KernelSet& bestKernels();
// The set built for the baseline instruction set.
const KernelSet& portableKernels();
// The AVX2 set when it was built and this processor has AVX2, else null.
const KernelSet* avx2Kernels();
// The AVX-512 (F, VL, BW) set when it was built and this processor has it, else null.
const KernelSet* avx512Kernels();

// One sample at a time, the rule above written out plainly; what the sets
// are compared with.
void decodeReference(const uint8_t* src, int stride, float* out, int frames, float srcFactor, PCMLayout layout);
void encodeReference(const float* in, uint8_t* dst, int stride, int frames, PCMLayout layout);

} // namespace sonabel::pcm_kernels
