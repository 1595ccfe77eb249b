#include "ui/DeviceInfo.h"

#include "core/AudioDeviceFormat.h"
#include "core/AudioStream.h"
#include "core/ListenerList.h"
#include "core/Log.h"
#include "io/AudioDevice.h"
#include "ui/ControlId.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/PostedEvents.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace sonabel {

DeviceInfo::DeviceInfo(Application& app) : StreamInfo(app) {}

DeviceInfo::~DeviceInfo() {
    // The subclass has deactivated the device; the setup window goes first.
    if (setupControls) delete setupControls.data();
    setupOpen = false;
    delete device;
}

AudioStream* DeviceInfo::getStream() { return dynamic_cast<AudioStream*>(device); }

void DeviceInfo::notify(ListenerList*, int code, int) {
    if (code == 100)
        postCountText(1035, ++underruns, "%d underruns");
    else if (code == 101)
        postCountText(1036, ++overflows, "%d overflows");
}

void DeviceInfo::postCountText(int controlId, int32_t count, const char* format) {
    if (!setupOpen.load()) return;
    QCoreApplication::postEvent(this, new SetTextEvent(controlId, QString::asprintf(format, count)));
}

void DeviceInfo::resetCounts() {
    underruns = 0;
    overflows = 0;
    postCountText(1035, 0, "%d underruns");
    postCountText(1036, 0, "%d overflows");
}

bool DeviceInfo::event(QEvent* event) {
    if (event->type() != MSG_SET_TEXT) return StreamInfo::event(event);
    const auto* setText = static_cast<SetTextEvent*>(event);
    // The window may have closed since the text was posted.
    if (setupControls)
        if (auto* label = findControl<QLabel>(setupControls, setText->controlId)) label->setText(setText->text);
    return true;
}

void DeviceInfo::showSetup() {
    if (setupControls) {
        setupControls->show();
        setupControls->raise();
        setupControls->activateWindow();
        return;
    }
    auto* window = new DeviceSetupWindow(mainWindow, setupCaption());
    setupControls = window;
    setSetupWindow(window);
    setupOpen = true;
    connect(window, &QObject::destroyed, this, [this] { setupOpen = false; });
    fillDeviceList();
    postCountText(1035, underruns.load(), "%d underruns");
    postCountText(1036, overflows.load(), "%d overflows");
    refreshBufferSlider();
    refreshBufferSizeText();
    connect(window->deviceList, &QComboBox::currentIndexChanged, this, [this] { createDevice(); });
    connect(window->bufferSlider, &QSlider::valueChanged, this, &DeviceInfo::bufferSliderMoved);
    connect(window->resetButton, &QPushButton::clicked, this, &DeviceInfo::resetCounts);
    window->show();
}

void DeviceInfo::fillDeviceList() {
    if (!setupControls || !device) return;
    QComboBox* list = setupControls->deviceList;
    const QSignalBlocker blocker(list);
    list->clear();
    int remembered = -1;
    for (int32_t type = 0; type < getDeviceDriverCount(); ++type) {
        AudioDevice* probe = newDevice(type);
        if (!probe) continue;
        for (int32_t i = 0; i < probe->getDeviceCount(); ++i) {
            const char* name = probe->getDeviceName(i);
            list->addItem(QStringLiteral("%1 %2").arg(QString::fromUtf8(probe->getName()), QString::fromUtf8(name ? name : "")),
                          QVariant(type * 65536 + i));
            if (type == driverType && i == device->getDevice()) remembered = list->count() - 1;
        }
        delete probe;
    }
    if (remembered >= 0) list->setCurrentIndex(remembered);
}

void DeviceInfo::refreshBufferSlider() {
    if (!setupControls || !device) return;
    QSlider* slider = setupControls->bufferSlider;
    // Setting the range must not move the device's count.
    const QSignalBlocker blocker(slider);
    const float rate = device->getDeviceFormat()->sampleRate;
    const int32_t frames = device->getBufferSizeFrames();
    const int maximum = 1 + (frames > 0 ? static_cast<int32_t>(0.5f * rate) / frames : 0);
    slider->setRange(singleBufferAllowed ? 1 : 2, maximum);
    slider->setValue(device->getBufferCount());
}

void DeviceInfo::refreshBufferSizeText() {
    if (!setupControls || !device) return;
    const float rate = device->getDeviceFormat()->sampleRate;
    const double bytes = double(device->getBufferSizeFrames()) * device->getBufferCount();
    const int ms = rate == 0.0f ? 0 : static_cast<int>(bytes / rate * 1000.0);
    setupControls->bufferSizeText->setText(QStringLiteral("Buffersize %1 ms").arg(ms));
    const QString note = bufferNote();
    setupControls->bufferNote->setText(note);
    setupControls->bufferNote->setVisible(!note.isEmpty());
}

void DeviceInfo::bufferSliderMoved(int position) {
    if (!device) return;
    device->setBufferCount(position);
    // The device may keep fewer (at most half its ring ahead): show what it took.
    if (setupControls && device->getBufferCount() != position) {
        const QSignalBlocker blocker(setupControls->bufferSlider);
        setupControls->bufferSlider->setValue(device->getBufferCount());
    }
    refreshBufferSizeText();
}

void DeviceInfo::createDevice() {
    logTrace(10, ">DeviceInfo::createDevice");
    int32_t type = driverType;
    int32_t index = device ? device->getDevice() : 0;
    if (setupControls && setupControls->deviceList->currentIndex() >= 0) {
        const int data = setupControls->deviceList->currentData().toInt();
        type = data >> 16;
        index = data & 0xffff;
    }
    if (device && type == driverType && index == device->getDevice()) {
        logTrace(10, "<DeviceInfo::createDevice");
        logDebug(3, "DeviceInfo::createDevice() : nothing to do !");
        return;
    }
    bool restart = false;
    if (AudioStream* stream = getStream(); stream && stream->isStarted()) {
        logDebug(3, "DeviceInfo::createDevice() : device is started. Stopping it.");
        deactivate();
        restart = true;
    }
    AudioDevice* old = nullptr;
    if (device && type == driverType) {
        device->setDevice(index);
    } else {
        AudioDevice* fresh = newDevice(type);
        if (!fresh) {
            logTrace(10, "<DeviceInfo::createDevice");
            return;
        }
        driverType = type;
        fresh->setDevice(index);
        AudioDeviceFormat format(2, 44100.0f, 16);
        if (device) {
            const AudioDeviceFormat* previous = device->getDeviceFormat();
            format = AudioDeviceFormat(previous->channels, previous->sampleRate, previous->getBitsPerSample());
        }
        fresh->setDeviceFormat(format);
        if (auto* listeners = dynamic_cast<ListenerList*>(fresh)) listeners->addListener(this);
        old = device;
        device = fresh;
    }
    const float rate = device->getDeviceFormat()->sampleRate;
    device->setBufferCount(1);
    if (device->getBufferCount() == 1) {
        singleBufferAllowed = true;
        device->setBufferSizeFrames(static_cast<int32_t>(0.005f * rate));
    } else {
        singleBufferAllowed = false;
        device->setBufferSizeFrames(1024);
    }
    const int32_t frames = device->getBufferSizeFrames();
    device->setBufferCount(1 + (frames > 0 ? static_cast<int32_t>(0.35f * rate) / frames : 0));
    delete old;
    refreshBufferSlider();
    refreshBufferSizeText();
    if (restart) activate();
    logTrace(10, "<DeviceInfo::createDevice");
}

} // namespace sonabel
