#include "render/ThresholdSuggestion.h"

#include "filters/DenoiseFilter.h"
#include "filters/WTForwardFilter.h"
#include "render/LogErrors.h"
#include "render/SignalToNoise.h"
#include "render/StreamSpool.h"
#include "wavelet/WaveletFilterBank.h"
#include "wavelet/WaveletTransform.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace sonabel {

namespace {

const char* const option = "--suggest-threshold";

// Finest details of x[0..n) with the analysis high-pass h[0..L), where the
// filter lies wholly inside the signal:
//   d[k] = sum_{j<L} h[j] x[2k + j],   0 <= k, 2k + L <= n
// (numpy: convolve(x, dec_hi, "valid")[::2], the bank's taps being
// PyWavelets' reversed). Appends |d[k]| to out, summed in double and kept
// in float: half the memory, and far finer than the median needs.
void appendFinestDetails(const float* x, size_t n, const float* h, size_t L, std::vector<float>& out) {
    for (size_t at = 0; at + L <= n; at += 2) {
        double sum = 0.0;
        for (size_t j = 0; j < L; ++j) sum += static_cast<double>(h[j]) * static_cast<double>(x[at + j]);
        out.push_back(static_cast<float>(std::fabs(sum)));
    }
}

// The median, with the mean of the middle two for an even count. Reorders v.
double median(std::vector<float>& v) {
    const size_t half = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(half), v.end());
    const double upper = v[half];
    if (v.size() % 2 == 1) return upper;
    const double lower = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(half));
    return 0.5 * (lower + upper);
}

std::string number(const char* fmt, double value) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

} // namespace

ThresholdSuggestion::ThresholdSuggestion(FilterFactory catalogue) : chainFile(catalogue) {}

double ThresholdSuggestion::noiseLevel(const Channels& channels, int wavelet) {
    if (wavelet < 0 || wavelet >= waveletCount) return 0.0;
    prepareFilterBanks();
    const WaveletFilterBank& bank = waveletFilterBanks[wavelet];
    const size_t L = static_cast<size_t>(bank.filterLength);
    std::vector<float> details;
    size_t count = 0;
    for (const std::vector<float>& x : channels)
        if (x.size() >= L) count += (x.size() - L) / 2 + 1;
    details.reserve(count);
    for (const std::vector<float>& x : channels) appendFinestDetails(x.data(), x.size(), bank.analysisHigh, L, details);
    if (details.empty()) return 0.0;
    // The median absolute deviation of Gaussian noise is 0.6745 sigma.
    return median(details) / 0.6745;
}

double ThresholdSuggestion::universalThreshold(double sigma, int64_t frames) {
    if (frames < 2) return 0.0;
    return sigma * std::sqrt(2.0 * std::log(static_cast<double>(frames)));
}

bool ThresholdSuggestion::resolveStep(double threshold, ChainSetting& setting, std::string& error) const {
    DenoiseFilter denoiser;
    const double decibels = threshold > 0.0 ? 20.0 * std::log10(threshold) : -HUGE_VAL;
    const std::string quantity = threshold > 0.0 ? number("%.3f dB", decibels) : "-inf dB";
    std::vector<ChainSetting> settings;
    std::unique_ptr<AudioFilter> made(
        chainFile.parseLine(std::string(denoiser.getName()) + " | Threshold = " + quantity, 1, error, &settings));
    if (!made || settings.size() != 1) return false;
    setting = settings[0];
    // Below the first step the nearest text is that step's, not "-inf" (the
    // quantities are compared in decibels), and the chain parser sees no
    // range left behind; the text's own decibels tell.
    const double shown = std::strtod(setting.text.c_str(), nullptr);
    if (threshold > 0.0 && std::fabs(shown - decibels) > 0.5) setting.beyondRange = true;
    return true;
}

bool ThresholdSuggestion::isRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

