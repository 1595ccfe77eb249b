#include "render/RenderOptions.h"

#include <gtest/gtest.h>

#include <vector>

using sonabel::RenderOptions;

namespace {

bool parse(std::vector<const char*> args, RenderOptions& o, std::string& error) {
    args.insert(args.begin(), "sonabel-render");
    return o.parse(static_cast<int>(args.size()), const_cast<char**>(args.data()), error);
}

TEST(RenderOptionsTest, ReadsEveryOption) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-f", "Delay", "-c", "chain.txt", "in.wav", "--filter", "Statistics", "--chain", "more.txt", "--chunk",
                       "512", "--bits", "8", "--reference", "clean.wav", "-q", "-v", "out.wav"},
                      o, error))
        << error;
    EXPECT_EQ(o.action, RenderOptions::Action::Render);
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.wav");
    // Chain files and filters in the order given.
    const std::vector<std::pair<bool, std::string>> sources{
        {false, "Delay"}, {true, "chain.txt"}, {false, "Statistics"}, {true, "more.txt"}};
    ASSERT_EQ(o.chainSources.size(), sources.size());
    for (size_t k = 0; k < sources.size(); ++k) {
        EXPECT_EQ(o.chainSources[k].isFile, sources[k].first) << k;
        EXPECT_EQ(o.chainSources[k].text, sources[k].second) << k;
    }
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.chunkFrames, 512);
    EXPECT_EQ(o.bits, 8);
    EXPECT_EQ(o.reference, "clean.wav");
    EXPECT_TRUE(o.quiet);

    RenderOptions list;
    EXPECT_TRUE(parse({"--list-filters"}, list, error));
    EXPECT_EQ(list.action, RenderOptions::Action::ListFilters);
    RenderOptions describe;
    EXPECT_TRUE(parse({"--describe", "Delay", "--steps"}, describe, error));
    EXPECT_EQ(describe.describeName, "Delay");
    EXPECT_TRUE(describe.steps);
    RenderOptions play;
    EXPECT_TRUE(parse({"--play", "in.wav", "--device", "3"}, play, error)) << error;
    EXPECT_TRUE(play.isLive());
    EXPECT_EQ(play.device, 3);
    EXPECT_EQ(play.output, "");
    RenderOptions capture;
    EXPECT_TRUE(parse({"--capture", "2.5", "rec.wav"}, capture, error)) << error;
    EXPECT_EQ(capture.captureSeconds, 2.5);
    EXPECT_EQ(capture.input, "");
    EXPECT_EQ(capture.output, "rec.wav");
    RenderOptions help;
    EXPECT_TRUE(parse({"in.wav", "--help"}, help, error));
    EXPECT_EQ(help.action, RenderOptions::Action::Help);
}

TEST(RenderOptionsTest, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<const char*> args;
        const char* error;
    } cases[] = {
        {{"in.wav"}, "expected INPUT.wav and OUTPUT.wav (try --help)"},
        {{"a", "b", "c"}, "expected INPUT.wav and OUTPUT.wav (try --help)"},
        {{"a", "b", "--bits", "12"}, "--bits takes 8, 16, 24, 32 or float, not \"12\""},
        {{"a", "b", "--bits", "Float"}, "--bits takes 8, 16, 24, 32 or float, not \"Float\""},
        {{"a", "b", "--format", "mp3"}, "--format takes wav, flac or aiff, not \"mp3\""},
        {{"a", "b", "--chunk", "10"}, "--chunk takes a number of frames from 11 to 1048576, not \"10\""},
        {{"a", "b", "--chunk", "1k"}, "--chunk takes a number of frames from 11 to 1048576, not \"1k\""},
        {{"a", "b", "--chain"}, "option --chain needs a value"},
        {{"", "b"}, "an empty file name (try --help)"},
        {{"a", "b", "--loud"}, "unknown option --loud (try --help)"},
        {{"a", "b", "--loud=yes"}, "unknown option --loud (try --help)"},
        {{"-vx", "a", "b"}, "unknown option -x in -vx (try --help)"},
        {{"-Q", "a", "b"}, "unknown option -Q (try --help)"},
        {{"a", "b", "--quiet=1"}, "option --quiet takes no value"},
        {{"a", "b", "-vc"}, "option -c needs a value"},
        {{"a", "b", "--chunk=10"}, "--chunk takes a number of frames from 11 to 1048576, not \"10\""},
        {{"a", "b", "--log="}, "--log takes a file name"},
        {{"a", "-", "--json"}, "--json prints on standard output, which carries the audio of OUTPUT -; give an output file"},
        {{"a", "-", "--stats"}, "--stats prints on standard output, which carries the audio of OUTPUT -; give an output file"},
        {{"--play", "a", "-"}, "--play and --capture record into a file, not to standard output"},
        {{"a", "b", "--steps"}, "--steps goes with --describe NAME"},
        {{"--play"}, "expected INPUT.wav and an optional OUTPUT.wav (try --help)"},
        {{"--capture", "2", "-", "out.wav"},
         "with --capture, give only OUTPUT.wav: - now means standard input, and the soundcard input needs no name"},
        {{"--capture", "2", "in.wav", "out.wav"},
         "expected --capture SECONDS [--play] OUTPUT.wav (OUTPUT.wav is optional with --play; try --help)"},
        {{"--capture", "2"}, "expected --capture SECONDS [--play] OUTPUT.wav (OUTPUT.wav is optional with --play; try --help)"},
        {{"--capture", "-1", "out.wav"}, "--capture takes a number of seconds from 0 to 86400, not \"-1\""},
        {{"--device", "-2", "a", "b"}, "--device takes a device number or name from --list-devices, not \"-2\""},
        {{"--device=", "a", "b"}, "--device takes a device number or name from --list-devices, not \"\""},
        {{"--play", "--write-ahead", "0", "a"}, "--write-ahead takes a number of chunks from 1 to 1000, not \"0\""},
    };
    for (const auto& c : cases) {
        RenderOptions o;
        std::string error;
        EXPECT_FALSE(parse(c.args, o, error));
        EXPECT_EQ(error, c.error);
    }
}

