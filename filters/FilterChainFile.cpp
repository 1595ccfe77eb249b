#include "filters/FilterChainFile.h"

#include "filters/AudioFilter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
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

// Familiar names for value texts, where the entry really is that thing:
// PyWavelets' names of the same filter banks (same taps) and boundary modes.
struct Alias {
    const char* alias;
    const char* text;
};
constexpr Alias aliases[] = {
    {"haar", "Haar"},
    {"db2", "Daubechies 2"},
    {"db3", "Daubechies 3"},
    {"db4", "Daubechies 4"},
    {"db5", "Daubechies 5"},
    {"db6", "Daubechies 6"},
    {"db7", "Daubechies 7"},
    {"db8", "Daubechies 8"},
    {"db9", "Daubechies 9"},
    {"db10", "Daubechies 10"},
    {"db15", "Daubechies 15"},
    {"sym8", "Symlets 8"},
    {"bior3.9", "Biorthogonal 3/9"},
    {"bior6.8", "Biorthogonal 6/8"},
    {"zero", "Zero padding optimized"},
    {"symmetric", "Mirrored padding generic"},
    {"periodization", "Numerical Recipes (wrap)"},
};

bool isSettable(const ParameterInfo& info) {
    return info.type == PARAM_SLIDER || info.type == PARAM_CHOICE || info.type == PARAM_CHECKBOX;
}

std::string lower(const std::string& s) {
    std::string l(s);
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

// Edit distance, ignoring case.
size_t distance(const std::string& a, const std::string& b) {
    const std::string x = lower(a), y = lower(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

// How far a typed name is from a name: from the whole name or from the
// nearest of its words, whichever is nearer.
size_t nameDistance(const std::string& typed, const std::string& name) {
    size_t best = distance(typed, name);
    for (const std::string& word : split(name, ' '))
        if (!word.empty()) best = std::min(best, distance(typed, word));
    return best;
}

// The names closest to a mistyped one (by their nearest word, then by the
// whole name); none that need more than a third of the typing changed.
std::vector<std::string> closestNames(const std::string& typed, const std::vector<std::string>& names) {
    const size_t limit = std::max<size_t>(2, typed.size() / 3);
    std::pair<size_t, size_t> best{limit + 1, 0};
    for (const std::string& n : names) {
        const std::pair<size_t, size_t> d{nameDistance(typed, n), distance(typed, n)};
        if (d < best) best = d;
    }
    std::vector<std::string> close;
    if (best.first > limit) return close;
    for (const std::string& n : names)
        if (std::make_pair(nameDistance(typed, n), distance(typed, n)) == best) close.push_back(n);
    return close;
}

std::string orList(const std::vector<std::string>& items) {
    std::string s;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) s += i + 1 == items.size() ? " or " : ", ";
        s += "\"" + items[i] + "\"";
    }
    return s;
}

bool startsWithName(const std::string& name, const std::string& typed) {
    return typed.size() <= name.size() && sameName(typed, name.substr(0, typed.size()).c_str());
}

// Which of names a typed name means: the one of that name, else the only one
// it begins, else (byWord) the only one with a word it begins. -1 when none
// (several empty) or several (several names them).
int matchName(const std::string& typed, const std::vector<std::string>& names, std::vector<std::string>& several,
              bool byWord) {
    several.clear();
    if (typed.empty()) return -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (sameName(typed, names[i].c_str())) return static_cast<int>(i);
    for (int pass = 0; pass < (byWord ? 2 : 1); ++pass) {
        std::vector<size_t> found;
        for (size_t i = 0; i < names.size(); ++i) {
            bool match = startsWithName(names[i], typed);
            for (size_t at = names[i].find(' '); pass == 1 && !match && at != std::string::npos;
                 at = names[i].find(' ', at + 1))
                match = startsWithName(names[i].substr(at + 1), typed);
            if (match) found.push_back(i);
        }
        if (found.size() == 1) return static_cast<int>(found[0]);
        if (found.size() > 1) {
            for (size_t i : found) several.push_back(names[i]);
            return -1;
        }
    }
    return -1;
}

std::vector<std::string> parameterNameList(AudioFilter& filter) {
    std::vector<std::string> names;
    for (int i = 0; i < filter.getParameterCount(); ++i) {
        const ParameterInfo* info = filter.getParameterInfo(i);
        names.push_back(info && isSettable(*info) ? info->name : "");
    }
    return names;
}

std::string parameterNames(AudioFilter& filter) {
    std::vector<std::string> names;
    for (const std::string& n : parameterNameList(filter))
        if (!n.empty()) names.push_back(n);
    names.push_back("Active");
    return quotedList(names);
}

// A number in a text with the word after it (its unit: "Hz", "%") and the
// word before it ("level"). Words are letters; "%" is a word of its own.
struct Quantity {
    double value;
    std::string unit;
    std::string before;
};

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::vector<Quantity> quantitiesOf(const std::string& text) {
    std::vector<Quantity> found;
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = i;
        size_t at = i;
        const bool glued = start > 0 && (isLetter(text[start - 1]) || isDigit(text[start - 1]) || text[start - 1] == '.');
        if (!glued && (text[at] == '-' || text[at] == '+')) ++at;
        double value = 0.0;
        size_t end = at;
        if (!glued && text.compare(at, 3, "inf") == 0 && (at + 3 == text.size() || !isLetter(text[at + 3]))) {
            value = std::numeric_limits<double>::infinity();
            end = at + 3;
        } else if (!glued && at < text.size() &&
                   (isDigit(text[at]) || (text[at] == '.' && at + 1 < text.size() && isDigit(text[at + 1])))) {
            while (end < text.size() && isDigit(text[end])) ++end;
            if (end < text.size() && text[end] == '.') ++end;
            while (end < text.size() && isDigit(text[end])) ++end;
            value = std::strtod(text.substr(at, end - at).c_str(), nullptr);
        } else {
            ++i;
            continue;
        }
        if (text[start] == '-') value = -value;
        Quantity q{value, "", ""};
        size_t u = end;
        while (u < text.size() && text[u] == ' ') ++u;
        if (u < text.size() && text[u] == '%') {
            q.unit = "%";
        } else {
            size_t e = u;
            while (e < text.size() && isLetter(text[e])) ++e;
            q.unit = text.substr(u, e - u);
        }
        size_t b = start;
        while (b > 0 && text[b - 1] == ' ') --b;
        size_t w = b;
        while (w > 0 && isLetter(text[w - 1])) --w;
        q.before = text.substr(w, b - w);
        found.push_back(q);
        i = end;
    }
    return found;
}

