#include "io/TickProviderChoice.h"

#include "core/Log.h"
#include "engine/AudioSynchronizer.h"
#include "io/AudioInputDevice.h"
#include "io/AudioOutputDevice.h"

namespace sonabel {

namespace {

const char* selectedName(AudioDevice* device) {
    // getDeviceName reports an index out of range; the log line then says "?".
    const int32_t index = device->getDevice();
    if (index < 0 || index >= device->getDeviceCount()) return "?";
    const char* name = device->getDeviceName(index);
    return name ? name : "?";
}

} // namespace

void chooseTickProvider(AudioSynchronizer* synchronizer, AudioOutputDevice* output, AudioInputDevice* input) {
    if (!synchronizer) return;
    logTrace(10, ">chooseTickProvider");
    if (output && output->isStarted()) {
        TickProvider* candidate = output;
        if (candidate != synchronizer->getTickProvider()) {
            synchronizer->setTickProvider(candidate);
            logDebug(2, "Using tickprovider %s %s out.", output->getName(), selectedName(output));
        }
    } else if (input && input->isStarted()) {
        TickProvider* candidate = input;
        if (candidate != synchronizer->getTickProvider()) {
            synchronizer->setTickProvider(candidate);
            logDebug(2, "Using new tickprovider %s %s in.", input->getName(), selectedName(input));
        }
    } else if (synchronizer->getTickProvider()) {
        synchronizer->setTickProvider(nullptr);
        logDebug(2, "Now using no tickprovider.");
    }
    logTrace(10, "<chooseTickProvider");
}

} // namespace sonabel
