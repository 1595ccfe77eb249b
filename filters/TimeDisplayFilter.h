#pragma once
// Draws the waveform of channel 0 of the last chunks as a white line on
// black, linear or in decibels, in a window that a DisplayHost makes. The
// samples are never changed.
//
// Capture and drawing: process copies chunks into a ring of 20 single-channel
// buffers (for chunkCounter c, b = c mod (refresh + 1): chunks with
// b >= refresh - 10 are copied, and at b = refresh the last `chunks` copies
// are drawn). Drawing happens on the audio thread (synchronous display,
// through DisplayHost::redrawNow) or on the interface thread (paint after
// requestRedraw).
//
// Locks: `lock` guards the parameters, the window handle and the ring index;
// `drawLock` guards the ring's contents and the drawing state. The order is
// lock, then drawLock; drawing takes drawLock only. The audio thread may thus
// wait for one drawing pass to end, never for anything else the interface
// thread does.

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"
#include "filters/DisplayClient.h"
#include "filters/DisplaySurface.h"
#include "filters/DisplayWindowSlot.h"

#include <vector>

namespace sonabel {

class DisplayHost;
class DisplayWindow;
class Lock;
class SampleBuffer;

class TimeDisplayFilter : public AudioFilter, public DisplayClient {
public:
    static constexpr int ringSize = 20;

    TimeDisplayFilter();
    ~TimeDisplayFilter() override;

    const char* getName() override { return "Time domain Display"; }
    const char* getDescription() override { return "Displays the time domain representation."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 6; }
    const ParameterInfo* getParameterInfo(int32_t index) override;
    void setParameter(int32_t index, int32_t value) override;
    int32_t getParameter(int32_t index) override;
    char* getParameterText(int32_t index, char* buffer, int32_t capacity) override;

    void paintWindow(DisplaySurface& surface, int width, int height) override;
    void windowResized(int width, int height) override;
    void windowCloseRequested() override;

    // Ring slot last written.
    int getRingIndex();

private:
    // Draws into the surface; the caller holds drawLock.
    void draw(DisplaySurface& surface, int width, int height);
    void showWindow(bool on);
    // Nothing without a window. The caller holds lock.
    void redraw(bool synchronous);

    DisplayWindowSlot windowSlot;
    SampleBuffer* ring[ringSize];
    int ringIndex = 0;
    int startSlot = 0;
    bool logarithmic = false;
    int verticalStep = 100;
    float verticalFactor = 1.0f;
    int chunks = 1;
    int refresh = 0;
    bool synchronous = false;
    std::vector<DisplayPoint> points; // the line last drawn
    int drawnCount = 0;               // its points; 0 means clear the background first
    AudioFormat format;
    Lock* lock;
    Lock* drawLock;
};

} // namespace sonabel
