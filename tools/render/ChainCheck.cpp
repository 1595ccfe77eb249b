#include "render/ChainCheck.h"

#include "filters/DenoiseFilter.h"
#include "filters/DisplayClient.h"
#include "filters/EqualizerFilter.h"
#include "filters/ShowWLFunctionFilter.h"
#include "filters/WTForwardFilter.h"
#include "filters/WTInverseFilter.h"
#include "filters/WaveletDisplayFilter.h"
#include "wavelet/WaveletFilterBank.h"

#include <cctype>

namespace sonabel {

namespace {

constexpr int textCapacity = 199;
constexpr int wavelet = 0, algorithm = 1; // the forward transform's parameters
constexpr int wrapAlgorithm = 4;
constexpr int threshold = 0, denoiseType = 1, denoisePadding = 3; // the denoiser's
constexpr int dynamicThresholding = 2;

std::string text(AudioFilter& f, int index) {
    char buffer[textCapacity + 1];
    return f.getParameterText(index, buffer, textCapacity);
}

std::string named(AudioFilter& f, size_t position) {
    std::string name("\"");
    name += f.getName();
    name += "\" (filter ";
    name += std::to_string(position + 1);
    name += ")";
    return name;
}

bool worksOnCoefficients(AudioFilter* f) {
    return dynamic_cast<DenoiseFilter*>(f) || dynamic_cast<EqualizerFilter*>(f) ||
           dynamic_cast<ShowWLFunctionFilter*>(f) || dynamic_cast<WaveletDisplayFilter*>(f);
}

bool wasGiven(const std::vector<std::vector<ChainSetting>>& settings, size_t position, int parameter) {
    if (position >= settings.size()) return false;
    for (const ChainSetting& s : settings[position])
        if (s.parameter == parameter) return true;
    return false;
}

// A choice given by its step whose text shows another number: "Number of
// scales = 4" is step 4, "Denoise up to details level 5". Likely meant the
// level; the text form says so without doubt.
void offByOne(AudioFilter& f, size_t position, const std::vector<std::vector<ChainSetting>>& settings,
              std::vector<std::string>& warnings) {
    if (position >= settings.size()) return;
    for (const ChainSetting& s : settings[position]) {
        const ParameterInfo* info = s.parameter >= 0 ? f.getParameterInfo(s.parameter) : nullptr;
        if (!info || info->type != PARAM_CHOICE || s.given != std::to_string(s.step)) continue;
        // The last word before a number in the text: "level" in "...level 5".
        for (size_t at = 0; at < s.text.size(); ++at) {
            if (!std::isdigit(static_cast<unsigned char>(s.text[at])) || at < 2 || s.text[at - 1] != ' ' ||
                !std::isalpha(static_cast<unsigned char>(s.text[at - 2])))
                continue;
            size_t end = at;
            while (end < s.text.size() && std::isdigit(static_cast<unsigned char>(s.text[end]))) ++end;
            const std::string number = s.text.substr(at, end - at);
            if (number == s.given) break;
            size_t word = at - 1;
            while (word > 0 && std::isalpha(static_cast<unsigned char>(s.text[word - 1]))) --word;
            // Only where that other entry exists ("Scale = 0" has no level 0).
            const std::string meant = s.text.substr(word, at - 1 - word) + " " + s.given;
            bool exists = false;
            for (int v = info->min; v <= info->max && !exists; ++v) {
                f.setParameter(s.parameter, v);
                const std::string other = text(f, s.parameter);
                const size_t found = other.find(meant);
                const size_t after = found + meant.size();
                exists = found != std::string::npos &&
                         (after == other.size() || !std::isdigit(static_cast<unsigned char>(other[after])));
            }
            f.setParameter(s.parameter, s.step);
            if (!exists) break;
            warnings.push_back(named(f, position) + ": \"" + s.name + " = " + s.given + "\" is step " + s.given +
                               ", \"" + s.text + "\"; for " + s.text.substr(word, at - 1 - word) + " " + s.given +
                               " write \"" + s.text.substr(word, at - 1 - word) + " " + s.given + "\"");
            break;
        }
    }
}

} // namespace

std::vector<std::string> ChainCheck::check(const std::vector<AudioFilter*>& chain,
                                           const std::vector<std::vector<ChainSetting>>& settings) {
    prepareFilterBanks();
    std::vector<std::string> warnings;
    WTForwardFilter* open = nullptr; // the forward transform whose coefficients flow
    size_t openAt = 0;
    for (size_t k = 0; k < chain.size(); ++k) {
        AudioFilter* f = chain[k];
        if (!f || !f->isActive()) continue;
        offByOne(*f, k, settings, warnings);
        if (dynamic_cast<DisplayClient*>(f)) {
            // Whatever else is wrong with it, it shows nothing here.
            warnings.push_back(named(*f, k) + " is a display and shows nothing in the renderer");
            continue;
        }
        if (auto* forward = dynamic_cast<WTForwardFilter*>(f)) {
            const int w = forward->getParameter(wavelet);
            if (forward->getParameter(algorithm) == wrapAlgorithm && w >= 0 && w < waveletCount &&
                !waveletFilterBanks[w].orthogonal)
                warnings.push_back(named(*f, k) + ": \"" + text(*f, algorithm) + "\" with the biorthogonal \"" +
                                   text(*f, wavelet) +
                                   "\" does not rebuild the signal (the wrap inverts by the transpose, which "
                                   "only an orthogonal wavelet allows); choose another algorithm or wavelet");
            if (open)
                warnings.push_back(named(*f, k) + " follows " + named(*open, openAt) +
                                   " with no inverse transform between them");
            open = forward;
            openAt = k;
        } else if (dynamic_cast<WTInverseFilter*>(f)) {
            if (!open)
                warnings.push_back(named(*f, k) + " has no forward transform before it and does nothing");
            open = nullptr;
        } else if (worksOnCoefficients(f) && !open) {
            warnings.push_back(named(*f, k) +
                               " works on wavelet coefficients but has no forward transform before it; it does nothing");
        }
        if (dynamic_cast<DenoiseFilter*>(f)) {
            if (f->getParameter(denoiseType) == dynamicThresholding && wasGiven(settings, k, threshold))
                warnings.push_back(named(*f, k) + ": \"Threshold\" is ignored under \"" + text(*f, denoiseType) + "\"");
            if (open && open->getParameter(algorithm) == wrapAlgorithm && wasGiven(settings, k, denoisePadding))
                warnings.push_back(named(*f, k) + ": \"Denoise also padding coefficients\" is ignored under \"" +
                                   text(*open, algorithm) + "\", which has no padding");
        }
    }
    if (open)
        warnings.push_back(named(*open, openAt) +
                           " has no inverse transform after it: what is done to the coefficients never reaches "
                           "the output");
    return warnings;
}

} // namespace sonabel
