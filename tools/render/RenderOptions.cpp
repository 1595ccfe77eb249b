#include "render/RenderOptions.h"

#include "io/SndFileFormat.h"

#include <cstdlib>

namespace sonabel {

namespace {

bool parseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != 0 || v < -1000000000L || v > 1000000000L) return false;
    value = static_cast<int>(v);
    return true;
}

// One option: its letter (0: none), its long name, whether it takes a value,
// and what it does with it. An option that ends the parse with an action
// (--help) sets it and returns true.
struct Option {
    char letter;
    const char* name;
    bool takesValue;
    bool (*apply)(RenderOptions& o, const std::string& value, std::string& error);
};

// To add an option: a row here, a field in RenderOptions, a line in usage().
const Option options[] = {
    {'h', "help", false, [](RenderOptions& o, const std::string&, std::string&) {
         o.action = RenderOptions::Action::Help;
         return true;
     }},
    {0, "version", false, [](RenderOptions& o, const std::string&, std::string&) {
         if (o.action != RenderOptions::Action::Help) o.action = RenderOptions::Action::Version;
         return true;
     }},
    {0, "list-filters", false, [](RenderOptions& o, const std::string&, std::string&) {
         o.action = RenderOptions::Action::ListFilters;
         return true;
     }},
    {0, "describe", true, [](RenderOptions& o, const std::string& v, std::string&) {
         o.describeName = v;
         o.action = RenderOptions::Action::Describe;
         return true;
     }},
    {0, "steps", false, [](RenderOptions& o, const std::string&, std::string&) { return o.steps = true; }},
    {'v', "verbose", false, [](RenderOptions& o, const std::string&, std::string&) { return o.verbose = true; }},
    {'c', "chain", true, [](RenderOptions& o, const std::string& v, std::string&) {
         o.chainSources.push_back({true, v});
         return true;
     }},
    {'f', "filter", true, [](RenderOptions& o, const std::string& v, std::string&) {
         o.chainSources.push_back({false, v});
         return true;
     }},
    {0, "chunk", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         if (parseInt(v, o.chunkFrames) && o.chunkFrames >= 11 && o.chunkFrames <= 1048576) return true;
         error = "--chunk takes a number of frames from 11 to 1048576, not \"" + v + "\"";
         return false;
     }},
    {0, "bits", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         if (SndFileFormat::parseSampleType(v, o.bits, o.floatSamples)) return true;
         error = "--bits takes 8, 16, 24, 32 or float, not \"" + v + "\"";
         return false;
     }},
    {0, "format", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         SndFileFormat::Container c;
         o.container = v;
         if (SndFileFormat::parseContainer(v, c)) return true;
         error = "--format takes wav, flac or aiff, not \"" + v + "\"";
         return false;
     }},
    {0, "write-ahead", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         if (parseInt(v, o.writeAhead) && o.writeAhead >= 1 && o.writeAhead <= 1000) return true;
         error = "--write-ahead takes a number of chunks from 1 to 1000, not \"" + v + "\"";
         return false;
     }},
    {0, "reference", true, [](RenderOptions& o, const std::string& v, std::string&) {
         o.reference = v;
         return true;
     }},
    {'q', "quiet", false, [](RenderOptions& o, const std::string&, std::string&) { return o.quiet = true; }},
    {0, "stats", false, [](RenderOptions& o, const std::string&, std::string&) { return o.stats = true; }},
    {0, "json", false, [](RenderOptions& o, const std::string&, std::string&) { return o.json = true; }},
    {0, "log", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         if (!v.empty()) {
             o.logFile = v;
             return true;
         }
         error = "--log takes a file name";
         return false;
     }},
    {0, "list-devices", false, [](RenderOptions& o, const std::string&, std::string&) {
         o.action = RenderOptions::Action::ListDevices;
         return true;
     }},
    {0, "play", false, [](RenderOptions& o, const std::string&, std::string&) { return o.play = true; }},
    {0, "capture", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         char* end = nullptr;
         o.captureSeconds = std::strtod(v.c_str(), &end);
         if (!v.empty() && *end == 0 && o.captureSeconds > 0.0 && o.captureSeconds <= 86400.0) return true;
         error = "--capture takes a number of seconds from 0 to 86400, not \"" + v + "\"";
         return false;
     }},
    {0, "device", true, [](RenderOptions& o, const std::string& v, std::string& error) {
         // A number from --list-devices, else the start of a device's name.
         const bool digits = !v.empty() && v.find_first_not_of("0123456789") == std::string::npos;
         if (digits && parseInt(v, o.device)) {
             o.deviceName.clear();
             return true;
         }
         if (!digits && !v.empty() && v[0] != '-') {
             o.device = -1;
             o.deviceName = v;
             return true;
         }
         error = "--device takes a device number or name from --list-devices, not \"" + v + "\"";
         return false;
     }},
};

