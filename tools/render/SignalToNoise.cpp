#include "render/SignalToNoise.h"

#include "core/SampleBuffer.h"
#include "core/AudioReader.h"
#include "core/AudioFormat.h"
#include "render/InputFile.h"
#include "render/LogErrors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sonabel {

bool SignalToNoise::load(const std::string& path, Channels& channels, std::string& error) {
    LogErrors errors;
    InputFile file;
    std::string handover; // said when the file was first read
    file.open(path, handover);
    if (!errors.first().empty() || !file.isOpen()) {
        error = errors.first().empty() ? "cannot read " + path : errors.first();
        return false;
    }
    AudioReader& reader = *file.reader();
    const int count = reader.getAudioFormat()->channels;
    const int length = file.getLength();
    channels.assign(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(length)));
    const int chunk = 65536;
    SampleBuffer buffer(count, chunk);
    for (int done = 0; done < length; done += chunk) {
        const int n = std::min(chunk, length - done);
        buffer.setSize(n, count);
        reader.read(buffer, done, 0.0f);
        for (int c = 0; c < count; ++c) std::copy_n(buffer.getBuffer(c), n, channels[static_cast<size_t>(c)].begin() + done);
    }
    reader.close();
    return true;
}

double SignalToNoise::measure(const Channels& clean, const Channels& test) {
    double signal = 0.0, noise = 0.0;
    if (clean.empty()) return -std::numeric_limits<double>::infinity();
    for (size_t c = 0; c < test.size(); ++c) {
        const std::vector<float>& ref = clean[c % clean.size()];
        const std::vector<float>& x = test[c];
        const size_t n = std::min(ref.size(), x.size());
        for (size_t i = 0; i < n; ++i) {
            const double r = ref[i];
            const double d = static_cast<double>(x[i]) - r;
            signal += r * r;
            noise += d * d;
        }
    }
    if (signal == 0.0) return -std::numeric_limits<double>::infinity();
    if (noise == 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(signal / noise);
}

} // namespace sonabel
