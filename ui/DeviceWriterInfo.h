#pragma once
// The soundcard output panel: its playback device is one of the synchronizer's writers.

#include "ui/DeviceInfo.h"

namespace sonabel {

class AudioOutputDevice;

class DeviceWriterInfo : public DeviceInfo {
    Q_OBJECT
public:
    explicit DeviceWriterInfo(Application& application);
    // Deactivates, closes the setup window and destroys the device.
    ~DeviceWriterInfo() override;

    void activate() override;
    void deactivate() override;
    bool isReader() override { return false; }
    // For the panels made from now on.
    static void setDeviceFactory(DeviceFactory factory);
    // The device as the clock chooser sees it, or null.
    AudioOutputDevice* getOutputDevice() const;

protected:
    AudioDevice* newDevice(int32_t type) override;
    QString setupCaption() override { return QStringLiteral("Soundcard output setup"); }
    QString bufferNote() override;
};

} // namespace sonabel
