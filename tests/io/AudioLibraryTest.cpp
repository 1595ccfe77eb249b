// The loader of the sound-system library: a missing or foreign library is
// one level-1 error and leaves the null device; the real one hands out
// working layers; a forced null device loads nothing.

#include "LogCapture.h"
#include "io/AudioLibrary.h"
#include "io/CaptureQueue.h"
#include "io/PlaybackRing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace sonabel;
using namespace sonabel::test;

namespace {

class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const char* value) : key(name) {
        if (const char* old = std::getenv(key)) previous = old;
        if (value) ::setenv(key, value, 1);
        else ::unsetenv(key);
    }
    ~EnvironmentScope() {
        if (previous.empty()) ::unsetenv(key);
        else ::setenv(key, previous.c_str(), 1);
    }

private:
    const char* key;
    std::string previous;
};

} // namespace

TEST(AudioLibrary, AFileThatIsNotTheLibraryLeavesOnlyTheNullDeviceWithOneError) {
    struct Case {
        const char* name;
        std::string file;
        const char* reason; // part of the error
    } cases[] = {
        {"missing", "/nonexistent/libsonabel-audio.so", "/nonexistent/libsonabel-audio.so"},
        // A real library without the entry.
        {"foreign", "libm.so.6", "libm.so.6 has no entry sonabelAudioEntry"},
    };
    EnvironmentScope api("SONABEL_AUDIO_API", nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        AudioLibrary library(c.file);
        bool forced = true;
        EXPECT_EQ(library.chooseApi(&forced), AudioApi::null);
        EXPECT_FALSE(forced);
        EXPECT_EQ(library.createPlaybackRing(AudioApi::alsa), nullptr);
        EXPECT_EQ(library.createCaptureQueue(AudioApi::alsa), nullptr);
        library.setHurried(true); // harmless without a library
        EXPECT_FALSE(library.isLoaded());
        EXPECT_NE(library.getLoadError().find(c.reason), std::string::npos) << library.getLoadError();
        const std::string message = "The sound system library could not be loaded (" + library.getLoadError() +
                                    "): only the null device is there.";
        EXPECT_TRUE(log.hasError(message, 1)) << "said once, at level 1";
        EXPECT_EQ(log.count("could not be loaded"), 1) << "three calls, one error";
        EXPECT_EQ(log.errorHookLines().size(), 1u) << "the user sees it";
    }
}

TEST(AudioLibrary, TheRealLibraryHandsOutLayersOnTheForcedSystem) {
    struct Case {
        const char* forcedKey;
        AudioApi api;
        const char* apiName;
    } cases[] = {
        {"jack", AudioApi::jack, "JACK"},
        {"pulse", AudioApi::pulse, "PulseAudio"},
        {"alsa", AudioApi::alsa, "ALSA"},
    };
    // Found where a program finds it: the build tree's copy here.
    EnvironmentScope named("SONABEL_AUDIO_LIBRARY", nullptr);
    AudioLibrary library;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.forcedKey);
        EnvironmentScope api("SONABEL_AUDIO_API", c.forcedKey);
        bool forced = false;
        // Forced by name: no server is probed.
        EXPECT_EQ(library.chooseApi(&forced), c.api);
        EXPECT_TRUE(forced);
        ASSERT_TRUE(library.isLoaded()) << library.getLoadError();
        std::unique_ptr<PlaybackRing> ring(library.createPlaybackRing(c.api));
        std::unique_ptr<CaptureQueue> queue(library.createCaptureQueue(c.api));
        ASSERT_TRUE(ring && queue);
        EXPECT_STREQ(ring->getApiName(), c.apiName);
        EXPECT_STREQ(queue->getApiName(), c.apiName);
    }
    library.setHurried(false);
}

TEST(AudioLibrary, AForcedNullDeviceLoadsNothing) {
    EnvironmentScope api("SONABEL_AUDIO_API", "null");
    LogCapture log;
    // Even a library that is not there is not looked for.
    AudioLibrary library("/nonexistent/libsonabel-audio.so");
    bool forced = false;
    EXPECT_EQ(library.chooseApi(&forced), AudioApi::null);
    EXPECT_TRUE(forced);
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(log.count("could not be loaded"), 0);
}
