#include "render/RenderOptions.h"

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

} // namespace

const char* RenderOptions::usage() {
    return "Usage: sonabel-render [options] INPUT.wav OUTPUT.wav\n"
           "       sonabel-render --play [options] INPUT.wav [OUTPUT.wav]\n"
           "       sonabel-render --capture SECONDS [--play] [options] - [OUTPUT.wav]\n"
           "Runs a filter chain over a WAVE file, chunk by chunk, exactly as the live\n"
           "program would play it, and writes the result as a WAVE file of the same length.\n"
           "\n"
           "  -c, --chain FILE        append the filters of FILE (one filter per line)\n"
           "  -f, --filter 'FILTER'   append one filter, same syntax as a chain line; -c and -f\n"
           "                          may be repeated and mixed, and keep their order\n"
           "  -v, --verbose           say on stderr what each parameter value resolved to\n"
           "      --list-filters      the catalogue, with descriptions\n"
           "      --describe NAME     a filter's parameters: range, default, every value text of a choice\n"
           "      --steps             with --describe, every step of a slider too\n"
           "      --chunk FRAMES      chunk size (default 1024)\n"
           "      --bits 8|16         sample size of the output (default: the input's)\n"
           "      --reference CLEAN   print the SNR of INPUT and of OUTPUT against CLEAN, and the gain in dB\n"
           "  -q, --quiet             no progress bar\n"
           "      --list-devices      the soundcard outputs and inputs, numbered for --device\n"
           "      --play              play the chain's output on the soundcard, in real time; the\n"
           "                          soundcard is the clock. Stops at the input's end or on Ctrl-C\n"
           "      --capture SECONDS   take the soundcard input as the source instead of INPUT.wav\n"
           "                          (give - as INPUT); it is the clock unless --play is given\n"
           "      --device N          the soundcard device to use (default: the system's default)\n"
           "      --write-ahead N     with --play, queue N chunks ahead of the soundcard output\n"
           "  -h, --help              this text\n"
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
           "At the end it reports the frames and seconds rendered, the wall time, the speed as\n"
           "a multiple of real time, each filter's load in percent of the chunk time, and the\n"
           "final measured values of the filters. The diagnostic log goes to log.txt in the\n"
           "working directory.\n"
           "\n"
           "The sound system is JACK when a JACK server runs, else PulseAudio, else ALSA, else\n"
           "a silent null device; SONABEL_AUDIO_API=jack|pulse|alsa|null chooses one.\n"
           "\n"
           "The output is written under a temporary name beside OUTPUT.wav and renamed over it\n"
           "only when the render succeeds; a failed or interrupted render leaves an existing\n"
           "OUTPUT.wav as it was.\n"
           "\n"
           "Exit status: 0 success, 1 a file or device could not be read or written, 2 a usage error,\n"
           "130 or 143 when Ctrl-C or SIGTERM ended an offline render.\n";
}

bool RenderOptions::parse(int argc, char** argv, std::string& error) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            action = Action::Help;
            return true;
        } else if (arg == "--list-filters") {
            action = Action::ListFilters;
        } else if (arg == "--describe") {
            if (!value(describeName)) return false;
            action = Action::Describe;
        } else if (arg == "--steps") {
            steps = true;
        } else if (arg == "-v" || arg == "--verbose") {
            verbose = true;
        } else if (arg == "-c" || arg == "--chain" || arg == "-f" || arg == "--filter") {
            if (!value(v)) return false;
            chainSources.push_back({arg == "-c" || arg == "--chain", v});
        } else if (arg == "--chunk") {
            if (!value(v)) return false;
            if (!parseInt(v, chunkFrames) || chunkFrames < 11 || chunkFrames > 1048576) {
                error = "--chunk takes a number of frames from 11 to 1048576, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "--bits") {
            if (!value(v)) return false;
            if (!parseInt(v, bits) || (bits != 8 && bits != 16)) {
                error = "--bits takes 8 or 16, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "--reference") {
            if (!value(reference)) return false;
        } else if (arg == "--list-devices") {
            action = Action::ListDevices;
        } else if (arg == "--play") {
            play = true;
        } else if (arg == "--capture") {
            if (!value(v)) return false;
            char* end = nullptr;
            captureSeconds = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != 0 || !(captureSeconds > 0.0) || captureSeconds > 86400.0) {
                error = "--capture takes a number of seconds from 0 to 86400, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "--device") {
            if (!value(v)) return false;
            if (!parseInt(v, device) || device < 0) {
                error = "--device takes a device number from --list-devices, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "--write-ahead") {
            if (!value(v)) return false;
            if (!parseInt(v, writeAhead) || writeAhead < 1 || writeAhead > 1000) {
                error = "--write-ahead takes a number of chunks from 1 to 1000, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg + " (try --help)";
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (steps && action != Action::Describe && action != Action::Help) {
        error = "--steps goes with --describe NAME";
        return false;
    }
    if (action != Action::Render) return true;
    if (play && (positional.size() == 1 || positional.size() == 2)) {
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
    if ((captureSeconds > 0.0) != (input == "-")) {
        error = captureSeconds > 0.0 ? "with --capture, give - as INPUT" : "INPUT - needs --capture SECONDS";
        return false;
    }
    return true;
}

} // namespace sonabel