const Option* findLong(const std::string& name) {
    for (const Option& o : options)
        if (name == o.name) return &o;
    return nullptr;
}

const Option* findLetter(char letter) {
    for (const Option& o : options)
        if (o.letter && o.letter == letter) return &o;
    return nullptr;
}

} // namespace

const char* RenderOptions::usage() {
    return "Usage: sonabel-render [options] INPUT.wav OUTPUT.wav\n"
           "       sonabel-render --play [options] INPUT.wav [OUTPUT.wav]\n"
           "       sonabel-render --capture SECONDS [--play] [options] [OUTPUT.wav]\n"
           "Runs a filter chain over a sound file (WAVE, FLAC, AIFF, ...), chunk by chunk,\n"
           "exactly as the live program would play it, and writes the result, of the same\n"
           "length, as the input's sample type unless --bits and --format say otherwise.\n"
           "INPUT - reads standard input, OUTPUT - writes standard output (a pipe needs no\n"
           "seeking either way); an OUTPUT that is a named pipe or a device is written in\n"
           "place, as - is. Standard input and a named pipe are rendered and played as they\n"
           "come: WAVE, FLAC, AU, AIFF; with --reference or a format read only from a file\n"
           "they are copied to a temporary file first (-v says so).\n"
           "\n"
           "  -c, --chain FILE        append the filters of FILE (one filter per line)\n"
           "  -f, --filter 'FILTER'   append one filter, same syntax as a chain line; -c and -f\n"
           "                          may be repeated and mixed, and keep their order\n"
           "  -v, --verbose           say on stderr what each parameter value resolved to\n"
           "      --list-filters      the catalogue, with descriptions\n"
           "      --describe NAME     a filter's parameters: range, default, every value text of a choice\n"
           "      --steps             with --describe, every step of a slider too\n"
           "      --chunk FRAMES      chunk size (default 1024)\n"
           "      --bits 8|16|24|32|float\n"
           "                          sample type of the output (default: the input's)\n"
           "      --format wav|flac|aiff\n"
           "                          container of the output (default: OUTPUT's extension, else wav)\n"
           "      --reference CLEAN   print the SNR of INPUT and of OUTPUT against CLEAN, and the gain in dB\n"
           "      --suggest-threshold the chain's denoiser \"Threshold\" for INPUT, from its noise (no OUTPUT)\n"
           "  -q, --quiet             no progress bar, and no report on stderr\n"
           "      --stats             the report on stdout instead of stderr\n"
           "      --json              the report as one JSON object on stdout\n"
           "      --log FILE          the diagnostic log (default: $XDG_STATE_HOME/sonabel/sonabel-render.log)\n"
           "      --list-devices      the soundcard outputs and inputs, numbered for --device\n"
           "      --play              play the chain's output on the soundcard, in real time; the\n"
           "                          soundcard is the clock. Stops at the input's end or on Ctrl-C\n"
           "      --capture SECONDS   take the soundcard input as the source instead of INPUT.wav\n"
           "                          (give no INPUT); it is the clock unless --play is given\n"
           "      --device N|NAME     the soundcard device to use, by number or by the start of its\n"
           "                          name (default: the system's default)\n"
           "      --write-ahead N     with --play, queue N chunks ahead of the soundcard output\n"
           "  -h, --help              this text\n"
           "      --version           the program's version\n"
           "Options take their value as --chunk 512 or --chunk=512; flags bundle (-vq); -- ends\n"
           "the options.\n"
           "\n"
           "A chain line names a filter and sets parameters by name:\n"
           "  Forward Wavelet Transform | Wavelet = Daubechies 8 | Algorithm = Zero padding optimized\n"
           "  Forward | Wavelet = db8 | Algorithm = periodization\n"
           "  Butterworth | Cutoff = 1000 Hz\n"
           "  Delay | Delay = 80 ms | Active = no\n"
           "A filter name may be cut to any unambiguous start of it or of one of its words, a\n"
           "parameter name to a start of it. A value is the integer step (0 is the first), one\n"
           "of the parameter's value texts, a familiar name (db2..db10, db15, sym8, bior3.9,\n"
           "bior6.8, haar, zero, symmetric, periodization) or a quantity in a unit its value\n"
           "texts show (\"1000 Hz\", \"80 ms\", \"-6 dB\", \"level 4\"), which takes the nearest\n"
           "step. # starts a comment.\n"
           "Before rendering, the chain is checked and anything that will not work as it\n"
           "reads (a denoiser without a forward transform before it, say) is warned about.\n"
           "\n"
           "At the end it reports on stderr the frames and seconds rendered, the wall time, the\n"
           "speed as a multiple of real time, each filter's load in percent of the chunk time,\n"
           "and the final measured values of the filters (on stdout with --stats, as JSON with\n"
           "--json). The diagnostic log goes to $XDG_STATE_HOME/sonabel/sonabel-render.log\n"
           "(~/.local/state/sonabel/ when XDG_STATE_HOME is not set) or to --log FILE; its\n"
           "warnings and errors are also shown on stderr.\n"
           "\n"
           "The sound system is JACK when a JACK server runs, else PulseAudio, else ALSA, else\n"
           "a silent null device; SONABEL_AUDIO_API=jack|pulse|alsa|null chooses one. --play\n"
           "and --capture name the sound system and the device on stderr.\n"
           "\n"
           "The output is written under a temporary name beside OUTPUT.wav and renamed over it\n"
           "only when the render succeeds; a failed or interrupted render leaves an existing\n"
           "OUTPUT.wav as it was.\n"
           "\n"
           "Exit status: 0 success, 1 a file or device could not be read or written, 2 a usage error,\n"
           "130 or 143 when Ctrl-C or SIGTERM ended an offline render.\n";
}


