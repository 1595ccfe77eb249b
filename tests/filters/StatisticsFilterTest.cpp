#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/StatisticsFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

void feed(StatisticsFilter& f, float left, float right, int samples = 8) {
    SampleBuffer b(2, samples);
    for (int i = 0; i < samples; ++i) {
        b.getBuffer(0)[i] = left;
        b.getBuffer(1)[i] = right;
    }
    f.process(b);
}

TEST(StatisticsFilterTest, ParameterTableAndIntervals) {
    StatisticsFilter f;
    EXPECT_STREQ(f.getName(), "Statistics");
    EXPECT_STREQ(f.getDescription(), "This filter shows some statistics of the current audio signal.");
    ASSERT_EQ(f.getParameterCount(), 5);
    const char* names[] = {"Update frequency", "Mean", "Energy", "Minimum", "Maximum"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(f.getParameterInfo(i)->name, names[i]);
        EXPECT_EQ(f.getParameterInfo(i)->type, i == 0 ? PARAM_SLIDER : PARAM_DISPLAY);
        EXPECT_EQ(f.getParameterInfo(i)->max, i == 0 ? 50 : 0);
    }
    EXPECT_EQ(textOf(f, 0), "25 chunks");
    EXPECT_EQ(textOf(f, 1), "0.000000");
    struct Row {
        int value;
        const char* text;
    };
    for (Row r : {Row{0, "1 chunks"}, Row{1, "5 chunks"}, Row{48, "240 chunks"}, Row{49, "500 chunks"},
                  Row{50, "1000 chunks"}, Row{77, "1000 chunks"}}) {
        f.setParameter(0, r.value);
        EXPECT_EQ(textOf(f, 0), r.text) << r.value;
    }
    EXPECT_EQ(f.getParameter(0), 50);
    EXPECT_EQ(f.getParameter(2), 0);

    LogCapture log;
    EXPECT_EQ(f.getParameterInfo(5), nullptr);
    EXPECT_TRUE(log.hasError("StatisticsFilter::getParameterInfo(5): out of range.", 2));
    f.setParameter(5, 1);
    EXPECT_TRUE(log.hasError("StatisticsFilter::setParameter(5, 1): number out of range.", 2));
}

TEST(StatisticsFilterTest, PublishesEveryIntervalPlusOneChunks) {
    struct Row {
        int update, chunksPerPublication;
    };
    for (Row r : {Row{0, 2}, Row{5, 26}, Row{49, 501}, Row{50, 1001}}) {
        StatisticsFilter f;
        f.setParameter(0, r.update);
        RecordingListener listener;
        f.listener = &listener;
        std::vector<int> publishedAt;
        for (int chunk = 1; chunk <= 2 * r.chunksPerPublication; ++chunk) {
            size_t before = listener.calls.size();
            feed(f, 0.1f, 0.1f, 4);
            if (listener.calls.size() != before) {
                publishedAt.push_back(chunk);
                EXPECT_EQ(std::vector<ListenerCall>(listener.calls.begin() + static_cast<long>(before), listener.calls.end()),
                          (std::vector<ListenerCall>{{"text", 1}, {"text", 2}, {"text", 3}, {"text", 4}}));
            }
        }
        EXPECT_EQ(publishedAt, (std::vector<int>{r.chunksPerPublication, 2 * r.chunksPerPublication}))
            << "update " << r.update;
    }
}

TEST(StatisticsFilterTest, MeanEnergyAndExtremes) {
    StatisticsFilter f;
    f.setParameter(0, 0); // publish after two chunks
    feed(f, 0.5f, -0.25f);
    feed(f, 0.5f, 0.75f);
    // Channel means in order 0.5, -0.25, 0.5, 0.75, each average halving the
    // weight of what came before: ((((0.5/2) - 0.25)/2 + 0.5)/2 + 0.75)/2.
    EXPECT_EQ(textOf(f, 1), "0.500000");
    // Summed squares of all channels per chunk: (8 * (0.25 + 0.0625) + 8 * (0.25 + 0.5625)) / 2.
    EXPECT_EQ(textOf(f, 2), "4.500000");
    EXPECT_EQ(textOf(f, 3), "-0.250000");
    EXPECT_EQ(textOf(f, 4), "0.750000");

    // The texts hold the published figures while the next ones collect.
    feed(f, -0.9f, 0.0f);
    EXPECT_EQ(textOf(f, 3), "-0.250000");
    feed(f, 0.1f, 0.1f);
    EXPECT_EQ(textOf(f, 3), "-0.900000");
    EXPECT_EQ(textOf(f, 4), "0.100000");
}

TEST(StatisticsFilterTest, SwitchingOnOrOffStartsAfresh) {
    StatisticsFilter f;
    f.setParameter(0, 0);
    feed(f, 0.5f, 0.5f);
    feed(f, 0.5f, 0.5f);
    RecordingListener listener;
    f.listener = &listener;
    f.setActive(false);
    EXPECT_FALSE(f.isActive());
    EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 1}, {"text", 2}, {"text", 3}, {"text", 4}}));
    EXPECT_EQ(textOf(f, 1), "0.000000");
    EXPECT_EQ(textOf(f, 2), "0.000000");
    EXPECT_EQ(textOf(f, 3), "1000000.000000");
    EXPECT_EQ(textOf(f, 4), "-1000000.000000");
    f.setActive(true);
    feed(f, 0.25f, 0.25f);
    feed(f, 0.25f, 0.25f);
    EXPECT_EQ(textOf(f, 2), "1.000000"); // no energy from before the switch
}

// At the end of the input the figures cover the chunks since the last
// publication, however long the interval; with nothing new they stand.
TEST(StatisticsFilterTest, TheEndOfTheInputPublishesWhatWasGathered) {
    struct Row {
        int update, chunks;
        const char *mean, *energy, *minimum, *maximum;
    };
    for (Row r : {Row{50, 2, "0.500000", "4.500000", "-0.250000", "0.750000"},
                  Row{0, 2, "0.500000", "4.500000", "-0.250000", "0.750000"},   // just published: unchanged
                  Row{0, 3, "-0.225000", "6.480000", "-0.900000", "0.000000"},  // one chunk since
                  Row{48, 0, "0.000000", "0.000000", "0.000000", "0.000000"}}) { // nothing at all
        StatisticsFilter f;
        f.setParameter(0, r.update);
        RecordingListener listener;
        f.listener = &listener;
        const float chunks[3][2] = {{0.5f, -0.25f}, {0.5f, 0.75f}, {-0.9f, 0.0f}};
        for (int i = 0; i < r.chunks; ++i) feed(f, chunks[i][0], chunks[i][1]);
        const size_t before = listener.calls.size();
        f.inputEnded();
        const std::vector<std::string> texts = {textOf(f, 1), textOf(f, 2), textOf(f, 3), textOf(f, 4)};
        EXPECT_EQ(texts, (std::vector<std::string>{r.mean, r.energy, r.minimum, r.maximum}))
            << "update " << r.update << ", " << r.chunks << " chunks";
        const bool fresh = r.chunks > 0 && !(r.update == 0 && r.chunks == 2);
        EXPECT_EQ(listener.calls.size() - before, fresh ? 4u : 0u) << "the texts are announced when they change";
    }
}

TEST(StatisticsFilterTest, AnEmptyChunkLeavesTheMeanAlone) {
    StatisticsFilter f;
    f.setParameter(0, 0);
    feed(f, 0.5f, 0.5f);
    feed(f, 0.5f, 0.5f, 0);
    EXPECT_EQ(textOf(f, 1), "0.375000");
}

} // namespace
