#pragma once
// What a finished render has to tell: frames, speed, each filter's load,
// the clip count, the SNR against a reference and the filters' measured
// values. Printed as lines for a person, or as one JSON object for a
// program (--json). Used from one thread, after the render.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;
class RenderLoadMonitor;

class RenderReport {
public:
    std::string input, output;
    int64_t frames = 0;
    double sampleRate = 44100.0;
    double wallSeconds = 0.0;
    int chunkFrames = 1024;
    // Samples that hit full scale in the output.
    int64_t clipped = 0;
    // The SNR against --reference, in dB (+inf for an exact copy, which the
    // JSON gives as null with "input_exact" or "output_exact" true).
    bool hasSignalToNoise = false;
    std::string reference;
    double inputDb = 0.0, outputDb = 0.0, gainDb = 0.0;

    // The chain and monitor are not owned; the monitor must have collected.
    void printJson(std::ostream& out, const std::vector<AudioFilter*>& chain, const RenderLoadMonitor& monitor) const;

    // text as a JSON string, quotes included: control characters escaped,
    // bytes that are not UTF-8 replaced by U+FFFD, so the object always parses.
    static std::string jsonString(const std::string& text);
    // A finite number as JSON, to digits after the point; null for inf or NaN.
    static std::string jsonNumber(double value, int digits);
};

} // namespace sonabel
