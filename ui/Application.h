#pragma once
// The program: owns the main window, the engine (mixer and synchronizer),
// the filter list controller and the four panel controllers, and starts
// and stops them in a fixed order.
//
// Start-up (start): the error hook first, so that every later failure
// reaches the user; the main window with its four panels; the mixer (opened
// and started); the synchronizer (reading the mixer, started, with no
// writer and no clock yet); the filter list controller as the mixer's load
// monitor; the window shown; the log thresholds lowered for the session.
//
// Closing the main window stops the synchronizer, destroys the four panels
// (each disconnects and destroys its stream) and emits finished(0). The
// destructor then destroys the filter list controller, the synchronizer,
// any filter still in the mixer (last first), the mixer and the window.
//
// Interface thread only.

#include <QObject>
#include <QTimer>

#include <array>

namespace sonabel {

class AudioMixer;
class AudioSynchronizer;
class DeviceReaderInfo;
class DeviceWriterInfo;
class FileReaderInfo;
class FileWriterInfo;
class FilterListInfo;
class MainWindow;
class StreamInfo;

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // False when the main window could not be built (reported).
    bool start();

    MainWindow* getMainWindow() const { return mainWindow; }
    AudioMixer* getMixer() const { return mixer; }
    AudioSynchronizer* getSynchronizer() const { return synchronizer; }
    FilterListInfo* getFilterListInfo() const { return filterList; }
    // In panel order: soundcard input, soundcard output, file input, file
    // output; null once destroyed.
    StreamInfo* getPanel(int index) const;
    DeviceReaderInfo* getDeviceReaderInfo() const;
    DeviceWriterInfo* getDeviceWriterInfo() const;
    FileReaderInfo* getFileReaderInfo() const;
    FileWriterInfo* getFileWriterInfo() const;
    bool hasPanels() const { return panelsExist; }

    // Called by the main window while it builds itself: the four panels,
    // each bound to its controls.
    void createPanels(QWidget* window);
    // The playback device if it is started, else the capture device if it
    // is started, else none. The device of the leaving panel counts as
    // stopped: the clock moves away before that device closes.
    void chooseTickProvider(StreamInfo* leaving = nullptr);
    // Refreshes the four position texts (every 40 ms while panels exist).
    void updatePositions();
    // Stops the synchronizer, then destroys the panels in panel order.
    void stopAndDestroyPanels();
    // The main window closes: panels gone, then finished(0).
    void mainWindowClosed();

signals:
    // The program's work is done; main ends the event loop with the code.
    void finished(int exitCode);

private:
    MainWindow* mainWindow = nullptr;
    AudioMixer* mixer = nullptr;
    AudioSynchronizer* synchronizer = nullptr;
    FilterListInfo* filterList = nullptr;
    std::array<StreamInfo*, 4> panels{};
    bool panelsExist = false;
    QTimer positionTimer;
};

} // namespace sonabel
