#include "render/RenderReport.h"

#include "filters/AudioFilter.h"
#include "render/RenderLoadMonitor.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace sonabel {

namespace {

// The length of the UTF-8 sequence at text[at], 0 when it is not one.
size_t utf8Length(const std::string& text, size_t at) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    size_t n = 0;
    unsigned min = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) n = 2, min = 0x80;
    else if ((lead & 0xF0) == 0xE0) n = 3, min = 0x800;
    else if ((lead & 0xF8) == 0xF0) n = 4, min = 0x10000;
    else return 0;
    if (at + n > text.size()) return 0;
    unsigned code = lead & (0x7Fu >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + k) & 0x3Fu);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return n;
}

} // namespace

std::string RenderReport::jsonString(const std::string& text) {
    std::string json = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t n = utf8Length(text, at);
        if (n == 0) {
            json += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json.append(text, at, n);
        }
        at += n;
    }
    return json + "\"";
}

std::string RenderReport::jsonNumber(double value, int digits) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

void RenderReport::printJson(std::ostream& out, const std::vector<AudioFilter*>& chain,
                             const RenderLoadMonitor& monitor) const {
    const double seconds = static_cast<double>(frames) / sampleRate;
    const double chunkNs = chunkFrames / sampleRate * 1e9;
    out << "{\n";
    out << "  \"input\": " << jsonString(input) << ",\n";
    out << "  \"output\": " << jsonString(output) << ",\n";
    out << "  \"frames\": " << frames << ",\n";
    out << "  \"seconds\": " << jsonNumber(seconds, 6) << ",\n";
    out << "  \"wall_seconds\": " << jsonNumber(wallSeconds, 6) << ",\n";
    out << "  \"real_time_factor\": " << jsonNumber(wallSeconds > 0.0 ? seconds / wallSeconds : INFINITY, 3) << ",\n";
    out << "  \"chunk_frames\": " << chunkFrames << ",\n";
    out << "  \"clipped\": " << clipped << ",\n";
    out << "  \"snr\": ";
    if (hasSignalToNoise) {
        // +inf dB (the same signal as the reference) has no JSON number: it is
        // null, with "..._exact" true.
        const auto exact = [](double db) { return std::isinf(db) && db > 0 ? "true" : "false"; };
        out << "{\"reference\": " << jsonString(reference) << ", \"input_db\": " << jsonNumber(inputDb, 4)
            << ", \"input_exact\": " << exact(inputDb) << ", \"output_db\": " << jsonNumber(outputDb, 4)
            << ", \"output_exact\": " << exact(outputDb) << ", \"gain_db\": " << jsonNumber(gainDb, 4) << "},\n";
    } else {
        out << "null,\n";
    }
    out << "  \"filters\": [";
    char text[200];
    for (size_t i = 0; i < chain.size(); ++i) {
        AudioFilter* f = chain[i];
        out << (i ? ",\n" : "\n") << "    {\"name\": " << jsonString(f->getName())
            << ", \"active\": " << (f->isActive() ? "true" : "false")
            << ", \"load_percent\": " << jsonNumber(monitor.meanNs(i) / (chunkNs / 100.0), 3) << ", \"measured\": {";
        bool first = true;
        for (int k = 0; k < f->getParameterCount(); ++k) {
            const ParameterInfo* info = f->getParameterInfo(k);
            if (!info || info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX)
                continue;
            out << (first ? "" : ", ") << jsonString(info->name) << ": "
                << jsonString(f->getParameterText(k, text, static_cast<int32_t>(sizeof text - 1)));
            first = false;
        }
        out << "}}";
    }
    out << (chain.empty() ? "]\n" : "\n  ]\n") << "}\n";
}

} // namespace sonabel
