#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/TimeDisplayFilter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

constexpr DisplayColour black{0, 0, 0};
constexpr DisplayColour white{255, 255, 255};

// A filter with a window of the host's size on a recording host.
struct Bench {
    RecordingHost host;
    RecordingListener listener;
    TimeDisplayFilter filter;
    int counter = 0;

    explicit Bench(int width = 512, int height = 300, bool synchronous = true) {
        host.width = width;
        host.height = height;
        listener.host = &host;
        filter.listener = &listener;
        filter.setParameter(0, 1);
        if (synchronous) filter.setParameter(5, 1);
    }
    // One chunk through the filter, as the synchronizer numbers them.
    void chunk(const std::vector<float>& samples) {
        SampleBuffer b(2, static_cast<int>(samples.size()));
        for (size_t i = 0; i < samples.size(); ++i) {
            b.getBuffer(0)[i] = samples[i];
            b.getBuffer(1)[i] = -1.0f; // channel 1 is never shown
        }
        b.chunkCounter = counter++;
        filter.process(b);
    }
    std::vector<DisplayPoint> line() const { return host.surface.lastLine(white); }
};

int lineY(double mean, int height, double factor = 1.0) {
    int half = height >> 1;
    return static_cast<int>(half + (-mean * factor) * half);
}

TEST(TimeDisplayFilterTest, ParameterTableAndTexts) {
    TimeDisplayFilter f;
    EXPECT_STREQ(f.getName(), "Time domain Display");
    EXPECT_STREQ(f.getDescription(), "Displays the time domain representation.");
    ASSERT_EQ(f.getParameterCount(), 6);
    struct Info {
        const char* name;
        int max;
        ParameterType type;
    };
    const Info infos[] = {
        {"Show window", 1, PARAM_CHECKBOX},
        {"Logarithmic vertical values (dB scale)", 1, PARAM_CHECKBOX},
        {"Vertical scale", 200, PARAM_SLIDER},
        {"Number of chunks to display", 9, PARAM_SLIDER},
        {"Refresh every x-th chunk(s)", 50, PARAM_SLIDER},
        {"Synchronous Display", 1, PARAM_CHECKBOX},
    };
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(f.getParameterInfo(i)->name, infos[i].name);
        EXPECT_EQ(f.getParameterInfo(i)->max, infos[i].max);
        EXPECT_EQ(f.getParameterInfo(i)->type, infos[i].type);
    }

    struct Row {
        int index, value;
        const char* text;
        int stored;
    };
    const Row rows[] = {
        {1, 0, "linear", 0},   {1, 1, "logarithmic", 1}, {2, 100, "1.0", 100}, {2, 150, "1.5", 150},
        {2, 999, "2.0", 200},  {2, 0, "0.0", 0},         {3, 0, "1", 0},       {3, 9, "10", 9},
        {3, 12, "10", 9},      {4, 0, "1", 0},           {4, 4, "5", 4},       {4, 50, "51", 50},
        {5, 0, "no", 0},       {5, 1, "yes", 1},         {0, 1, "off", 0}, // no listener: no window
    };
    for (const Row& r : rows) {
        f.setParameter(r.index, r.value);
        EXPECT_EQ(textOf(f, r.index), r.text) << r.index << " = " << r.value;
        EXPECT_EQ(f.getParameter(r.index), r.stored) << r.index << " = " << r.value;
    }

    LogCapture log;
    EXPECT_EQ(f.getParameterInfo(6), nullptr);
    EXPECT_TRUE(log.hasError("TimeDisplayFilter::getParameterInfo(6): out of range.", 2));
    f.setParameter(6, 1);
    EXPECT_TRUE(log.hasError("TimeDisplayFilter::setParameter(6, 1): number out of range.", 2));
}

TEST(TimeDisplayFilterTest, ShowWindowNeedsAHost) {
    TimeDisplayFilter f;
    RecordingListener listener; // an interface without display windows
    f.listener = &listener;
    f.setParameter(0, 1);
    EXPECT_EQ(f.getParameter(0), 0);
    EXPECT_EQ(textOf(f, 0), "off");
    EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 0}}));

    RecordingHost host;
    listener.host = &host;
    f.setParameter(0, 1);
    ASSERT_NE(host.only(), nullptr);
    EXPECT_EQ(host.only()->caption, "Time domain display");
    EXPECT_EQ(f.getParameter(0), 1);
    EXPECT_EQ(textOf(f, 0), "on");
    f.setParameter(0, 1); // already there: brought to the top
    EXPECT_EQ(host.created, 1);
    EXPECT_EQ(host.only()->raised, 1);
    f.setParameter(0, 0);
    EXPECT_EQ(host.destroyed, 1);
    EXPECT_TRUE(host.windows.empty());
    EXPECT_EQ(textOf(f, 0), "off");

    // Frames keep flowing with the window gone.
    SampleBuffer b(1, 16);
    f.process(b);
    EXPECT_EQ(host.synchronousRedraws, 0);
    EXPECT_EQ(host.unknownDestroyed, 0);
}