// Unit words compare without case and without a plural "s" ("levels").
bool sameUnit(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (sameName(a, b.c_str())) return true;
    const std::string& longer = a.size() > b.size() ? a : b;
    const std::string& shorter = a.size() > b.size() ? b : a;
    return shorter.size() >= 3 && longer.size() == shorter.size() + 1 && (longer.back() == 's' || longer.back() == 'S') &&
           sameName(longer.substr(0, shorter.size()), shorter.c_str());
}

// Other spellings of the same quantity, tried when no value text shows the
// unit as given: kilohertz, seconds, and decibels of a percentage.
bool convertUnit(Quantity& q, const std::vector<std::string>& texts) {
    auto shown = [&](const char* unit) {
        for (const std::string& t : texts)
            for (const Quantity& in : quantitiesOf(t))
                if (sameUnit(in.unit, unit)) return true;
        return false;
    };
    if (sameUnit(q.unit, "kHz") && shown("Hz")) return q.value *= 1000.0, q.unit = "Hz", true;
    if (sameUnit(q.unit, "s") && shown("ms")) return q.value *= 1000.0, q.unit = "ms", true;
    if (sameUnit(q.unit, "dB") && shown("%")) return q.value = 100.0 * std::pow(10.0, q.value / 20.0), q.unit = "%", true;
    return false;
}

// The step whose value text shows the quantity nearest to the one typed
// ("1000 Hz", "level 4"); -1 when no text shows that unit. exact: only a
// text with that very quantity (a menu: "Daubechies 11" is not "Daubechies
// 10").
int nearestStep(const std::string& typed, const std::vector<std::string>& texts, bool exact, bool& beyond) {
    std::vector<Quantity> wanted = quantitiesOf(typed);
    if (wanted.size() != 1) return -1;
    Quantity q = wanted[0];
    // Only "<number> <unit>" or "<word> <number>", nothing else around.
    if (q.unit.empty() == q.before.empty()) return -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int best = -1;
        double bestGap = 0.0, low = 0.0, high = 0.0, widest = 0.0, previous = 0.0;
        bool any = false;
        for (size_t k = 0; k < texts.size(); ++k) {
            for (const Quantity& shown : quantitiesOf(texts[k])) {
                const bool match = q.unit.empty() ? sameUnit(shown.before, q.before)
                                                  : sameUnit(shown.unit, q.unit) || sameUnit(shown.before, q.unit);
                if (!match) continue;
                const double gap = shown.value == q.value ? 0.0 : std::fabs(shown.value - q.value);
                if (best < 0 || gap < bestGap) best = static_cast<int>(k), bestGap = gap;
                if (!any) low = high = shown.value;
                if (any && std::isfinite(shown.value) && std::isfinite(previous))
                    widest = std::max(widest, std::fabs(shown.value - previous));
                low = std::min(low, shown.value);
                high = std::max(high, shown.value);
                previous = shown.value;
                any = true;
                break;
            }
        }
        if (best >= 0 && exact && bestGap > 1e-9 * std::max(1.0, std::fabs(q.value))) return -1;
        if (best >= 0) {
            beyond = (q.value < low || q.value > high) && bestGap > widest;
            return best;
        }
        if (attempt == 0 && !convertUnit(q, texts)) return -1;
    }
    return -1;
}

