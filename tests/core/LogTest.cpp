#include "LogCapture.h"
#include "core/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace sonabel;
using sonabel::test::LogCapture;

namespace {

// Runs each test in an empty working directory with a fresh "log.txt".
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("sonabel-log-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        fs::current_path(dir);
        resetLogFile();
        debugBefore = getDebugThreshold();
        traceBefore = getTraceThreshold();
    }
    void TearDown() override {
        setDebugThreshold(debugBefore);
        setTraceThreshold(traceBefore);
        resetLogFile();
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    std::vector<std::string> fileLines() {
        std::ifstream in(dir / "log.txt");
        std::vector<std::string> v;
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }
    static std::string tagged(const std::string& line) {
        char tag[32];
        std::snprintf(tag, sizeof tag, "Thread %2lx: ", static_cast<unsigned long>(::syscall(SYS_gettid)));
        return tag + line;
    }
    fs::path previous, dir;
    int debugBefore = 0, traceBefore = 0;
};

TEST_F(LogTest, ErrorLineGoesToOutputAndFileWithThreadTag) {
    LogCapture capture;
    logError(2, "AudioMixer::getFilter: argument range fault.");
    const std::string line = "ERROR: AudioMixer::getFilter: argument range fault. (level:2)";
    EXPECT_EQ(capture.all(), std::vector<std::string>{line});
    EXPECT_TRUE(capture.errorHookLines().empty()) << "level 2 shows no box";
    ASSERT_EQ(fileLines().size(), 1u);
    EXPECT_EQ(fileLines()[0], tagged(line));
    EXPECT_TRUE(std::regex_match(fileLines()[0], std::regex("Thread [0-9a-f]{2,}: ERROR: .*")));
}

TEST_F(LogTest, LevelOneErrorCallsTheHookWithTheSameLine) {
    LogCapture capture;
    logError(1, "Could not open %s", "x.wav");
    EXPECT_EQ(capture.errorHookLines(), std::vector<std::string>{"ERROR: Could not open x.wav (level:1)"});
}

TEST_F(LogTest, DebugThresholdAndFileOnlyLevel) {
    LogCapture capture;
    setDebugThreshold(1);
    logDebug(2, "dropped");
    logDebug(1, "kept %d", 7);
    logDebug(-1, "file only");
    EXPECT_EQ(capture.all(), std::vector<std::string>{"DEBUG: kept 7 (level:1)"});
    auto lines = fileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], tagged("DEBUG: kept 7 (level:1)"));
    EXPECT_EQ(lines[1], tagged("DEBUG: file only (level:-1)"));
}

TEST_F(LogTest, TraceIndentsByEntryAndExit) {
    LogCapture capture;
    setTraceThreshold(10);
    setDebugThreshold(5);
    logTrace(10, ">AudioMixer::read");
    logTrace(10, "applying the filters");
    logDebug(3, "inside");
    logTrace(10, "<read");
    logTrace(11, ">dropped");
    EXPECT_EQ(capture.all(), (std::vector<std::string>{">AudioMixer::read", " applying the filters",
                                                       " DEBUG: inside (level:3)", "<read"}));
    EXPECT_EQ(getIndentDepth(), 0);
}

TEST_F(LogTest, IndentNeverGoesBelowZero) {
    LogCapture capture;
    setTraceThreshold(10);
    logTrace(10, "<unbalanced");
    logTrace(10, "<again");
    logTrace(10, "plain");
    EXPECT_EQ(getIndentDepth(), 0);
    EXPECT_EQ(capture.all().back(), "plain");
}

TEST_F(LogTest, LongMessagesAreCutNotOverflowed) {
    LogCapture capture;
    std::string huge(10000, 'x');
    logError(2, "%s", huge.c_str());
    setTraceThreshold(10);
    for (int i = 0; i < 3000; ++i) logTrace(10, ">deep");
    logDebug(1, "%s", huge.c_str());
    for (int i = 0; i < 3000; ++i) logTrace(10, "<");
    auto lines = capture.all();
    for (const auto& l : lines) EXPECT_LE(l.size(), 2047u);
    EXPECT_EQ(lines.front().rfind("ERROR: xxx", 0), 0u);
    EXPECT_EQ(getIndentDepth(), 0);
}

TEST_F(LogTest, StartingAgainEmptiesTheFile) {
    {
        std::ofstream old(dir / "log.txt");
        old << "old contents\n";
    }
    LogCapture capture;
    logError(3, "fresh");
    auto lines = fileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("fresh"), std::string::npos);
}

TEST_F(LogTest, ThreadsWriteWholeLines) {
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) logError(3, "thread %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    auto lines = fileLines();
    ASSERT_EQ(lines.size(), 800u);
    for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, std::regex("Thread [0-9a-f]{2,}: ERROR: thread \\d line \\d+ \\(level:3\\)"))) << l;
}

} // namespace
