#pragma once
// The text form of a filter chain, one filter per line:
//
//   # comment
//   Forward Wavelet Transform | Wavelet = Daubechies 8 | Algorithm = Zero padding optimized
//   Delay | Delay = 40 | Active = no
//
// A line starts with a filter's name (its getName), followed by settings
// "name = value" separated by "|". A name is a parameter's label; a value is
// the integer step or one of the parameter's own value texts. "Active =
// yes|no" sets the bypass switch. Blank lines and lines starting with "#"
// are skipped. The command-line renderer and the interface share this form.

#include <iosfwd>
#include <string>
#include <vector>

namespace sonabel {

class AudioFilter;

// Where filters come from: the catalogue, or a stand-in in tests.
struct FilterFactory {
    int (*count)();
    AudioFilter* (*create)(int index);
};

class FilterChainFile {
public:
    explicit FilterChainFile(FilterFactory factory);

    // One line to a new filter (owned by the caller). Null for a blank or
    // comment line (error empty) and for a bad line (error says what and
    // lists the valid choices, prefixed with "line N: ").
    AudioFilter* parseLine(const std::string& line, int lineNumber, std::string& error) const;
    // Every line of the stream; on the first bad line all filters made so far
    // are destroyed, filters is left empty and false returned.
    bool parse(std::istream& in, std::vector<AudioFilter*>& filters, std::string& error) const;

    // A filter as one line: value texts for choices and check boxes (unless a
    // text stands for more than one value), integers for sliders, and
    // "Active = no" for a bypassed filter.
    static std::string formatLine(AudioFilter& filter);
    static void write(std::ostream& out, const std::vector<AudioFilter*>& filters);

    // The names the factory offers, in order, for messages and listings.
    std::vector<std::string> filterNames() const;

private:
    FilterFactory factory;
};

} // namespace sonabel
