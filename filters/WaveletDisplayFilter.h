#pragma once
// "Wavelet Display": shows the wavelet coefficients of channel 0 as a
// time-scale picture in a window that a DisplayHost makes: one column per
// displayed chunk, one band per level (the approximations at the bottom, the
// finest details at the top), one coloured cell per coefficient. Put it after
// a forward transform; it never changes samples or coefficients.
//
// Capture and drawing: for chunkCounter c, P = refresh + chunks and
// b = c mod P. Chunks with b >= P - 11 are copied into a ring of 20 private
// WaveletCoeffs (an empty copy when no coefficients are attached), and at
// b = P - 1 the last `chunks` copies are drawn: on the audio thread
// (synchronous display, through DisplayHost::redrawNow) or on the interface
// thread (paint after requestRedraw).
//
// Locks: `lock` guards the parameters, the window handle and the ring index;
// `drawLock` guards the ring's contents and everything drawing reads. The
// order is lock, then drawLock; drawing takes drawLock only. A chunk is
// copied into a spare outside drawLock and swapped into the ring under it,
// so a paint never sees a half-written or reallocated copy, and the audio
// thread holds drawLock only for the swap (it may wait for one drawing pass
// to end, never for anything else the interface thread does).

#include "core/AudioFormat.h"
#include "filters/AudioFilter.h"
#include "filters/DisplayClient.h"
#include "filters/DisplayWindowSlot.h"

namespace sonabel {

class BrushTable;
class DisplayHost;
class DisplaySurface;
class DisplayWindow;
class Lock;
class WaveletCoeffs;

class WaveletDisplayFilter : public AudioFilter, public DisplayClient {
public:
    static constexpr int ringSize = 20;

    WaveletDisplayFilter();
    ~WaveletDisplayFilter() override;

    const char* getName() override { return "Wavelet Display"; }
    const char* getDescription() override {
        return "Displays the wavelet coefficients graphically. Put this after a forward Wavelet Transform filter.";
    }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& newFormat) override;
    void process(SampleBuffer& buffer) override;
    int32_t getParameterCount() override { return 9; }
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
    // Fills one column with the bands of one copy; the caller holds drawLock.
    void drawColumn(DisplaySurface& surface, WaveletCoeffs& coeffs, int left, int right, int height, double unit);
    void showWindow(bool on);
    // Nothing without a window. The caller holds lock.
    void redraw(bool now);
    // Recomputes brightness and the vertical factor; the caller holds both locks.
    void recompute();

    DisplayWindowSlot windowSlot;
    WaveletCoeffs* displayRing[ringSize];
    WaveletCoeffs* spare;            // the next copy is made here, then swapped in
    int ringIndex = 0;
    int startSlot = 0;
    bool showPaddings = false;
    bool energy = true;
    int colourMode = 5;
    int brightnessStep = 10;
    float brightness = 1.0f;
    int verticalStep = 50;
    float verticalFactor = 1.5f; // v: each finer band is v times as high
    int chunks = 1;
    int refresh = 0;
    bool synchronous = false;
    const BrushTable* brushTable;
    AudioFormat format;
    Lock* lock;
    Lock* drawLock;
};

} // namespace sonabel
