#include "LogCapture.h"
#include "TimeDomainTestDoubles.h"
#include "core/SampleBuffer.h"
#include "filters/BrushTable.h"
#include "filters/WaveletDisplayFilter.h"
#include "wavelet/WTFilterInfo.h"
#include "wavelet/WaveletCoeffs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using namespace sonabel::tdtest;

namespace {

constexpr DisplayColour unpainted{1, 2, 3};

DisplayColour grey(int g) {
    auto c = static_cast<uint8_t>(g);
    return DisplayColour{c, c, c};
}

// The coefficient drawn as grey g in greyscale, linear, at brightness 1:
// 255 + 255 t lies half way between two brush indexes.
float greyValue(int g) {
    return (static_cast<float>(g) + 0.5f) / 255.0f;
}

// Lays out coefficients as the padding algorithms do for N samples and
// filter length L: levels of (size + L - 1) >> 1 values while N >> level is
// at least 4, then the approximations. value(k, i) gives value i of level k,
// k = the level count for the approximations.
void layOut(WaveletCoeffs& w, int N, int L, const std::function<float(int, int)>& value) {
    w.prepare(N, L);
    float* p = w.getStore();
    int size = N;
    int level = 0;
    for (; (N >> level) >= 4; ++level) {
        size = (size + L - 1) >> 1;
        for (int i = 0; i < size; ++i) p[i] = value(level, i);
        w.addDetails(p, size);
        p += size;
    }
    for (int i = 0; i < size; ++i) p[i] = value(level, i);
    w.setApproximations(p, size);
}

// The coefficients a forward transform would attach, for channel 0.
struct Coeffs {
    WTFilterInfo info{1, nullptr};
    Coeffs(int N, int L, const std::function<float(int, int)>& value) {
        layOut(info.getChannelCoeffs(0), N, L, value);
        info.usedChannels = 1;
    }
};

// What the recorded fills leave on a width x height screen.
struct Raster {
    int width, height;
    std::vector<DisplayColour> pixels;
    Raster(const RecordingSurface& surface, int w, int h)
        : width(w), height(h), pixels(static_cast<size_t>(w * h), unpainted) {
        for (const DrawCall& c : surface.calls) {
            EXPECT_TRUE(c.fill) << "a scalogram draws no lines";
            for (int y = std::max(c.top, 0); y < std::min(c.bottom, h); ++y)
                for (int x = std::max(c.left, 0); x < std::min(c.right, w); ++x)
                    pixels[static_cast<size_t>(y * w + x)] = c.colour;
        }
    }
    DisplayColour at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    // Heights of the runs of equal colour in column x, from the bottom up.
    std::vector<int> runs(int x) const {
        std::vector<int> out;
        for (int y = height - 1; y >= 0; --y) {
            if (y == height - 1 || !(at(x, y) == at(x, y + 1)))
                out.push_back(1);
            else
                ++out.back();
        }
        return out;
    }
};

// A filter with a window of the host's size on a recording host, drawing in
// greyscale with linear values unless told otherwise.
struct Bench {
    RecordingHost host;
    RecordingListener listener;
    WaveletDisplayFilter filter;
    int counter = 0;

