#include "ui/DeviceReaderInfo.h"

#include "core/Log.h"
#include "engine/AudioMixer.h"
#include "io/AudioInputDevice.h"
#include "ui/Application.h"

namespace sonabel {

DeviceReaderInfo::DeviceReaderInfo(Application& app) : DeviceInfo(app) {}

DeviceReaderInfo::~DeviceReaderInfo() { deactivate(); }

AudioInputDevice* DeviceReaderInfo::getInputDevice() const { return dynamic_cast<AudioInputDevice*>(device); }

namespace {

DeviceInfo::DeviceFactory& factory() {
    static DeviceInfo::DeviceFactory made;
    return made;
}

} // namespace

void DeviceReaderInfo::setDeviceFactory(DeviceFactory make) { factory() = std::move(make); }

AudioDevice* DeviceReaderInfo::newDevice(int32_t type) { return factory() ? factory()(type) : createInputDevice(type); }

void DeviceReaderInfo::volumeChanged() {
    AudioInputDevice* input = getInputDevice();
    if (!input || !input->isStarted()) return;
    if (AudioMixer* mixer = application.getMixer()) mixer->setInputVolume(input, volumeGain(getVolume()));
}

void DeviceReaderInfo::activate() {
    logTrace(10, ">DeviceReaderInfo: activate");
    AudioInputDevice* input = getInputDevice();
    if (input && input->isStarted())
        logDebug(1, "DeviceReaderInfo::activate(): Device already started...");
    else
        addReader(input);
    logTrace(10, "<");
}

void DeviceReaderInfo::deactivate() {
    logTrace(10, ">DeviceReaderInfo: deactivate");
    removeReader(getInputDevice());
    logTrace(10, "<");
}

} // namespace sonabel
