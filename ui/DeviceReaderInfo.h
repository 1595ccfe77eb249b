#pragma once
// The soundcard input panel: its capture device is one of the mixer's inputs, with the panel's volume.

#include "ui/DeviceInfo.h"

namespace sonabel {

class AudioInputDevice;

class DeviceReaderInfo : public DeviceInfo {
    Q_OBJECT
public:
    explicit DeviceReaderInfo(Application& application);
    // Deactivates, closes the setup window and destroys the device.
    ~DeviceReaderInfo() override;

    void volumeChanged() override;
    void activate() override;
    void deactivate() override;
    bool isReader() override { return true; }
    // For the panels made from now on.
    static void setDeviceFactory(DeviceFactory factory);
    // The device as the clock chooser sees it, or null.
    AudioInputDevice* getInputDevice() const;

protected:
    AudioDevice* newDevice(int32_t type) override;
    QString setupCaption() override { return QStringLiteral("Soundcard input setup"); }
};

} // namespace sonabel
