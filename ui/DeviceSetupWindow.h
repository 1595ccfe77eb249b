#pragma once
// The "Device setup" window of a soundcard panel: the device list, the
// buffer slider with its size text, the underrun and overflow counts with
// "Reset", and "Close". It only shows; its DeviceInfo fills it and reacts to
// it. Closing it (Close, Esc or the close box) destroys it. Under the
// slider a note, hidden unless the write-ahead is too short for the
// device, says so.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace sonabel {

class DeviceSetupWindow : public QDialog {
    Q_OBJECT
public:
    // A top-level window owned by the main window.
    DeviceSetupWindow(QWidget* mainWindow, const QString& caption);

    QComboBox* deviceList;   // 1033
    QLabel* bufferSizeText;  // 1037
    QSlider* bufferSlider;   // 1032
    QLabel* bufferNote;      // object name "bufferNote"
    QLabel* underrunText;    // 1035
    QPushButton* resetButton; // 1034
    QLabel* overflowText;    // 1036
    QPushButton* closeButton; // 8
};

} // namespace sonabel