    explicit Bench(int width = 64, int height = 100, bool synchronous = true) {
        host.width = width;
        host.height = height;
        listener.host = &host;
        filter.listener = &listener;
        filter.setParameter(0, 1);
        if (synchronous) filter.setParameter(8, 1);
        filter.setParameter(2, 0);
        filter.setParameter(3, 0);
    }
    void chunk(WTFilterInfo* info) {
        SampleBuffer b(1, 16);
        b.attachedCoeffs = info;
        b.chunkCounter = counter++;
        filter.process(b);
    }
    Raster picture() const { return Raster(host.surface, host.width, host.height); }
};

TEST(WaveletDisplayFilterTest, ParameterTableAndTexts) {
    WaveletDisplayFilter f;
    EXPECT_STREQ(f.getName(), "Wavelet Display");
    EXPECT_STREQ(f.getDescription(),
                 "Displays the wavelet coefficients graphically. Put this after a forward Wavelet Transform filter.");
    ASSERT_EQ(f.getParameterCount(), 9);
    struct Info {
        const char* name;
        int max;
        ParameterType type;
        int initial;
        const char* text;
    };
    const Info infos[] = {
        {"Show window", 1, PARAM_CHECKBOX, 0, "off"},
        {"Show paddings", 1, PARAM_CHECKBOX, 0, "no"},
        {"Display energy (squared coefficients)", 1, PARAM_CHECKBOX, 1, "squared"},
        {"Color mode", 6, PARAM_CHOICE, 5, "Blue -> red -> yellow"},
        {"Brightness (color scale)", 50, PARAM_SLIDER, 10, "1.0"},
        {"Vertical scale", 100, PARAM_SLIDER, 50, "1.5"},
        {"Number of chunks to display", 9, PARAM_SLIDER, 0, "1"},
        {"Refresh every x-th chunk(s)", 50, PARAM_SLIDER, 0, "1"},
        {"Synchronous Display", 1, PARAM_CHECKBOX, 0, "no"},
    };
    for (int i = 0; i < 9; ++i) {
        EXPECT_STREQ(f.getParameterInfo(i)->name, infos[i].name);
        EXPECT_EQ(f.getParameterInfo(i)->min, 0);
        EXPECT_EQ(f.getParameterInfo(i)->max, infos[i].max);
        EXPECT_EQ(f.getParameterInfo(i)->type, infos[i].type);
        EXPECT_EQ(f.getParameter(i), infos[i].initial) << i;
        EXPECT_EQ(textOf(f, i), infos[i].text) << i;
    }

    struct Row {
        int index, value;
        const char* text;
        int stored;
    };
    const Row rows[] = {
        {1, 1, "yes", 1},        {1, 0, "no", 0},         {2, 0, "linear", 0},     {2, 1, "squared", 1},
        {3, 0, "Greyscale", 0},  {3, 1, "Blue", 1},       {3, 4, "Red and yellow", 4},
        {3, 99, "Blue: positive Red: negative", 6},       {4, 0, "0.0", 0},        {4, 25, "2.5", 25},
        {4, 60, "5.0", 50},      {5, 0, "1.0", 0},        {5, 37, "1.4", 37},      {5, 100, "2.0", 100},
        {5, -3, "1.0", 0},       {6, 3, "4", 3},          {6, 12, "10", 9},        {7, 5, "15", 5},
        {6, 0, "1", 0},          {7, 50, "51", 50},       {8, 1, "yes", 1},        {8, 0, "no", 0},
        {0, 1, "off", 0}, // no listener: no window
    };
    for (const Row& r : rows) {
        f.setParameter(r.index, r.value);
        EXPECT_EQ(textOf(f, r.index), r.text) << r.index << " = " << r.value;
        EXPECT_EQ(f.getParameter(r.index), r.stored) << r.index << " = " << r.value;
    }

    LogCapture log;
    EXPECT_EQ(f.getParameterInfo(9), nullptr);
    EXPECT_TRUE(log.hasError("WaveletDisplayFilter::getParameterInfo(9): out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(-1), nullptr);
    EXPECT_TRUE(log.hasError("WaveletDisplayFilter::getParameterInfo(-1): out of range.", 2));
    f.setParameter(9, 1);
    EXPECT_TRUE(log.hasError("WaveletDisplayFilter::setParameter(9, 1): number out of range.", 2));
    char buffer[8] = "x";
    EXPECT_STREQ(f.getParameterText(9, buffer, 7), "");
}

TEST(WaveletDisplayFilterTest, ParameterChangesNotifyAndRedraw) {
    Bench bench;
    TestWindow* w = bench.host.only();
    ASSERT_NE(w, nullptr);
    struct Row {
        int index, value;
        bool redraws;
        std::vector<ListenerCall> calls;
    };
    const Row rows[] = {
        {1, 1, true, {{"text", 1}}},
        {2, 1, true, {{"text", 2}}},
        {3, 2, true, {{"text", 3}}},
        {4, 7, true, {{"text", 4}}},
        {5, 20, true, {{"text", 5}}},
        {6, 4, true, {{"value", 7}, {"text", 7}, {"text", 6}}}, // the refresh text counts the chunks
        {7, 3, false, {{"text", 7}}},
        {8, 0, false, {{"text", 8}}},
    };
    for (const Row& r : rows) {
        bench.listener.calls.clear();
        int requests = w->redrawRequests;
        bench.filter.setParameter(r.index, r.value);
        EXPECT_EQ(bench.listener.calls, r.calls) << r.index;
        EXPECT_EQ(w->redrawRequests, requests + (r.redraws ? 1 : 0)) << r.index;
    }
    EXPECT_EQ(bench.host.synchronousRedraws, 0); // the interface thread never paints at once

    // A resize asks for a paint only while no chunks come to draw anyway.
    int requests = w->redrawRequests;
    bench.filter.windowResized(100, 100);
    EXPECT_EQ(w->redrawRequests, requests);
    bench.filter.setActive(false);
    bench.filter.windowResized(100, 100);
    EXPECT_EQ(w->redrawRequests, requests + 1);
}

TEST(WaveletDisplayFilterTest, WindowComesFromTheHost) {
    RecordingHost host;
    RecordingListener listener; // at first an interface without display windows
    {
        WaveletDisplayFilter f;
        f.setParameter(0, 1); // no listener at all, as in the renderer
        EXPECT_EQ(textOf(f, 0), "off");
        f.listener = &listener;
        f.setParameter(0, 1);
        EXPECT_EQ(f.getParameter(0), 0);
        EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"text", 0}}));
        SampleBuffer b(1, 16);
        f.process(b); // draws nowhere