// The same settings however they are spelled: GNU "=" values, values
// stuck to their letter, bundled flags, "--" before names that look like
// options, and "-" for the standard streams.
TEST(RenderOptionsTest, SpellingsAgree) {
    struct Case {
        std::vector<const char*> args;
        int chunk;
        bool verbose, quiet;
        const char* input;
        const char* output;
        const char* firstSource;
    } cases[] = {
        {{"--chunk", "512", "-v", "-q", "-f", "Delay", "a", "b"}, 512, true, true, "a", "b", "Delay"},
        {{"--chunk=512", "-vq", "-fDelay", "a", "b"}, 512, true, true, "a", "b", "Delay"},
        {{"-qv", "--filter=Delay | Delay = 80 ms", "--chunk=512", "a", "b"}, 512, true, true, "a", "b",
         "Delay | Delay = 80 ms"},
        {{"-vqc", "chain.txt", "a", "b"}, 1024, true, true, "a", "b", "chain.txt"},
        {{"-f", "Delay", "--", "-in.wav", "--out.wav"}, 1024, false, false, "-in.wav", "--out.wav", "Delay"},
        {{"-c=x", "-", "-"}, 1024, false, false, "-", "-", "=x"},
    };
    for (const auto& c : cases) {
        RenderOptions o;
        std::string error;
        ASSERT_TRUE(parse(c.args, o, error)) << c.args[0] << ": " << error;
        EXPECT_EQ(o.chunkFrames, c.chunk) << c.args[0];
        EXPECT_EQ(o.verbose, c.verbose) << c.args[0];
        EXPECT_EQ(o.quiet, c.quiet) << c.args[0];
        EXPECT_EQ(o.input, c.input) << c.args[0];
        EXPECT_EQ(o.output, c.output) << c.args[0];
        ASSERT_EQ(o.chainSources.size(), 1u) << c.args[0];
        EXPECT_EQ(o.chainSources[0].text, c.firstSource) << c.args[0];
    }

    // A device by number or by name; the later one counts.
    struct Device {
        std::vector<const char*> args;
        int number;
        const char* name;
    } devices[] = {
        {{"--device", "3"}, 3, ""},
        {{"--device=system"}, -1, "system"},
        {{"--device", "Null device"}, -1, "Null device"},
        {{"--device", "system", "--device=0"}, 0, ""},
    };
    for (const auto& d : devices) {
        std::vector<const char*> args = d.args;
        args.insert(args.end(), {"--play", "in.wav"});
        RenderOptions o;
        std::string error;
        ASSERT_TRUE(parse(args, o, error)) << error;
        EXPECT_EQ(o.device, d.number);
        EXPECT_EQ(o.deviceName, d.name);
    }

    // Actions need no files; --help wins over anything after it.
    struct Action {
        std::vector<const char*> args;
        RenderOptions::Action action;
    } actions[] = {
        {{"--version"}, RenderOptions::Action::Version},
        {{"--version", "-h"}, RenderOptions::Action::Help},
        {{"-h", "--version"}, RenderOptions::Action::Help},
        {{"--help", "--no-such-option"}, RenderOptions::Action::Help},
        {{"--list-devices"}, RenderOptions::Action::ListDevices},
    };
    for (const auto& a : actions) {
        RenderOptions o;
        std::string error;
        ASSERT_TRUE(parse(a.args, o, error)) << error;
        EXPECT_EQ(o.action, a.action) << a.args[0];
    }
    RenderOptions report;
    std::string error;
    ASSERT_TRUE(parse({"--json", "--stats", "--log=/tmp/x.log", "in.wav", "out.wav"}, report, error)) << error;
    EXPECT_TRUE(report.json);
    EXPECT_TRUE(report.stats);
    EXPECT_EQ(report.logFile, "/tmp/x.log");
}

} // namespace