TEST(TimeDisplayFilterTest, CloseBoxTurnsShowWindowOff) {
    Bench bench;
    bench.listener.calls.clear();
    TestWindow* w = bench.host.only();
    ASSERT_NE(w, nullptr);
    w->client->windowCloseRequested();
    EXPECT_TRUE(bench.host.windows.empty());
    EXPECT_EQ(bench.filter.getParameter(0), 0);
    EXPECT_EQ(bench.listener.calls, (std::vector<ListenerCall>{{"value", 0}, {"text", 0}}));
}

TEST(TimeDisplayFilterTest, DestroyingTheFilterClosesItsWindow) {
    RecordingHost host;
    RecordingListener listener;
    listener.host = &host;
    {
        TimeDisplayFilter f;
        f.listener = &listener;
        f.setParameter(0, 1);
        EXPECT_EQ(host.windows.size(), 1u);
    }
    EXPECT_TRUE(host.windows.empty());
    EXPECT_EQ(host.unknownDestroyed, 0);
}

TEST(TimeDisplayFilterTest, ChunkOf1024In512PixelsGives512MeansOfTwo) {
    Bench bench(512, 300);
    std::vector<float> ramp(1024);
    for (int i = 0; i < 1024; ++i) ramp[static_cast<size_t>(i)] = static_cast<float>(std::sin(i * 0.01)) * 0.8f;
    bench.chunk(ramp);
    const auto& calls = bench.host.surface.calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].fill); // a new window starts black
    EXPECT_EQ(calls[0].colour, black);
    EXPECT_EQ((std::vector<int>{calls[0].left, calls[0].top, calls[0].right, calls[0].bottom}),
              (std::vector<int>{0, 0, 512, 300}));
    std::vector<DisplayPoint> line = bench.line();
    ASSERT_EQ(line.size(), 512u);
    for (int k = 0; k < 512; ++k) {
        double mean = (static_cast<double>(ramp[2 * k]) + ramp[2 * k + 1]) / 2.0;
        ASSERT_EQ(line[static_cast<size_t>(k)], (DisplayPoint{k, lineY(mean, 300)})) << k;
    }
}

TEST(TimeDisplayFilterTest, SilentLogarithmicLineSitsAThirdOfTheHalfHeightUp) {
    for (int height : {300, 301, 90}) {
        Bench bench(200, height);
        bench.filter.setParameter(1, 1);
        bench.chunk(std::vector<float>(400, 0.0f));
        std::vector<DisplayPoint> line = bench.line();
        ASSERT_EQ(line.size(), 200u);
        int half = height >> 1;
        for (const DisplayPoint& p : line) ASSERT_EQ(p.y, half - half / 3) << "height " << height;
    }
}

TEST(TimeDisplayFilterTest, LogarithmicScaleMapsDecibelsToHeight) {
    // -120 dB and below on the middle line, 0 dB at the top (positive) or
    // bottom (negative), -60 dB halfway; the factor stretches it.
    struct Row {
        float value;
        int step;
        int y;
    };
    const Row rows[] = {
        {1.0f, 100, 0},      {-1.0f, 100, 200},  {0.001f, 100, 50}, {-0.001f, 100, 150},
        {1e-7f, 100, 100},   {0.001f, 200, 0},   {0.001f, 50, 75},
    };
    for (const Row& r : rows) {
        Bench bench(10, 200);
        bench.filter.setParameter(1, 1);
        bench.filter.setParameter(2, r.step);
        bench.chunk(std::vector<float>(10, r.value));
        std::vector<DisplayPoint> line = bench.line();
        ASSERT_EQ(line.size(), 10u);
        EXPECT_NEAR(line[5].y, r.y, 1) << r.value << " at step " << r.step;
    }
}

TEST(TimeDisplayFilterTest, ColumnsShowTheLastChunksOldestFirst) {
    Bench bench(300, 200);
    bench.filter.setParameter(3, 2); // three chunks
    for (float v : {0.1f, 0.2f, 0.3f, 0.4f}) bench.chunk(std::vector<float>(100, v));
    std::vector<DisplayPoint> line = bench.line();
    ASSERT_EQ(line.size(), 300u);
    const float shown[] = {0.2f, 0.3f, 0.4f};
    for (int x = 0; x < 300; ++x)
        ASSERT_EQ(line[static_cast<size_t>(x)], (DisplayPoint{x, lineY(shown[x / 100], 200)})) << x;

    // Fewer samples than pixels: one point per sample, spread over the column.
    Bench sparse(300, 200);
    sparse.filter.setParameter(3, 1);
    sparse.chunk(std::vector<float>(4, 0.5f));
    sparse.chunk(std::vector<float>(3, -0.5f));
    std::vector<DisplayPoint> points = sparse.line();
    std::vector<int> xs;
    for (const DisplayPoint& p : points) xs.push_back(p.x);
    EXPECT_EQ(xs, (std::vector<int>{0, 37, 75, 112, 150, 200, 250}));
}

