#pragma once
// The renderer's tests: each runs in its own empty directory, renders with
// the real catalogue through the same options parser as the program, and
// makes its own input files.

#include "WaveTestSupport.h"
#include "filters/FilterCatalogue.h"
#include "io/WaveFileWriter.h"
#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace sonabel::test {

class RendererTest : public WaveDirTest {
protected:
    // Renders with the real catalogue; returns the exit status. afterChunk
    // runs after each chunk of an offline render.
    int render(std::vector<std::string> args, std::function<void(int64_t)> afterChunk = nullptr) {
        std::vector<char*> argv{const_cast<char*>("sonabel-render")};
        for (auto& a : args) argv.push_back(a.data());
        RenderOptions options;
        std::string error;
        out.str("");
        err.str("");
        if (!options.parse(static_cast<int>(argv.size()), argv.data(), error)) {
            err.str(error);
            return 2;
        }
        Renderer renderer(options, FilterFactory{getFilterCount, createFilter}, out, err);
        renderer.afterChunk = std::move(afterChunk);
        return renderer.run();
    }
    // A 16-bit (or 8-bit) file whose sample i of channel c is sample(c, i).
    void makeFile(const std::string& name, int channels, int bits, int frames, float rate,
                  const std::function<float(int, int)>& sample) {
        WaveFileWriter w;
        w.setFileName(path(name).c_str());
        w.setAudioFormat(AudioFormat(channels, rate));
        w.setBitsPerSample(bits);
        w.open();
        SampleBuffer b(channels, frames);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i) b.getBuffer(c)[i] = sample(c, i);
        w.write(b);
        w.close();
    }
    // A test signal: a different sine per channel.
    void makeInput(const std::string& name, int channels, int bits, int frames, float rate = 44100.0f) {
        makeFile(name, channels, bits, frames, rate,
                 [](int c, int i) { return 0.5f * std::sin(0.01f * static_cast<float>((c + 1) * i)); });
    }
    // Files left in the directory whose names start with a dot: temporaries.
    std::vector<std::string> hiddenFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
        return names;
    }
    std::ostringstream out, err;
};

} // namespace sonabel::test