        listener.host = &host;
        f.setParameter(0, 1);
        ASSERT_NE(host.only(), nullptr);
        EXPECT_EQ(host.only()->caption, "Wavelet Display");
        EXPECT_EQ(textOf(f, 0), "on");
        f.setParameter(0, 1); // already there: brought to the top
        EXPECT_EQ(host.created, 1);
        EXPECT_EQ(host.only()->raised, 1);

        // The close box turns "Show window" off in the parameter window.
        listener.calls.clear();
        host.only()->client->windowCloseRequested();
        EXPECT_TRUE(host.windows.empty());
        EXPECT_EQ(f.getParameter(0), 0);
        EXPECT_EQ(listener.calls, (std::vector<ListenerCall>{{"value", 0}, {"text", 0}}));
        f.process(b);
        EXPECT_EQ(host.synchronousRedraws, 0);

        f.setParameter(0, 1);
        EXPECT_EQ(host.windows.size(), 1u);
    }
    // Destroying the filter closes its window.
    EXPECT_TRUE(host.windows.empty());
    EXPECT_EQ(host.destroyed, 2);
    EXPECT_EQ(host.unknownDestroyed, 0);
}

TEST(WaveletDisplayFilterTest, BandHeights) {
    // 16 samples give 3 detail levels. Each level has its own grey, so the
    // bands show as runs in any column, from the bottom up: approximations,
    // level 3, level 2, level 1.
    struct Row {
        int N, height, verticalStep;
        std::vector<int> runs;
    };
    const Row rows[] = {
        {16, 300, 50, {53, 52, 78, 117}},  // v 1.5: S = 5.75, u = 52.17
        {16, 300, 0, {75, 75, 75, 75}},    // v 1: S = 4
        {16, 300, 100, {38, 37, 75, 150}}, // v 2: S = 8, u = 37.5
        {4, 101, 50, {51, 50}},            // one level: S = 2
        {16, 3, 0, {1, 1, 1}},             // too low for every band: no band is left unpainted
    };
    for (const Row& r : rows) {
        Bench bench(8, r.height);
        bench.filter.setParameter(5, r.verticalStep);
        Coeffs coeffs(r.N, 2, [](int k, int) { return greyValue(40 + 50 * k); });
        bench.chunk(&coeffs.info);
        Raster picture = bench.picture();
        for (int x : {0, 7}) EXPECT_EQ(picture.runs(x), r.runs) << "N " << r.N << " height " << r.height;
        EXPECT_FALSE(picture.at(0, 0) == unpainted);
    }
}

