// sonabel-render's command line and chain files under libFuzzer, with the
// real filter catalogue. An input is the arguments, one per line, up to the
// first NUL byte, and after it a chain file's text. The arguments go through
// RenderOptions::parse and every -f line through FilterChainFile::parseLine;
// the text goes through FilterChainFile::parse. Besides the sanitizers it
// checks what the renderer relies on: a refusal always says why, a parsed
// chain has one settings list per filter and each setting's step within its
// parameter's range, a failed one leaves no filter behind.

#include "core/Log.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"
#include "render/RenderOptions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace sonabel;

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "ChainParserFuzzer: %s\n", what);
    std::abort();
}

void discardLine(const char*) {}

// The settings of a made filter lie within its parameters' ranges.
void checkSettings(AudioFilter* filter, const std::vector<ChainSetting>& settings) {
    for (const ChainSetting& s : settings) {
        if (s.parameter < 0) continue; // "Active"
        const ParameterInfo* info = filter->getParameterInfo(s.parameter);
        check(info != nullptr, "a setting names a parameter the filter does not have");
        check(s.step >= info->min && s.step <= info->max, "a setting's step is outside its parameter's range");
    }
}

void parseArguments(const FilterChainFile& chainFile, const std::string& text) {
    std::vector<std::string> words{"sonabel-render"};
    std::string word;
    for (char c : text) {
        if (c == '\n') {
            words.push_back(word);
            word.clear();
            if (words.size() > 64) break;
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    RenderOptions options;
    std::string error;
    const bool ok = options.parse(static_cast<int>(words.size()), argv.data(), error);
    check(ok || !error.empty(), "a refused command line says nothing");
    if (!ok) return;
    if (options.action == RenderOptions::Action::Render)
        check(!options.input.empty() || options.captureSeconds > 0.0, "a render without an input");
    check(options.chunkFrames >= 11 && options.chunkFrames <= 1048576, "--chunk beyond its range");
    int line = 0;
    for (const RenderOptions::ChainSource& source : options.chainSources) {
        if (source.isFile) continue;
        std::vector<ChainSetting> settings;
        error.clear();
        AudioFilter* filter = chainFile.parseLine(source.text, ++line, error, &settings);
        if (filter) checkSettings(filter, settings);
        delete filter;
    }
}

void parseChain(const FilterChainFile& chainFile, const std::string& text) {
    std::istringstream in(text);
    std::vector<AudioFilter*> filters;
    std::vector<std::vector<ChainSetting>> settings;
    std::string error;
    const bool ok = chainFile.parse(in, filters, error, &settings);
    if (!ok) {
        check(filters.empty(), "a refused chain leaves filters behind");
        check(!error.empty(), "a refused chain says nothing");
        return;
    }
    check(filters.size() == settings.size(), "a settings list per filter");
    for (size_t i = 0; i < filters.size(); ++i) {
        check(filters[i] != nullptr, "a null filter in a parsed chain");
        checkSettings(filters[i], settings[i]);
        delete filters[i];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        setOutputHook(&discardLine);
        return true;
    }();
    (void)quiet;
    // Long inputs add nothing a short one cannot reach, only time.
    if (size > 4096) return 0;
    static const FilterChainFile chainFile(FilterFactory{getFilterCount, createFilter});
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    parseArguments(chainFile, input.substr(0, split));
    if (split != std::string::npos) parseChain(chainFile, input.substr(split + 1));
    return 0;
}
