#include "core/AudioDeviceFormat.h"
#include "core/DeviceListener.h"
#include "core/FourCC.h"
#include "core/ListenerList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace sonabel;

namespace {

TEST(FourCCTest, BytesAreStoredLowestFirst) {
    struct Case {
        const char* text;
        unsigned char bytes[4];
    } cases[] = {
        {"PCM", {'P', 'C', 'M', 0}}, {"fmt ", {'f', 'm', 't', ' '}}, {"ab", {'a', 'b', 0, 0}},
        {"x", {'x', 0, 0, 0}},       {"", {0, 0, 0, 0}},             {"RIFFX", {'R', 'I', 'F', 'F'}},
    };
    for (const auto& c : cases) {
        FourCC code(c.text);
        uint32_t expected;
        std::memcpy(&expected, c.bytes, 4);
        EXPECT_EQ(code.value, expected) << c.text;
    }
    EXPECT_EQ(FourCC(static_cast<const char*>(nullptr)).value, 0u);
    EXPECT_STREQ(FourCC("data").toText().c_str(), "data");
    EXPECT_STREQ(ENCODING_PCM.toText().c_str(), "PCM");
    EXPECT_NE(ENCODING_PCM, ENCODING_NONE);
}

TEST(AudioFormatTest, DefaultsAndComparison) {
    AudioFormat f;
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.sampleRate, 44100.0f);
    AudioDeviceFormat d;
    EXPECT_EQ(d.getBitsPerSample(), 16);
    EXPECT_TRUE(f.isSame(d));
    d.sampleRate = 22050.0f;
    EXPECT_FALSE(f.isSame(d));
    f.copyFrom(d);
    EXPECT_TRUE(f.isSame(d));
}

struct Recorder : DeviceListener {
    std::vector<int> codes;
    ListenerList* lastSource = nullptr;
    void notify(ListenerList* source, int code, int) override {
        codes.push_back(code);
        lastSource = source;
    }
};

TEST(ListenerListTest, NotifiesInOrderAndRemovesFirstMatch) {
    ListenerList list;
    Recorder a, b;
    list.removeListener(&a); // never created: nothing happens
    list.addListener(&a);
    list.addListener(&b);
    list.addListener(&a);
    list.notifyListeners(100, 0);
    EXPECT_EQ(a.codes, (std::vector<int>{100, 100}));
    EXPECT_EQ(a.lastSource, &list);
    list.removeListener(&a);
    list.notifyListeners(101, 0);
    EXPECT_EQ(a.codes, (std::vector<int>{100, 100, 101}));
    EXPECT_EQ(b.codes, (std::vector<int>{100, 101}));
}

} // namespace