TEST(WaveletDisplayFilterTest, ScalogramCells) {
    // 16 samples with a 2-tap filter: levels of 8, 4 and 2 values and 2
    // approximations, every value its own grey, 25 pixels per band.
    Bench bench(64, 100);
    bench.filter.setParameter(5, 0);
    auto shade = [](int k, int i) { return 20 + 40 * k + 4 * i; };
    Coeffs coeffs(16, 2, [&](int k, int i) { return greyValue(shade(k, i)); });
    bench.chunk(&coeffs.info); // the very first chunk is shown at once
    Raster picture = bench.picture();
    const int counts[] = {8, 4, 2, 2};
    for (int y = 0; y < 100; ++y) {
        int k = y / 25; // the finest level at the top
        int cell = 64 / counts[k];
        for (int x = 0; x < 64; ++x) ASSERT_EQ(picture.at(x, y), grey(shade(k, x / cell))) << x << ", " << y;
    }

    // Narrower than the cells: those under a pixel are skipped and the next
    // drawn cell starts where the last one ended (8 values in 5 pixels show
    // values 1, 3, 4, 6 and 7; 4 values show 0, 1, 2, 3, the last twice).
    Bench narrow(5, 100);
    narrow.filter.setParameter(5, 0);
    narrow.chunk(&coeffs.info);
    Raster small = narrow.picture();
    const int finest[] = {1, 3, 4, 6, 7};
    const int second[] = {0, 1, 2, 3, 3};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(small.at(x, 0), grey(shade(0, finest[x]))) << x;
        EXPECT_EQ(small.at(x, 30), grey(shade(1, second[x]))) << x;
    }
}

