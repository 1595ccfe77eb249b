#pragma once
// The text form of a filter chain, one filter per line:
//
//   # comment
//   Forward Wavelet Transform | Wavelet = Daubechies 8 | Algorithm = Zero padding optimized
//   Delay | Delay = 40 | Active = no
//
// A line starts with a filter's name (its getName, or an unambiguous
// case-insensitive prefix of it or of one of its words: "Denoiser"),
// followed by settings "name = value" separated by "|". A name is a
// parameter's label (or an unambiguous start of the label: "Cutoff"). A
// value is one of:
//   - the integer step (what a slider or a choice holds: 0 is the first);
//   - one of the parameter's own value texts ("Daubechies 8"), or for a menu
//     the start of one of them or of one of its words ("Dynamic");
//   - a familiar alias of a value text ("db8", "periodization");
//   - a quantity in a unit that the value texts show ("1000 Hz", "80 ms",
//     "-6 dB", "level 4"): the step of a slider whose text shows the
//     nearest quantity, the menu entry that shows that very one. kHz, s and
//     dB are taken where the texts show Hz, ms or a percentage.
// "Active = yes|no" sets the bypass switch. Blank lines are skipped; "#"
// starts a comment that runs to the end of the line. The command-line
// renderer and the interface share this form; what formatLine writes reads
// back with any version of the parser.

#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;

// One "name = value" as it was read, for echoes and checks.
struct ChainSetting {
    int parameter = -1;  // the parameter's index; -1 for "Active"
    std::string name;    // the parameter's label
    std::string given;   // the value as written
    std::string text;    // the filter's own value text for the step taken
    int step = 0;
    bool beyondRange = false; // a quantity past the last step, snapped to it
};

// Where filters come from: the catalogue, or a stand-in in tests.
struct FilterFactory {
    int (*count)();
    AudioFilter* (*create)(int index);
};

class FilterChainFile {
public:
    // Makes each of the factory's filters once, for their names, when a
    // name is first looked up (a render with no filters makes none). One
    // thread at a time.
    explicit FilterChainFile(FilterFactory factory);

    // One line to a new filter (owned by the caller). Null for a blank or
    // comment line (error empty) and for a bad line (error says what and
    // lists the valid choices, prefixed with "line N: ").
    // settings, where given, receives the line's settings in order.
    AudioFilter* parseLine(const std::string& line, int lineNumber, std::string& error,
                           std::vector<ChainSetting>* settings = nullptr) const;
    // Every line of the stream; on the first bad line all filters made so far
    // are destroyed, filters is left empty and false returned. settings, where
    // given, receives one list per filter.
    bool parse(std::istream& in, std::vector<AudioFilter*>& filters, std::string& error,
               std::vector<std::vector<ChainSetting>>* settings = nullptr) const;

    // The factory index of a filter name (exact, else an unambiguous prefix);
    // -1 with error saying why, with the closest names.
    int findFilter(const std::string& name, std::string& error) const;
    // The familiar names that stand for a value text ("db8" for "Daubechies
    // 8"); empty for most texts.
    static std::vector<std::string> aliasesOf(const std::string& valueText);

    // A filter as one line: value texts for choices and check boxes (unless a
    // text stands for more than one value), integers for sliders, and
    // "Active = no" for a bypassed filter.
    static std::string formatLine(AudioFilter& filter);
    static void write(std::ostream& out, const std::vector<AudioFilter*>& filters);

    // The names the factory offers, in order, for messages and listings.
    std::vector<std::string> filterNames() const;

private:
    // The factory's names, in order, read at the first call.
    const std::vector<std::string>& factoryNames() const;

    FilterFactory factory;
    mutable std::vector<std::string> names;
    mutable bool namesRead = false;
};

} // namespace sonabel
