#include "filters/FilterChainFile.h"

#include "filters/AudioFilter.h"

#include <cctype>
#include <cstdlib>
#include <istream>
#include <memory>
#include <ostream>

namespace sonabel {

namespace {

constexpr int textCapacity = 199; // the interface passes 200-character buffers

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string& a, const char* b) {
    if (!b) return false;
    std::string s(b);
    if (a.size() != s.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(sep, start);
        parts.push_back(trim(line.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

std::string quotedList(const std::vector<std::string>& items) {
    std::string s;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) s += ", ";
        s += "\"" + items[i] + "\"";
    }
    return s;
}

std::string valueText(AudioFilter& filter, int index) {
    char text[textCapacity + 1];
    return filter.getParameterText(index, text, textCapacity);
}

// The text of every value of a parameter, found by trying each value and
// putting the current one back.
std::vector<std::string> valueTexts(AudioFilter& filter, int index, const ParameterInfo& info) {
    std::vector<std::string> texts;
    const int current = filter.getParameter(index);
    for (int v = info.min; v <= info.max; ++v) {
        filter.setParameter(index, v);
        texts.push_back(valueText(filter, index));
    }
    filter.setParameter(index, current);
    return texts;
}

bool parseInteger(const std::string& s, int& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != 0 || v < -1000000000L || v > 1000000000L) return false;
    value = static_cast<int>(v);
    return true;
}

bool parseYesNo(const std::string& s, bool& value) {
    if (sameName(s, "yes") || sameName(s, "on") || s == "1") return value = true, true;
    if (sameName(s, "no") || sameName(s, "off") || s == "0") return value = false, true;
    return false;
}

std::string parameterNames(AudioFilter& filter) {
    std::vector<std::string> names;
    for (int i = 0; i < filter.getParameterCount(); ++i) {
        const ParameterInfo* info = filter.getParameterInfo(i);
        if (info && (info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX))
            names.push_back(info->name);
    }
    names.push_back("Active");
    return quotedList(names);
}

// Applies "name = value" to the filter, or says why not.
bool applySetting(AudioFilter& filter, const std::string& setting, std::string& error) {
    size_t eq = setting.find('=');
    if (eq == std::string::npos) {
        error = "expected \"name = value\" but found \"" + setting + "\"";
        return false;
    }
    const std::string name = trim(setting.substr(0, eq));
    const std::string value = trim(setting.substr(eq + 1));
    if (sameName(name, "Active")) {
        bool on;
        if (!parseYesNo(value, on)) {
            error = "\"Active\" takes \"yes\" or \"no\", not \"" + value + "\"";
            return false;
        }
        filter.setActive(on);
        return true;
    }
    for (int i = 0; i < filter.getParameterCount(); ++i) {
        const ParameterInfo* info = filter.getParameterInfo(i);
        if (!info || !sameName(name, info->name)) continue;
        if (info->type != PARAM_SLIDER && info->type != PARAM_CHOICE && info->type != PARAM_CHECKBOX) {
            error = "\"" + name + "\" of \"" + filter.getName() + "\" is a measured value and cannot be set";
            return false;
        }
        int v;
        if (parseInteger(value, v) && v >= info->min && v <= info->max) {
            filter.setParameter(i, v);
            return true;
        }
        std::vector<std::string> texts = valueTexts(filter, i, *info);
        for (size_t k = 0; k < texts.size(); ++k) {
            if (sameName(value, texts[k].c_str())) {
                filter.setParameter(i, info->min + static_cast<int>(k));
                return true;
            }
        }
        error = "\"" + value + "\" is no value of \"" + info->name + "\" of \"" + filter.getName() + "\"; ";
        if (info->type == PARAM_SLIDER)
            error += "give an integer from " + std::to_string(info->min) + " to " + std::to_string(info->max) +
                     " (or its text, such as \"" + texts.front() + "\")";
        else
            error += "valid values: " + quotedList(texts) + " (or 0 to " + std::to_string(info->max) + ")";
        return false;
    }
    error = "unknown parameter \"" + name + "\" of \"" + filter.getName() + "\"; valid parameters: " +
            parameterNames(filter);
    return false;
}

} // namespace

FilterChainFile::FilterChainFile(FilterFactory f) : factory(f) {}

std::vector<std::string> FilterChainFile::filterNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < factory.count(); ++i) {
        std::unique_ptr<AudioFilter> f(factory.create(i));
        if (f) names.push_back(f->getName());
    }
    return names;
}

AudioFilter* FilterChainFile::parseLine(const std::string& line, int lineNumber, std::string& error) const {
    error.clear();
    const std::string text = trim(line);
    if (text.empty() || text[0] == '#') return nullptr;
    std::vector<std::string> parts = split(text, '|');
    std::unique_ptr<AudioFilter> filter;
    for (int i = 0; i < factory.count() && !filter; ++i) {
        std::unique_ptr<AudioFilter> candidate(factory.create(i));
        if (candidate && sameName(parts[0], candidate->getName())) filter = std::move(candidate);
    }
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!filter) {
        error = where + "unknown filter \"" + parts[0] + "\"; valid filters: " + quotedList(filterNames());
        return nullptr;
    }
    for (size_t k = 1; k < parts.size(); ++k) {
        if (parts[k].empty()) continue;
        if (!applySetting(*filter, parts[k], error)) {
            error = where + error;
            return nullptr;
        }
    }
    return filter.release();
}

bool FilterChainFile::parse(std::istream& in, std::vector<AudioFilter*>& filters, std::string& error) const {
    filters.clear();
    error.clear();
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        // Editors on Windows start a UTF-8 file with a byte-order mark.
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        AudioFilter* f = parseLine(line, number, error);
        if (f) {
            filters.push_back(f);
        } else if (!error.empty()) {
            for (AudioFilter* made : filters) delete made;
            filters.clear();
            return false;
        }
    }
    return true;
}

std::string FilterChainFile::formatLine(AudioFilter& filter) {
    std::string line = filter.getName();
    for (int i = 0; i < filter.getParameterCount(); ++i) {
        const ParameterInfo* info = filter.getParameterInfo(i);
        if (!info) continue;
        const int v = filter.getParameter(i);
        if (info->type == PARAM_SLIDER) {
            line += std::string(" | ") + info->name + " = " + std::to_string(v);
        } else if (info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX) {
            std::vector<std::string> texts = valueTexts(filter, i, *info);
            const std::string& mine = texts[static_cast<size_t>(v - info->min)];
            int same = 0;
            for (const auto& t : texts) same += sameName(t, mine.c_str()) ? 1 : 0;
            // A text that names several values, reads as a number or holds the
            // separator would not read back as this value: write the number.
            int number;
            bool plain = same == 1 && !mine.empty() && !parseInteger(mine, number) &&
                         mine.find('|') == std::string::npos && mine == trim(mine);
            line += std::string(" | ") + info->name + " = " + (plain ? mine : std::to_string(v));
        }
    }
    if (!filter.isActive()) line += " | Active = no";
    return line;
}

void FilterChainFile::write(std::ostream& out, const std::vector<AudioFilter*>& filters) {
    for (AudioFilter* f : filters) out << formatLine(*f) << "\n";
}

} // namespace sonabel
