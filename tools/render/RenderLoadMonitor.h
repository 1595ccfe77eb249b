#pragma once
// Sums each filter's timing in double precision every 19 chunks, as the
// live load display reads it, and resets the filter's fields; prints the
// loads and the filters' measured values at the end of a run.

#include "engine/LoadMonitor.h"

#include <iosfwd>
#include <vector>

namespace sonabel {

class AudioFilter;

class RenderLoadMonitor : public LoadMonitor {
public:
    // The chain is not owned and must outlive the monitor.
    explicit RenderLoadMonitor(const std::vector<AudioFilter*>& chain);

    void reportLoad(AudioMixer* mixer) override;
    // Takes in what the filters gathered since the last report.
    void collect();
    // Mean time per chunk of filter i, in nanoseconds.
    double meanNs(size_t i) const;

    // Each filter's load in percent of a chunk of that many frames.
    void printLoads(std::ostream& out, int chunkFrames, double sampleRate) const;
    // The final texts of the filters' measured values.
    void printMeasuredValues(std::ostream& out) const;

private:
    const std::vector<AudioFilter*>& chain;
    std::vector<double> time;
    std::vector<long> count;
};

} // namespace sonabel