const char* RenderOptions::version() {
#ifdef SONABEL_VERSION
    return "sonabel-render " SONABEL_VERSION;
#else
    return "sonabel-render";
#endif
}

bool RenderOptions::parse(int argc, char** argv, std::string& error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // The value of an option that takes one: what follows "=" or the
        // letter, else the next argument.
        auto apply = [&](const Option& option, const std::string& shown, const std::string* attached) {
            std::string value;
            if (!option.takesValue) {
                if (attached) {
                    error = "option " + shown + " takes no value";
                    return false;
                }
            } else if (attached) {
                value = *attached;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                error = "option " + shown + " needs a value";
                return false;
            }
            return option.apply(*this, value, error);
        };
        if (arg[1] == '-') {
            const size_t equals = arg.find('=');
            const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const Option* option = findLong(name);
            if (!option) {
                error = "unknown option --" + name + " (try --help)";
                return false;
            }
            const std::string attached = equals == std::string::npos ? std::string() : arg.substr(equals + 1);
            if (!apply(*option, "--" + name, equals == std::string::npos ? nullptr : &attached)) return false;
        } else {
            // Letters bundled: each one a flag, except that a letter taking a
            // value takes the rest of the argument ("-cchain.txt") or the next.
            for (size_t k = 1; k < arg.size(); ++k) {
                const Option* option = findLetter(arg[k]);
                if (!option) {
                    error = std::string("unknown option -") + arg[k] + (arg.size() > 2 ? " in " + arg : "") +
                            " (try --help)";
                    return false;
                }
                const std::string shown = std::string("-") + arg[k];
                if (option->takesValue) {
                    const std::string rest = arg.substr(k + 1);
                    if (!apply(*option, shown, rest.empty() ? nullptr : &rest)) return false;
                    break;
                }
                if (!apply(*option, shown, nullptr)) return false;
            }
        }
        if (action == Action::Help) return true;
    }
    if (steps && action != Action::Describe) {
        error = "--steps goes with --describe NAME";
        return false;
    }
    if (action != Action::Render) return true;
    for (const std::string& name : positional) {
        if (name.empty()) {
            error = "an empty file name (try --help)";
            return false;
        }
    }
    if (captureSeconds > 0.0) {
        // The soundcard input is the source: only the recording is named.
        if (!positional.empty() && positional[0] == "-" && positional.size() == 2) {
            error = "with --capture, give only OUTPUT.wav: - now means standard input, and the soundcard input "
                    "needs no name";
            return false;
        }
        if (positional.size() > 1 || (positional.empty() && !play)) {
            error = "expected --capture SECONDS [--play] OUTPUT.wav (OUTPUT.wav is optional with --play; try --help)";
            return false;
        }
        if (!positional.empty()) output = positional[0];
    } else if (play && (positional.size() == 1 || positional.size() == 2)) {
        input = positional[0];
        if (positional.size() == 2) output = positional[1];
    } else if (positional.size() == 2) {
        input = positional[0];
        output = positional[1];
    } else {
        error = play ? "expected INPUT.wav and an optional OUTPUT.wav (try --help)"
                     : "expected INPUT.wav and OUTPUT.wav (try --help)";
        return false;
    }
    if (outputIsStdout() && isLive()) {
        error = "--play and --capture record into a file, not to standard output";
        return false;
    }
    if (outputIsStdout() && !reference.empty()) {
        error = "--reference compares OUTPUT with CLEAN, and OUTPUT - is not kept; give an output file";
        return false;
    }
    if (outputIsStdout() && (json || stats)) {
        error = std::string(json ? "--json" : "--stats") +
                " prints on standard output, which carries the audio of OUTPUT -; give an output file";
        return false;
    }
    return true;
}

} // namespace sonabel