bool ThresholdSuggestion::buildChain(const std::vector<std::pair<bool, std::string>>& sources,
                                     std::vector<AudioFilter*>& chain, std::string& error) const {
    for (const auto& [isFile, text] : sources) {
        std::vector<AudioFilter*> filters;
        if (isFile) {
            std::ifstream in(text);
            const int reason = errno;
            struct stat info {};
            const bool directory = ::stat(text.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            if (!in || directory) {
                error = "cannot read the chain file " + text + ": " + std::strerror(directory ? EISDIR : reason);
                return false;
            }
            if (!chainFile.parse(in, filters, error)) {
                error = text + ": " + error;
                return false;
            }
        } else {
            AudioFilter* f = chainFile.parseLine(text, 1, error);
            if (!f) {
                if (error.rfind("line 1: ", 0) == 0) error.erase(0, 8);
                error = "--filter '" + text + "': " + (error.empty() ? "empty filter" : error);
                return false;
            }
            filters.push_back(f);
        }
        chain.insert(chain.end(), filters.begin(), filters.end());
    }
    return true;
}

int ThresholdSuggestion::run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    LogErrors quiet; // the log's lines stay in the log file
    const auto usage = [&](const std::string& message) {
        err << "sonabel-render: " << message << "\n";
        return 2;
    };
    // Only what the suggestion uses: the chain and the input.
    std::vector<std::pair<bool, std::string>> sources;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == option || arg == "-q" || arg == "--quiet" || arg == "-v" || arg == "--verbose") continue;
        const bool isFile = arg == "-c" || arg == "--chain" || arg.rfind("--chain=", 0) == 0;
        if (isFile || arg == "-f" || arg == "--filter" || arg.rfind("--filter=", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq == std::string::npos && i + 1 >= argc) return usage("option " + arg + " needs a value");
            sources.emplace_back(isFile, eq == std::string::npos ? std::string(argv[++i]) : arg.substr(eq + 1));
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage(std::string(option) + " takes -c FILE, -f LINE and INPUT only, not " + arg);
        } else if (input.empty()) {
            input = arg;
        } else {
            return usage(std::string(option) + " takes one INPUT and writes no output, but " + arg + " follows " +
                         input);
        }
    }
    if (input.empty()) return usage(std::string(option) + " needs INPUT (try --help)");

    std::vector<AudioFilter*> chain;
    std::string error;
    const bool built = buildChain(sources, chain, error);
    // The wavelet of the forward transform before the first denoiser.
    int wavelet = -1;
    bool found = false;
    for (AudioFilter* f : chain) {
        if (auto* forward = dynamic_cast<WTForwardFilter*>(f)) wavelet = forward->getParameter(0);
        if (dynamic_cast<DenoiseFilter*>(f) && wavelet >= 0) {
            found = true;
            break;
        }
    }
    std::string waveletName = wavelet >= 0 ? WaveletTransform::getWaveletName(wavelet) : "";
    for (AudioFilter* f : chain) delete f;
    if (!built) return usage(error);
    if (!found)
        return usage(std::string(option) +
                     " needs a chain with a \"Wavelet Denoiser\" after a \"Forward Wavelet Transform\" (-c FILE or -f "
                     "LINE)");

    // The estimate needs the whole input: a stream is copied to a file first.
    StreamSpool spool;
    std::string path = input;
    struct stat info {};
    if (input == "-" || (::stat(input.c_str(), &info) == 0 && S_ISFIFO(info.st_mode))) {
        const std::string name = input == "-" ? "standard input" : input;
        const int fd = input == "-" ? 0 : ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
        const bool copied = fd >= 0 && spool.create(error) && spool.readStream(error, fd);
        if (fd < 0) error = std::strerror(errno);
        if (fd > 0) ::close(fd);
        if (!copied) {
            err << "sonabel-render: cannot read " << name << ": " << error << "\n";
            return 1;
        }
        path = spool.path();
    }
    SignalToNoise::Channels channels;
    if (!SignalToNoise::load(path, channels, error)) {
        if (const size_t at = error.find(path); path != input && at != std::string::npos)
            error.replace(at, path.size(), input == "-" ? "standard input" : input);
        err << "sonabel-render: " << error << "\n";
        return 1;
    }
    const int64_t frames = channels.empty() ? 0 : static_cast<int64_t>(channels[0].size());
    const double sigma = noiseLevel(channels, wavelet);
    const double threshold = universalThreshold(sigma, frames);
    ChainSetting setting;
    if (!resolveStep(threshold, setting, error)) {
        err << "sonabel-render: " << error << "\n";
        return 2;
    }
    out << "Noise level: " << number("%.9g", sigma) << " (median absolute deviation / 0.6745 of the finest "
        << waveletName << " details)\n"
        << "Universal threshold over " << frames << " frames: " << number("%.9g", threshold) << " ("
        << (threshold > 0.0 ? number("%.2f dB", 20.0 * std::log10(threshold)) : "-inf dB") << ")\n"
        << "Threshold = " << setting.step << "   # " << setting.text << "\n";
    if (setting.beyondRange)
        err << "sonabel-render: warning: the universal threshold lies beyond the denoiser's steps; the nearest is "
            << setting.text << "\n";
    return 0;
}

} // namespace sonabel
