#pragma once
// Test doubles for the time-domain and display filters: a listener that
// records its calls, a surface that records what is drawn and a display host
// whose windows draw on such a surface.

#include "filters/AudioFilter.h"
#include "filters/DisplayClient.h"
#include "filters/DisplayHost.h"
#include "filters/DisplaySurface.h"
#include "filters/FilterListener.h"

#include <memory>
#include <string>
#include <vector>

namespace sonabel::tdtest {

class TestWindow : public DisplayWindow {
public:
    DisplayClient* client = nullptr;
    std::string caption;
    int width = 0;
    int height = 0;
    int raised = 0;
    int redrawRequests = 0;
};

struct ListenerCall {
    std::string kind; // "text" or "value"
    int index;
    bool operator==(const ListenerCall&) const = default;
};

class RecordingListener : public FilterListener {
public:
    void parameterTextChanged(AudioFilter*, int index) override { calls.push_back({"text", index}); }
    void parameterValueChanged(AudioFilter*, int index) override { calls.push_back({"value", index}); }
    DisplayHost* getDisplayHost() override { return host; }
    int count(const std::string& kind, int index) const {
        int n = 0;
        for (const auto& c : calls) n += c.kind == kind && c.index == index;
        return n;
    }
    std::vector<ListenerCall> calls;
    DisplayHost* host = nullptr;
};

struct DrawCall {
    bool fill;
    DisplayColour colour;
    int left, top, right, bottom;    // fills
    std::vector<DisplayPoint> points; // polylines
};

class RecordingSurface : public DisplaySurface {
public:
    void fillRect(int left, int top, int right, int bottom, DisplayColour colour) override {
        calls.push_back({true, colour, left, top, right, bottom, {}});
    }
    void drawPolyline(const DisplayPoint* p, int count, DisplayColour colour) override {
        calls.push_back({false, colour, 0, 0, 0, 0, std::vector<DisplayPoint>(p, p + count)});
    }
    // The last polyline drawn in that colour (empty if none).
    std::vector<DisplayPoint> lastLine(DisplayColour colour) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (!it->fill && it->colour == colour) return it->points;
        return {};
    }
    std::vector<DrawCall> calls;
};

// Windows of a fixed size that paint on one shared recording surface.
class RecordingHost : public DisplayHost {
public:
    DisplayWindow* createWindow(DisplayClient* client, const char* caption) override {
        windows.push_back(std::make_unique<TestWindow>());
        TestWindow* w = windows.back().get();
        w->client = client;
        w->caption = caption;
        w->width = width;
        w->height = height;
        ++created;
        return w;
    }
    void raiseWindow(DisplayWindow* w) override { ++own(w)->raised; }
    void destroyWindow(DisplayWindow* w) override {
        ++destroyed;
        for (auto it = windows.begin(); it != windows.end(); ++it)
            if (it->get() == w) {
                windows.erase(it);
                return;
            }
        ++unknownDestroyed;
    }
    void redrawNow(DisplayWindow* w) override {
        ++synchronousRedraws;
        paint(own(w));
    }
    void requestRedraw(DisplayWindow* w) override { ++own(w)->redrawRequests; }
    // What the window system would do on a paint message.
    void paint(TestWindow* w) { w->client->paintWindow(surface, w->width, w->height); }
    TestWindow* only() { return windows.size() == 1 ? windows.front().get() : nullptr; }
    static TestWindow* own(DisplayWindow* w) { return static_cast<TestWindow*>(w); }

    int width = 512;
    int height = 300;
    int created = 0;
    int destroyed = 0;
    int unknownDestroyed = 0;
    int synchronousRedraws = 0;
    RecordingSurface surface;
    std::vector<std::unique_ptr<TestWindow>> windows;
};

// The value text of a parameter, as the parameter window reads it.
inline std::string textOf(AudioFilter& f, int index) {
    char buffer[200];
    return f.getParameterText(index, buffer, 199);
}

} // namespace sonabel::tdtest