// The units that a parameter's value texts show, for messages.
std::string unitsShown(const std::vector<std::string>& texts) {
    std::vector<std::string> units;
    for (const std::string& t : texts) {
        for (const Quantity& q : quantitiesOf(t)) {
            std::string u = !q.unit.empty() ? "<number> " + q.unit : !q.before.empty() ? q.before + " <number>" : "";
            if (!u.empty() && std::find(units.begin(), units.end(), u) == units.end()) units.push_back(u);
        }
    }
    return quotedList(units);
}

// Applies "name = value" to the filter, or says why not.
bool applySetting(AudioFilter& filter, const std::string& setting, std::string& error, ChainSetting& done) {
    size_t eq = setting.find('=');
    if (eq == std::string::npos) {
        error = "expected \"name = value\" but found \"" + setting + "\"";
        return false;
    }
    const std::string name = trim(setting.substr(0, eq));
    const std::string value = trim(setting.substr(eq + 1));
    done.given = value;
    if (sameName(name, "Active")) {
        bool on;
        if (!parseYesNo(value, on)) {
            error = "\"Active\" takes \"yes\" or \"no\", not \"" + value + "\"";
            return false;
        }
        filter.setActive(on);
        done.name = "Active";
        done.step = on ? 1 : 0;
        done.text = on ? "yes" : "no";
        return true;
    }
    std::vector<std::string> names = parameterNameList(filter);
    std::vector<std::string> several;
    // A parameter by the start of its label only: "Volume" is not "Delay volume".
    const int i = matchName(name, names, several, false);
    if (i < 0) {
        // A measured value by its exact name gets its own message.
        for (int k = 0; k < filter.getParameterCount(); ++k) {
            const ParameterInfo* info = filter.getParameterInfo(k);
            if (info && !isSettable(*info) && sameName(name, info->name)) {
                error = "\"" + name + "\" of \"" + filter.getName() + "\" is a measured value and cannot be set";
                return false;
            }
        }
        if (!several.empty()) {
            error = "parameter \"" + name + "\" of \"" + filter.getName() + "\" could be " + orList(several) +
                    "; give more of the name";
            return false;
        }
        names.push_back("Active");
        names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
        const std::vector<std::string> close = closestNames(name, names);
        error = "unknown parameter \"" + name + "\" of \"" + filter.getName() + "\"; " +
                (close.empty() ? "valid parameters: " + parameterNames(filter) : "did you mean " + orList(close) + "?");
        return false;
    }
    const ParameterInfo* info = filter.getParameterInfo(i);
    done.parameter = i;
    done.name = info->name;
    auto take = [&](int v) {
        filter.setParameter(i, v);
        done.step = filter.getParameter(i);
        done.text = valueText(filter, i);
        return true;
    };
    int v;
    if (parseInteger(value, v) && v >= info->min && v <= info->max) return take(v);
    std::vector<std::string> texts = valueTexts(filter, i, *info);
    for (size_t k = 0; k < texts.size(); ++k)
        if (sameName(value, texts[k].c_str())) return take(info->min + static_cast<int>(k));
    // A check box also takes yes/no, on/off: its own texts may show a state
    // that cannot follow here ("Show window" has no screen).
    bool on;
    if (info->type == PARAM_CHECKBOX && parseYesNo(value, on)) return take(on ? 1 : 0);
    for (const Alias& a : aliases) {
        if (!sameName(value, a.alias)) continue;
        for (size_t k = 0; k < texts.size(); ++k)
            if (texts[k] == a.text) return take(info->min + static_cast<int>(k));
    }
    // A menu entry by an unambiguous start of it or of one of its words
    // ("Dynamic", "Hard").
    if (info->type != PARAM_SLIDER && quantitiesOf(value).empty()) {
        const int k = matchName(value, texts, several, true);
        if (k >= 0) return take(info->min + k);
        if (!several.empty()) {
            error = "\"" + value + "\" of \"" + info->name + "\" could be " + orList(several) + "; give more of it";
            return false;
        }
    }
    const int near = nearestStep(value, texts, info->type != PARAM_SLIDER, done.beyondRange);
    if (near >= 0) return take(info->min + near);
    error = "\"" + value + "\" is no value of \"" + info->name + "\" of \"" + filter.getName() + "\"; ";
    const std::string units = unitsShown(texts);
    if (info->type == PARAM_SLIDER)
        error += "give an integer from " + std::to_string(info->min) + " to " + std::to_string(info->max) +
                 (units.empty() ? "" : ", a quantity as " + units) + " (or its text, such as \"" + texts.front() + "\")";
    else
        error += "valid values: " + quotedList(texts) + " (or 0 to " + std::to_string(info->max) + ")";
    return false;
}

} // namespace

