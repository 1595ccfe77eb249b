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
    EXPECT_TRUE(parse({"--capture", "2.5", "-", "rec.wav"}, capture, error)) << error;
    EXPECT_EQ(capture.captureSeconds, 2.5);
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
        {{"a", "b", "--bits", "24"}, "--bits takes 8 or 16, not \"24\""},
        {{"a", "b", "--chunk", "10"}, "--chunk takes a number of frames from 11 to 1048576, not \"10\""},
        {{"a", "b", "--chunk", "1k"}, "--chunk takes a number of frames from 11 to 1048576, not \"1k\""},
        {{"a", "b", "--chain"}, "option --chain needs a value"},
        {{"a", "b", "--loud"}, "unknown option --loud (try --help)"},
        {{"a", "b", "--steps"}, "--steps goes with --describe NAME"},
        {{"--play"}, "expected INPUT.wav and an optional OUTPUT.wav (try --help)"},
        {{"--capture", "2", "in.wav", "out.wav"}, "with --capture, give - as INPUT"},
        {{"-", "out.wav"}, "INPUT - needs --capture SECONDS"},
        {{"--capture", "-1", "-", "out.wav"}, "--capture takes a number of seconds from 0 to 86400, not \"-1\""},
        {{"--device", "x", "a", "b"}, "--device takes a device number from --list-devices, not \"x\""},
        {{"--play", "--write-ahead", "0", "a"}, "--write-ahead takes a number of chunks from 1 to 1000, not \"0\""},
    };
    for (const auto& c : cases) {
        RenderOptions o;
        std::string error;
        EXPECT_FALSE(parse(c.args, o, error));
        EXPECT_EQ(error, c.error);
    }
}

} // namespace
