#include "ui/DeviceWriterInfo.h"

#include "core/Log.h"
#include "io/AudioOutputDevice.h"
#include "io/DirectSoundWriter.h"
#include "ui/Application.h"

#include <cmath>

namespace sonabel {

DeviceWriterInfo::DeviceWriterInfo(Application& app) : DeviceInfo(app) {}

DeviceWriterInfo::~DeviceWriterInfo() { deactivate(); }

AudioOutputDevice* DeviceWriterInfo::getOutputDevice() const { return dynamic_cast<AudioOutputDevice*>(device); }

QString DeviceWriterInfo::bufferNote() {
    auto* writer = dynamic_cast<DirectSoundWriter*>(device);
    if (!writer || !writer->isWriteAheadTooShort()) return {};
    const float rate = writer->getDeviceFormat()->sampleRate;
    const int ms = rate > 0.0f ? static_cast<int>(std::ceil(writer->getMinWriteAheadFrames() / double(rate) * 1000.0)) : 0;
    // Every tick would underrun: say so rather than let it.
    return QStringLiteral("Too short for this device: it needs %1 ms").arg(ms);
}

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
