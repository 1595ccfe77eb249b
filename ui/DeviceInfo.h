#pragma once
// A soundcard panel: owns its device, creates it anew when the user picks
// another one, sets its buffers up (5 ms buffers when the device takes a
// single one, else 1024 frames; about 350 ms in all), runs the "Device
// setup" window, and counts the device's underruns and overflows.
//
// The device tells its listeners on its own thread: notify only counts and
// posts the new text to this object (MSG_SET_TEXT), which sets it only
// while the setup window and the control still exist. The device is
// destroyed before this object, so nothing posts to a destroyed panel.

#include "core/DeviceListener.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/StreamInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace sonabel {

class AudioDevice;

class DeviceInfo : public StreamInfo, public DeviceListener {
    Q_OBJECT
public:
    // Makes the device of a driver type (the caller owns it). Tests hand in
    // devices over scripted layers; empty restores the device factories.
    using DeviceFactory = std::function<AudioDevice*(int32_t type)>;

    explicit DeviceInfo(Application& application);
    ~DeviceInfo() override;

    // Device thread: 100 counts an underrun, 101 an overflow.
    void notify(ListenerList* source, int code, int value) override;

    void showSetup() override;
    AudioStream* getStream() override;
    void createStream() override { createDevice(); }

    // Makes the device chosen in the setup window (or the current choice).
    void createDevice();
    AudioDevice* getDevice() const { return device; }
    bool isSingleBufferAllowed() const { return singleBufferAllowed; }
    int32_t getUnderruns() const { return underruns.load(); }
    int32_t getOverflows() const { return overflows.load(); }
    // "Reset": both counts to 0.
    void resetCounts();

protected:
    bool event(QEvent* event) override;
    // A new device of the driver type (only 0 exists), owned by the caller.
    virtual AudioDevice* newDevice(int32_t type) = 0;
    virtual QString setupCaption() = 0;
    // Why the device's write-ahead cannot work, for the note under the
    // buffer slider; empty when it can.
    virtual QString bufferNote() { return {}; }

    AudioDevice* device = nullptr;

private:
    void fillDeviceList();
    void refreshBufferSlider();
    void refreshBufferSizeText();
    void bufferSliderMoved(int position);
    // format holds one %d for the count.
    void postCountText(int controlId, int32_t count, const char* format);

    QPointer<DeviceSetupWindow> setupControls;
    bool singleBufferAllowed = false;
    // Written by the device thread, read by the interface.
    std::atomic<int32_t> underruns{0};
    std::atomic<int32_t> overflows{0};
    // Set while the setup window is open: the device thread posts only then.
    std::atomic<bool> setupOpen{false};
    int32_t driverType = 0;
};

} // namespace sonabel