TEST(WaveletDisplayFilterTest, PaddingsOrTheCore) {
    // A 4-tap filter over 16 samples: levels of 9, 6 and 4 values and 4
    // approximations, whose cores are 8 from 0, 4 from 1, 2 from 1 and 2
    // from 1. 72 pixels divide by every count.
    auto shade = [](int k, int i) { return 20 + 40 * k + 4 * i; };
    Coeffs coeffs(16, 4, [&](int k, int i) { return greyValue(shade(k, i)); });
    struct Row {
        bool paddings;
        int counts[4], offsets[4];
    };
    const Row rows[] = {
        {false, {8, 4, 2, 2}, {0, 1, 1, 1}},
        {true, {9, 6, 4, 4}, {0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        Bench bench(72, 100);
        bench.filter.setParameter(5, 0);
        bench.filter.setParameter(1, r.paddings ? 1 : 0);
        bench.chunk(&coeffs.info);
        Raster picture = bench.picture();
        for (int k = 0; k < 4; ++k) {
            int cell = 72 / r.counts[k];
            for (int x = 0; x < 72; ++x)
                ASSERT_EQ(picture.at(x, 25 * k + 12), grey(shade(k, r.offsets[k] + x / cell)))
                    << "level " << k << " x " << x << (r.paddings ? " with paddings" : "");
        }
    }
}

TEST(WaveletDisplayFilterTest, ValueToBrush) {
    // One cell per value, read in the mode that tells the sign.
    struct Row {
        float t;
        bool energy;
        int brightnessStep;
        int index;
    };
    const Row rows[] = {
        {0.0f, false, 10, 255}, {0.5f, false, 10, 382}, {-0.5f, false, 10, 127}, {0.5f, true, 10, 318},
        {-0.5f, true, 10, 318}, {0.5f, false, 20, 510}, {3.0f, false, 10, 510},  {-3.0f, false, 10, 0},
        {0.1f, false, 0, 255},  {-1.5f, true, 1, 312},  {NAN, false, 10, 0},
    };
    for (const Row& r : rows) {
        Bench bench(4, 10);
        bench.filter.setParameter(3, 6);
        bench.filter.setParameter(2, r.energy ? 1 : 0);
        bench.filter.setParameter(4, r.brightnessStep);
        Coeffs coeffs(4, 2, [&](int, int) { return r.t; });
        bench.chunk(&coeffs.info);
        EXPECT_EQ(bench.picture().at(0, 0), BrushTable::forMode(6)[r.index])
            << r.t << (r.energy ? " squared" : " linear") << " at " << r.brightnessStep;
    }
    // In greyscale a value at full brightness is white, a zero black.
    Bench bench(4, 10);
    Coeffs coeffs(4, 2, [](int, int i) { return i == 0 ? 1.0f : 0.0f; });
    bench.chunk(&coeffs.info);
    EXPECT_EQ(bench.picture().at(0, 0), grey(255));
    EXPECT_EQ(bench.picture().at(3, 0), grey(0));
}

TEST(WaveletDisplayFilterTest, ColumnsShowTheLastCopiesOldestFirst) {
    Bench bench(90, 40);
    bench.filter.setParameter(6, 2); // three chunks, drawn after every third
    std::vector<std::unique_ptr<Coeffs>> chunks;
    for (int c = 0; c < 6; ++c) chunks.push_back(std::make_unique<Coeffs>(16, 2, [c](int, int) {
        return greyValue(30 + 30 * c);
    }));
    for (auto& c : chunks) bench.chunk(&c->info);
    Raster picture = bench.picture();
    for (int x = 0; x < 90; ++x) ASSERT_EQ(picture.at(x, 20), grey(120 + 30 * (x / 30))) << x;

    // A chunk without coefficients (no forward transform before the display)
    // and one of another chunk size (another level count than the newest)
    // are shown as zero, brush 255.
    Bench mixed(90, 40);
    mixed.filter.setParameter(3, 5);
    mixed.filter.setParameter(6, 2);
    Coeffs longer(32, 2, [](int, int) { return 0.9f; });
    mixed.chunk(&longer.info);
    mixed.chunk(nullptr);
    mixed.chunk(&chunks[0]->info);
    Raster shown = mixed.picture();
    const DisplayColour zero = BrushTable::forMode(5)[255];
    EXPECT_EQ(shown.at(10, 20), zero);
    EXPECT_EQ(shown.at(40, 20), zero);
    EXPECT_FALSE(shown.at(70, 20) == zero);

    // Fewer pixels than columns: the columns that fall between two pixels
    // are left out, the newest is drawn, and no pixel is left unpainted.
    Bench tiny(3, 40);
    tiny.filter.setParameter(6, 9);
    for (int c = 0; c < 9; ++c) tiny.chunk(nullptr);
    tiny.chunk(&chunks[0]->info);
    Raster few = tiny.picture();
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 40; ++y) ASSERT_FALSE(few.at(x, y) == unpainted) << x << ", " << y;
    EXPECT_EQ(few.at(0, 20), grey(0));
    EXPECT_EQ(few.at(2, 20), grey(30));
}

TEST(WaveletDisplayFilterTest, DrawsPrivateCopies) {
    Bench bench(16, 40, false);
    Coeffs coeffs(16, 2, [](int, int) { return greyValue(200); });
    SampleBuffer b(1, 16);
    for (int i = 0; i < 16; ++i) b.getBuffer(0)[i] = 0.25f * static_cast<float>(i);
    b.attachedCoeffs = &coeffs.info;
    bench.filter.process(b);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(b.getBuffer(0)[i], 0.25f * static_cast<float>(i));
    EXPECT_EQ(b.attachedCoeffs, &coeffs.info);
    int count;
    const float* values = coeffs.info.getCoeffs(0).getDetails(0, count);
    for (int i = 0; i < count; ++i) ASSERT_EQ(values[i], greyValue(200));

    // The live coefficients change before the window gets to paint.
    layOut(coeffs.info.getChannelCoeffs(0), 16, 2, [](int, int) { return 0.0f; });
    bench.host.paint(bench.host.only());
    EXPECT_EQ(bench.picture().at(8, 20), grey(200));
}

TEST(WaveletDisplayFilterTest, CaptureAndRedrawSchedule) {
    struct Row {
        int chunksStep;   // parameter 6
        int refresh;      // parameter 7
        bool synchronous; // parameter 8
        int count;
        std::vector<int> drawnAt; // counters of the chunks after which it redraws
        int captured;
    };
    const Row rows[] = {
        {0, 0, true, 4, {0, 1, 2, 3}, 4},       // P = 1: every chunk, alone
        {3, 6, true, 25, {9, 19}, 25},          // P = 10: every chunk captured (b >= -1)
        {0, 20, true, 42, {20, 41}, 22},        // P = 21: only b >= 10 captured
        {9, 50, true, 120, {59, 119}, 22},      // P = 60: b >= 49
        {1, 1, false, 7, {2, 5}, 7},            // asynchronous: repaint requests instead
    };
    for (const Row& r : rows) {
        Bench bench(32, 32, r.synchronous);
        bench.filter.setParameter(6, r.chunksStep);
        bench.filter.setParameter(7, r.refresh);
        Coeffs coeffs(16, 2, [](int, int) { return 0.3f; });
        std::vector<int> drawnAt;
        int captured = 0;
        for (int i = 0; i < r.count; ++i) {
            int before = bench.host.synchronousRedraws + bench.host.only()->redrawRequests;
            int ring = bench.filter.getRingIndex();
            bench.chunk(&coeffs.info);
            captured += bench.filter.getRingIndex() != ring;
            if (bench.host.synchronousRedraws + bench.host.only()->redrawRequests != before) drawnAt.push_back(i);
        }
        EXPECT_EQ(drawnAt, r.drawnAt) << "chunks step " << r.chunksStep << " refresh " << r.refresh;
        EXPECT_EQ(captured, r.captured) << "chunks step " << r.chunksStep << " refresh " << r.refresh;
        if (!r.synchronous) {
            EXPECT_EQ(bench.host.synchronousRedraws, 0);
        }
    }

    // Chunks 4 and refresh 6: the redraw on every 10th chunk shows the last 4.
    Bench bench(40, 20);
    bench.filter.setParameter(6, 3);
    bench.filter.setParameter(7, 6);
    std::vector<std::unique_ptr<Coeffs>> chunks;
    for (int c = 0; c < 10; ++c)
        chunks.push_back(std::make_unique<Coeffs>(16, 2, [c](int, int) { return greyValue(10 * c + 5); }));
    for (auto& c : chunks) bench.chunk(&c->info);
    Raster picture = bench.picture();
    for (int x = 0; x < 40; ++x) ASSERT_EQ(picture.at(x, 10), grey(10 * (6 + x / 10) + 5)) << x;
}

TEST(WaveletDisplayFilterTest, PaintingOnAnotherThreadWhileCopiesGrow) {
    // The interface thread paints while the audio thread captures chunks
    // whose growing size makes the copies reallocate their stores, and
    // changes the colour mode meanwhile.
    Bench bench(200, 100, false);
    bench.filter.setParameter(6, 9);
    std::atomic<bool> stop{false};
    std::thread painter([&] {
        RecordingSurface surface;
        int mode = 0;
        while (!stop) {
            bench.filter.paintWindow(surface, 200, 100);
            surface.calls.clear();
            bench.filter.setParameter(3, mode++ % 7);
        }
    });
    WTFilterInfo info(1, nullptr);
    info.usedChannels = 1;
    for (int i = 0; i < 300; ++i) {
        layOut(info.getChannelCoeffs(0), 16 + 8 * i, 4, [](int k, int j) { return 0.01f * static_cast<float>(k + j); });
        bench.chunk(&info);
    }
    stop = true;
    painter.join();
    SUCCEED();
}

} // namespace
