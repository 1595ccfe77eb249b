// What the renderer does to the files around it when things go wrong: an
// output that is one of its inputs, a read or write that fails half-way, a
// signal, a full disk, an input beyond 2 GB. The user's files are never
// replaced by a failed render, no temporary file stays behind, and a file
// that is kept claims no frame it does not hold.

#include "RendererFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

using RendererSafetyTest = RendererTest;

const Bytes userFile = {'m', 'i', 'n', 'e'};

std::string seconds(int frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", frames / 44100.0);
    return text;
}

// Names that reach the input or the reference, however they are spelled.
TEST_F(RendererSafetyTest, AnOutputThatIsAnInputIsRefused) {
    makeInput("in.wav", 2, 16, 1000);
    makeInput("clean.wav", 2, 16, 1000);
    fs::create_symlink("in.wav", "link.wav");
    fs::create_hard_link("clean.wav", "hard.wav");
    fs::create_directory("sub");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"in.wav", "in.wav"}, "the output in.wav is the same file as the input in.wav"},
        {{"in.wav", "./in.wav"}, "the output ./in.wav is the same file as the input in.wav"},
        {{"in.wav", "sub/../in.wav"}, "the output sub/../in.wav is the same file as the input in.wav"},
        {{"in.wav", "link.wav"}, "the output link.wav is the same file as the input in.wav"},
        {{"link.wav", "in.wav"}, "the output in.wav is the same file as the input link.wav"},
        {{"in.wav", "hard.wav", "--reference", "clean.wav"},
         "the output hard.wav is the same file as the --reference clean.wav"},
        {{"--play", "in.wav", "in.wav"}, "the output in.wav is the same file as the input in.wav"},
    };
    const Bytes input = readFile("in.wav"), clean = readFile("clean.wav");
    for (const auto& c : cases) {
        EXPECT_EQ(render(c.args), 2) << c.message;
        EXPECT_EQ(err.str(), "sonabel-render: " + c.message + "; give another output name\n");
        EXPECT_EQ(readFile("in.wav"), input);
        EXPECT_EQ(readFile("clean.wav"), clean);
    }
}