TEST(TimeDisplayFilterTest, EachDrawingErasesTheLineBefore) {
    Bench bench(64, 100);
    bench.chunk(std::vector<float>(64, 0.5f));
    std::vector<DisplayPoint> first = bench.line();
    bench.host.surface.calls.clear();
    bench.chunk(std::vector<float>(64, -0.5f));
    const auto& calls = bench.host.surface.calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].fill);
    EXPECT_EQ(calls[0].colour, black);
    EXPECT_EQ(calls[0].points, first);
    EXPECT_EQ(calls[1].colour, white);

    // A resize, and any change of how the line is drawn, start from black.
    bench.host.surface.calls.clear();
    bench.filter.windowResized(64, 100);
    bench.chunk(std::vector<float>(64, 0.0f));
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls[0].fill);
    bench.host.surface.calls.clear();
    int requests = bench.host.only()->redrawRequests;
    bench.filter.setParameter(2, 50);
    EXPECT_EQ(bench.host.only()->redrawRequests, requests + 1);
    bench.host.paint(bench.host.only());
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls[0].fill);
}

TEST(TimeDisplayFilterTest, ResizeWhileStoppedAsksForAPaint) {
    Bench bench;
    int requests = bench.host.only()->redrawRequests;
    bench.filter.windowResized(100, 100);
    EXPECT_EQ(bench.host.only()->redrawRequests, requests); // running: the next chunk draws
    bench.filter.setActive(false);
    bench.filter.windowResized(100, 100);
    EXPECT_EQ(bench.host.only()->redrawRequests, requests + 1);
}

TEST(TimeDisplayFilterTest, EmptyWindowDrawsNoLine) {
    Bench bench(0, 100);
    bench.chunk(std::vector<float>(32, 0.5f));
    bench.chunk(std::vector<float>(32, 0.5f));
    for (const DrawCall& c : bench.host.surface.calls) EXPECT_TRUE(c.fill);
}

TEST(TimeDisplayFilterTest, CaptureAndRedrawSchedule) {
    struct Row {
        int refresh;      // parameter 4
        bool synchronous; // parameter 5
        int chunks;
        std::vector<int> drawnAt;  // counters of the chunks after which it redraws
        int captured;
    };
    const Row rows[] = {
        {0, true, 5, {0, 1, 2, 3, 4}, 5},
        {4, true, 15, {4, 9, 14}, 15},  // b >= -6: every chunk is captured
        {20, true, 42, {20, 41}, 22},   // only b >= 10 is captured
        {4, false, 10, {4, 9}, 10},     // asynchronous: repaint requests instead
    };
    for (const Row& r : rows) {
        Bench bench(64, 64, r.synchronous);
        bench.filter.setParameter(4, r.refresh);
        std::vector<int> drawnAt;
        int captured = 0;
        for (int i = 0; i < r.chunks; ++i) {
            int before = bench.host.synchronousRedraws + bench.host.only()->redrawRequests;
            int ring = bench.filter.getRingIndex();
            bench.chunk(std::vector<float>(64, 0.1f));
            captured += bench.filter.getRingIndex() != ring;
            if (bench.host.synchronousRedraws + bench.host.only()->redrawRequests != before) drawnAt.push_back(i);
        }
        EXPECT_EQ(drawnAt, r.drawnAt) << "refresh " << r.refresh;
        EXPECT_EQ(captured, r.captured) << "refresh " << r.refresh;
        if (!r.synchronous) {
            EXPECT_EQ(bench.host.synchronousRedraws, 0);
        }
    }
}

} // namespace

namespace {

TEST(TimeDisplayFilterTest, PaintingOnAnotherThreadWhileChunksChangeSize) {
    // The interface thread paints while the audio thread captures chunks
    // whose growing size makes the ring reallocate its copies.
    Bench bench(200, 100, false);
    bench.filter.setParameter(3, 9);
    std::atomic<bool> stop{false};
    std::thread painter([&] {
        RecordingSurface surface;
        while (!stop) {
            bench.filter.paintWindow(surface, 200, 100);
            surface.calls.clear();
        }
    });
    for (int i = 0; i < 400; ++i) bench.chunk(std::vector<float>(static_cast<size_t>(16 + 4 * i), 0.25f));
    stop = true;
    painter.join();
    SUCCEED();
}

} // namespace
