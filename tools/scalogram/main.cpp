// sonabel-scalogram: the time-scale picture of a WAVE file (its channels
// mixed to one), as a grid of palette indexes and its palette, for
// tools/make_images.sh to pack into an indexed PNG.
//
// Usage: sonabel-scalogram [--size WxH] [--from-level N] [--levels N] [--wavelet NAME]
//        [--mode N] [--range DB] [--smoothing COLUMNS] [--vertical V]
//        [--wash F] [--paper R,G,B]
//        IN.wav INDEXES.pgm PALETTE.ppm
// INDEXES.pgm is a binary greymap (P5) whose grey levels are the palette
// indexes; PALETTE.ppm a binary pixmap (P6) of 256 x 1 pixels, one per index.
// Exit status: 0 written, 1 a file could not be read or written, 2 a usage
// error.

#include "scalogram/Scalogram.h"

#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"
#include "wavelet/WaveletTransform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace sonabel;

namespace {

const char* const usage =
    "usage: sonabel-scalogram [--size WxH] [--from-level N] [--levels N] [--wavelet NAME] [--mode N] [--range DB]\n"
    "                         [--smoothing COLUMNS] [--vertical V] [--wash F] [--paper R,G,B]\n"
    "                         IN.wav INDEXES.pgm PALETTE.ppm\n";

bool parseInt(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -1000000 || parsed > 1000000) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool parseDouble(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

int findWavelet(const char* name) {
    for (int i = 0; i < WaveletTransform::getWaveletCount(); ++i)
        if (std::strcmp(WaveletTransform::getWaveletName(i), name) == 0) return i;
    return -1;
}

bool parseOptions(int argc, char** argv, ScalogramSettings& settings, std::vector<const char*>& files) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option.rfind("--", 0) != 0) {
            files.push_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        bool ok = true;
        if (option == "--size") {
            ok = std::sscanf(value, "%dx%d", &settings.width, &settings.height) == 2 && settings.width > 0 &&
                 settings.height > 0 && settings.width <= 4096 && settings.height <= 4096;
        } else if (option == "--from-level") {
            ok = parseInt(value, settings.firstLevel) && settings.firstLevel >= 1 && settings.firstLevel <= 30;
            --settings.firstLevel;
        } else if (option == "--levels") {
            ok = parseInt(value, settings.levels) && settings.levels >= 1 && settings.levels <= 30;
        } else if (option == "--wavelet") {
            settings.wavelet = findWavelet(value);
            ok = settings.wavelet >= 0;
        } else if (option == "--mode") {
            ok = parseInt(value, settings.colourMode) && settings.colourMode >= 0 && settings.colourMode <= 6;
        } else if (option == "--range") {
            ok = parseDouble(value, settings.range) && settings.range > 0.0;
        } else if (option == "--smoothing") {
            ok = parseInt(value, settings.smoothing) && settings.smoothing >= 0 && settings.smoothing <= 1000;
        } else if (option == "--vertical") {
            ok = parseDouble(value, settings.vertical) && settings.vertical > 0.0;
        } else if (option == "--wash") {
            ok = parseDouble(value, settings.wash) && settings.wash >= 0.0 && settings.wash <= 1.0;
        } else if (option == "--paper") {
            int r = -1, g = -1, b = -1;
            ok = std::sscanf(value, "%d,%d,%d", &r, &g, &b) == 3 && r >= 0 && r <= 255 && g >= 0 && g <= 255 &&
                 b >= 0 && b <= 255;
            settings.paper = DisplayColour{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "sonabel-scalogram: bad value for %s: %s\n", option.c_str(), value);
            return false;
        }
    }
    return files.size() == 3;
}

// The file's channels mixed to one; empty when it cannot be read.
std::vector<float> readMono(const char* name) {
    WaveFileReader reader;
    reader.setFileName(name);
    reader.open();
    std::vector<float> mono;
    const int frames = reader.isOpen() ? reader.getLength() : 0;
    const int channels = reader.isOpen() ? reader.getFileFormat()->channels : 0;
    if (frames <= 0 || channels <= 0) return mono;
    SampleBuffer buffer(channels, frames);
    buffer.currCount = frames;
    const int got = reader.read(buffer, 0, 0.0f);
    reader.close();
    mono.assign(static_cast<size_t>(got > 0 ? got : 0), 0.0f);
    for (int c = 0; c < channels; ++c) {
        const float* samples = buffer.getBuffer(c);
        for (size_t i = 0; i < mono.size(); ++i) mono[i] += samples[i] / static_cast<float>(channels);
    }
    return mono;
}

bool writeNetpbm(const char* name, const char* magic, int width, int height, const uint8_t* data, size_t bytes) {
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) return false;
    bool ok = std::fprintf(file, "%s\n%d %d\n255\n", magic, width, height) > 0;
    ok = ok && std::fwrite(data, 1, bytes, file) == bytes;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    ScalogramSettings settings;
    std::vector<const char*> files;
    if (!parseOptions(argc, argv, settings, files)) {
        std::fputs(usage, stderr);
        return 2;
    }
    const std::vector<float> samples = readMono(files[0]);
    if (samples.empty()) {
        std::fprintf(stderr, "sonabel-scalogram: cannot read %s\n", files[0]);
        return 1;
    }
    Scalogram scalogram(settings);
    if (!scalogram.compute(samples.data(), static_cast<int>(samples.size()))) return 1;

    std::vector<uint8_t> palette;
    for (const DisplayColour& c : scalogram.getPalette()) palette.insert(palette.end(), {c.red, c.green, c.blue});
    const std::vector<uint8_t>& indexes = scalogram.getIndexes();
    if (!writeNetpbm(files[1], "P5", scalogram.getWidth(), scalogram.getHeight(), indexes.data(), indexes.size()) ||
        !writeNetpbm(files[2], "P6", 256, 1, palette.data(), palette.size())) {
        std::fprintf(stderr, "sonabel-scalogram: cannot write %s or %s\n", files[1], files[2]);
        return 1;
    }
    return 0;
}