// Success replaces the target in one step; a link is followed, so the file
// it names gets the output and the link stays; the permissions stay.
TEST_F(RendererSafetyTest, SuccessReplacesTheTargetThroughLinks) {
    makeInput("in.wav", 1, 16, 3000);
    writeFile("target.wav", userFile);
    ::chmod("target.wav", 0640);
    fs::create_symlink("target.wav", "out.wav");
    ASSERT_EQ(render({"in.wav", "out.wav"}), 0) << err.str();
    EXPECT_TRUE(fs::is_symlink("out.wav"));
    EXPECT_EQ(readFile("target.wav"), readFile("in.wav"));
    struct stat info {};
    ASSERT_EQ(::stat("target.wav", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_TRUE(hiddenFiles().empty());
}

// A render that stops early: the read that came up short (the input was cut
// while it was read), SIGINT, SIGTERM. A file the user had stays as it was;
// where there was none, what was rendered is kept with a header that matches
// it, except after a read error, whose last chunk holds made-up silence.
TEST_F(RendererSafetyTest, ARenderThatStopsEarlyNeverReplacesTheUsersFile) {
    const int frames = 10000;
    struct Case {
        const char* name;
        std::function<void(int64_t)> afterChunk;
        int status;
        std::string problem;
        int kept; // frames kept in a new file; -1: none
    } cases[] = {
        {"cut input",
         [](int64_t done) {
             if (done == 1024) {
                 ASSERT_EQ(::truncate("in.wav", 44 + 3000 * 2 + 1), 0);
             }
         },
         1, "cannot read in.wav at frame 3000 of 10000: unexpected end of file", -1},
        {"SIGINT", [](int64_t done) { if (done == 2048) std::raise(SIGINT); }, 130, "interrupted", 2048},
        {"SIGTERM", [](int64_t done) { if (done == 3072) std::raise(SIGTERM); }, 143, "terminated", 3072},
    };
    for (const auto& c : cases) {
        for (bool existed : {true, false}) {
            makeInput("in.wav", 1, 16, frames);
            fs::remove("out.wav");
            if (existed) writeFile("out.wav", userFile);
            EXPECT_EQ(render({"in.wav", "out.wav"}, c.afterChunk), c.status) << c.name;
            std::string rest = "; nothing was kept";
            if (existed)
                rest = "; out.wav is left as it was";
            else if (c.kept >= 0)
                rest = "; the first " + std::to_string(c.kept) + " frames (" + seconds(c.kept) + ") are kept in out.wav";
            EXPECT_EQ(err.str(), "sonabel-render: " + c.problem + rest + "\n") << c.name;
            EXPECT_EQ(out.str().find("Rendered"), std::string::npos);
            EXPECT_TRUE(hiddenFiles().empty()) << c.name;
            if (existed) {
                EXPECT_EQ(readFile("out.wav"), userFile) << c.name;
            } else if (c.kept < 0) {
                EXPECT_FALSE(fs::exists("out.wav")) << c.name;
            } else {
                const PythonWave py = readWithPython("out.wav");
                EXPECT_EQ(py.header, "1 2 44100 " + std::to_string(c.kept)) << c.name;
                EXPECT_EQ(fs::file_size("out.wav"), 44u + 2u * static_cast<unsigned>(c.kept));
            }
        }
    }
    // The handlers were only borrowed.
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

// A full disk (a 200 KiB tmpfs): status 1 with the system's reason, and the
// part that fits is a valid file where the user had none.
TEST_F(RendererSafetyTest, AFullDiskEndsTheRenderWithTheSystemsReason) {
    fs::create_directory("small");
    if (::geteuid() != 0 || run("mount -t tmpfs -o size=200k tmpfs small 2>&1; echo $?") != "0\n")
        GTEST_SKIP() << "cannot mount a 200 KiB tmpfs here (needs root and mount rights)";
    makeInput("in.wav", 2, 16, 3 * 44100); // 529 KB
    const int status = render({"in.wav", "small/out.wav"});
    const std::string message = err.str();
    const PythonWave py = readWithPython("small/out.wav");
    const auto size = fs::exists("small/out.wav") ? fs::file_size("small/out.wav") : 0;
    const std::string leftovers = run("ls -A small");
    run("umount small");

    EXPECT_EQ(status, 1);
    const std::string head = "sonabel-render: cannot write small/out.wav: No space left on device; the first ";
    EXPECT_EQ(message.substr(0, head.size()), head);
    EXPECT_EQ(out.str().find("Rendered"), std::string::npos);
    EXPECT_EQ(leftovers, "out.wav\n");
    // Whole frames, as many as the message says, and as many as the header.
    const size_t frames = (size - 44) / 4;
    EXPECT_EQ(size, 44 + frames * 4);
    EXPECT_GT(frames, 40000u);
    EXPECT_EQ(py.header, "2 2 44100 " + std::to_string(frames));
    EXPECT_NE(message.find("the first " + std::to_string(frames) + " frames"), std::string::npos) << message;
}

// Beyond 2 GB the reader cannot reach the end: refused before anything is
// written (a sparse file: nothing is stored).
TEST_F(RendererSafetyTest, InputsBeyondTwoGigabytesAreRefused) {
    writeFile("big.wav", Wav().riff().fmt(2, 44100, 16).tag("data").u32(0xFFFFFFF0u).done());
    fs::resize_file("big.wav", 2600000000u);
    makeInput("in.wav", 2, 16, 1000);
    const std::string tail = " holds 2599999956 bytes of audio, more than the 2 GB (2147483647 bytes) a file may "
                             "have here; nothing was rendered\n";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {{{"big.wav", "out.wav"}, "sonabel-render: big.wav" + tail},
                 {{"in.wav", "out.wav", "--reference", "big.wav"}, "sonabel-render: --reference big.wav" + tail}};
    for (const auto& c : cases) {
        EXPECT_EQ(render(c.args), 1);
        EXPECT_EQ(err.str(), c.message);
        EXPECT_FALSE(fs::exists("out.wav"));
        EXPECT_TRUE(hiddenFiles().empty());
    }
}

} // namespace
