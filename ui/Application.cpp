#include "ui/Application.h"

#include "core/Log.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "filters/AudioFilter.h"
#include "io/TickProviderChoice.h"
#include "ui/ControlId.h"
#include "ui/DeviceReaderInfo.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/ErrorBox.h"
#include "ui/FileReaderInfo.h"
#include "ui/FileWriterInfo.h"
#include "ui/FilterListInfo.h"
#include "ui/MainWindow.h"

#include <QSlider>

namespace sonabel {

Application::Application() {
    positionTimer.setInterval(40);
    connect(&positionTimer, &QTimer::timeout, this, &Application::updatePositions);
}

bool Application::start() {
    ErrorBox::install();
    mainWindow = new MainWindow(*this);
    if (!hasPanels()) {
        ErrorBox::showSystemError(QStringLiteral("Could not create main dialog"));
        return false;
    }
    ErrorBox::instance()->setOwner(mainWindow);

    mixer = new AudioMixer;
    mixer->open();
    mixer->start();
    synchronizer = new AudioSynchronizer;
    synchronizer->setReader(mixer);
    synchronizer->start();
    filterList = new FilterListInfo(*mixer, *synchronizer, mainWindow);
    mixer->loadMonitor = filterList;

    mainWindow->show();
    positionTimer.start();
    setDebugThreshold(1);
    setTraceThreshold(0);
    return true;
}

Application::~Application() {
    if (panelsExist) stopAndDestroyPanels();
    if (mixer) mixer->loadMonitor = nullptr;
    delete filterList;
    filterList = nullptr;
    delete synchronizer;
    synchronizer = nullptr;
    if (mixer) {
        while (mixer->getFilterCount() > 0) {
            const int last = mixer->getFilterCount() - 1;
            AudioFilter* filter = mixer->getFilter(last);
            mixer->removeFilterNr(last);
            delete filter;
        }
        delete mixer;
        mixer = nullptr;
    }
    // The window outlives the filter list controller, which holds its list
    // box; it was closed already.
    delete mainWindow;
    mainWindow = nullptr;
    ErrorBox::uninstall();
}

StreamInfo* Application::getPanel(int index) const {
    return index >= 0 && index < int(panels.size()) ? panels[size_t(index)] : nullptr;
}

DeviceReaderInfo* Application::getDeviceReaderInfo() const { return static_cast<DeviceReaderInfo*>(panels[0]); }
DeviceWriterInfo* Application::getDeviceWriterInfo() const { return static_cast<DeviceWriterInfo*>(panels[1]); }
FileReaderInfo* Application::getFileReaderInfo() const { return static_cast<FileReaderInfo*>(panels[2]); }
FileWriterInfo* Application::getFileWriterInfo() const { return static_cast<FileWriterInfo*>(panels[3]); }

void Application::createPanels(QWidget* window) {
    auto* input = new DeviceReaderInfo(*this);
    panels[0] = input;
    input->bind(window, 1001, 1019);
    input->attachVolumeSlider(findControl<QSlider>(window, 1027));

    auto* output = new DeviceWriterInfo(*this);
    panels[1] = output;
    output->bind(window, 1002, 1020);

    auto* fileInput = new FileReaderInfo(*this);
    panels[2] = fileInput;
    fileInput->attachVolumeSlider(findControl<QSlider>(window, 1028));
    fileInput->bind(window, 1005, 1025);

    auto* fileOutput = new FileWriterInfo(*this);
    panels[3] = fileOutput;
    fileOutput->bind(window, 1008, 1026);
    panelsExist = true;
}

void Application::chooseTickProvider(StreamInfo* leaving) {
    DeviceWriterInfo* output = getDeviceWriterInfo();
    DeviceReaderInfo* input = getDeviceReaderInfo();
    sonabel::chooseTickProvider(synchronizer, output && output != leaving ? output->getOutputDevice() : nullptr,
                                input && input != leaving ? input->getInputDevice() : nullptr);
}

void Application::updatePositions() {
    for (StreamInfo* panel : panels)
        if (panel) panel->updatePosition();
}

void Application::stopAndDestroyPanels() {
    if (!panelsExist) return;
    positionTimer.stop();
    if (synchronizer && synchronizer->isStarted()) synchronizer->stop();
    for (StreamInfo*& panel : panels) {
        // Out of the list first: the others' clock choice must not see it.
        StreamInfo* leaving = panel;
        panel = nullptr;
        delete leaving;
    }
    panelsExist = false;
}

void Application::mainWindowClosed() {
    stopAndDestroyPanels();
    emit finished(0);
}

} // namespace sonabel