FilterChainFile::FilterChainFile(FilterFactory f) : factory(f) {}

const std::vector<std::string>& FilterChainFile::factoryNames() const {
    // Once, not for every name looked up: making a filter allocates its
    // buffers (the Delay filter's ring holds a quarter second).
    if (namesRead) return names;
    namesRead = true;
    for (int i = 0; i < factory.count(); ++i) {
        std::unique_ptr<AudioFilter> filter(factory.create(i));
        if (filter) names.push_back(filter->getName());
    }
    return names;
}

std::vector<std::string> FilterChainFile::filterNames() const { return factoryNames(); }

int FilterChainFile::findFilter(const std::string& name, std::string& error) const {
    std::vector<std::string> several;
    const std::vector<std::string>& known = factoryNames();
    const int found = matchName(name, known, several, true);
    if (found >= 0) return found;
    if (!several.empty()) {
        error = "filter \"" + name + "\" could be " + orList(several) + "; give more of the name";
        return -1;
    }
    const std::vector<std::string> close = closestNames(name, known);
    error = "unknown filter \"" + name + "\"; " +
            (close.empty() ? "valid filters: " + quotedList(known) : "did you mean " + orList(close) + "?");
    return -1;
}

std::vector<std::string> FilterChainFile::aliasesOf(const std::string& valueText) {
    std::vector<std::string> found;
    for (const Alias& a : aliases)
        if (valueText == a.text) found.push_back(a.alias);
    return found;
}

AudioFilter* FilterChainFile::parseLine(const std::string& line, int lineNumber, std::string& error,
                                        std::vector<ChainSetting>* settings) const {
    error.clear();
    // No name or value text holds "#": everything after one is a comment.
    const std::string text = trim(line.substr(0, line.find('#')));
    if (text.empty()) return nullptr;
    std::vector<std::string> parts = split(text, '|');
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const int index = findFilter(parts[0], error);
    std::unique_ptr<AudioFilter> filter(index >= 0 ? factory.create(index) : nullptr);
    if (!filter) {
        error = where + error;
        return nullptr;
    }
    std::vector<ChainSetting> done;
    for (size_t k = 1; k < parts.size(); ++k) {
        if (parts[k].empty()) continue;
        ChainSetting setting;
        if (!applySetting(*filter, parts[k], error, setting)) {
            error = where + error;
            return nullptr;
        }
        done.push_back(setting);
    }
    if (settings) settings->insert(settings->end(), done.begin(), done.end());
    return filter.release();
}

bool FilterChainFile::parse(std::istream& in, std::vector<AudioFilter*>& filters, std::string& error,
                            std::vector<std::vector<ChainSetting>>* settings) const {
    filters.clear();
    if (settings) settings->clear();
    error.clear();
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        // Editors on Windows start a UTF-8 file with a byte-order mark.
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        std::vector<ChainSetting> lineSettings;
        AudioFilter* f = parseLine(line, number, error, &lineSettings);
        if (f) {
            filters.push_back(f);
            if (settings) settings->push_back(lineSettings);
        } else if (!error.empty()) {
            for (AudioFilter* made : filters) delete made;
            filters.clear();
            if (settings) settings->clear();
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
                         mine.find('|') == std::string::npos && mine.find('#') == std::string::npos &&
                         mine == trim(mine);
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
