#include "ui/DeviceWriterInfo.h"

#include "core/Log.h"
#include "io/AudioOutputDevice.h"
#include "ui/Application.h"

namespace sonabel {

DeviceWriterInfo::DeviceWriterInfo(Application& app) : DeviceInfo(app) {}

DeviceWriterInfo::~DeviceWriterInfo() { deactivate(); }

AudioOutputDevice* DeviceWriterInfo::getOutputDevice() const { return dynamic_cast<AudioOutputDevice*>(device); }

namespace {

DeviceInfo::DeviceFactory& factory() {
    static DeviceInfo::DeviceFactory made;
    return made;
}

} // namespace

void DeviceWriterInfo::setDeviceFactory(DeviceFactory make) { factory() = std::move(make); }

AudioDevice* DeviceWriterInfo::newDevice(int32_t type) { return factory() ? factory()(type) : createOutputDevice(type); }

void DeviceWriterInfo::activate() {
    logTrace(10, ">DeviceWriterInfo: activate");
    AudioOutputDevice* output = getOutputDevice();
    if (output && output->isStarted())
        logDebug(1, "DeviceWriterInfo::activate(): Device already started...");
    else
        addWriter(output);
    logTrace(10, "<");
}

void DeviceWriterInfo::deactivate() {
    logTrace(10, ">DeviceWriterInfo: deactivate");
    removeWriter(getOutputDevice());
    logTrace(10, "<");
}

} // namespace sonabel
