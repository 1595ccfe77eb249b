#include "render/RenderLoadMonitor.h"

#include "core/PerformanceCounter.h"
#include "filters/AudioFilter.h"

#include <cstdio>
#include <ostream>

namespace sonabel {

RenderLoadMonitor::RenderLoadMonitor(const std::vector<AudioFilter*>& filters)
    : chain(filters), time(filters.size()), count(filters.size()) {}

void RenderLoadMonitor::reportLoad(AudioMixer*) { collect(); }

void RenderLoadMonitor::collect() {
    for (size_t i = 0; i < chain.size(); ++i) {
        time[i] += chain[i]->processTime.exchange(0.0f);
        count[i] += chain[i]->processCount.exchange(0);
    }
}

double RenderLoadMonitor::meanNs(size_t i) const { return count[i] ? time[i] / static_cast<double>(count[i]) : 0.0; }

void RenderLoadMonitor::printLoads(std::ostream& out, int chunkFrames, double sampleRate) const {
    if (chain.empty()) return;
    const double chunkNs = chunkFrames / sampleRate * performanceFrequency;
    char line[256];
    std::snprintf(line, sizeof line, "Filter load in %% of the chunk time (%d frames = %.2f ms):\n", chunkFrames,
                  chunkNs / 1e6);
    out << line;
    for (size_t i = 0; i < chain.size(); ++i) {
        std::snprintf(line, sizeof line, "  %2zu %-28s %8.3f %%%s\n", i + 1, chain[i]->getName(),
                      meanNs(i) / (chunkNs / 100.0), chain[i]->isActive() ? "" : " (inactive)");
        out << line;
    }
}

void RenderLoadMonitor::printMeasuredValues(std::ostream& out) const {
    bool heading = false;
    char text[200];
    for (AudioFilter* f : chain) {
        for (int i = 0; i < f->getParameterCount(); ++i) {
            const ParameterInfo* info = f->getParameterInfo(i);
            if (!info || info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX)
                continue;
            if (!heading) out << "Measured values:\n";
            heading = true;
            out << "  " << f->getName() << " / " << info->name << ": " << f->getParameterText(i, text, 199) << "\n";
        }
    }
}

} // namespace sonabel
