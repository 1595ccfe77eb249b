#include "ui/DeviceSetupWindow.h"

#include "ui/ControlId.h"
#include "ui/DialogUnits.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace sonabel {

DeviceSetupWindow::DeviceSetupWindow(QWidget* mainWindow, const QString& caption) : QDialog(mainWindow, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("DEVICE_SETUP"));
    setWindowTitle(caption);
    const DialogUnits du;
    setFixedSize(du.size(175, 111));

    auto* deviceLabel = new QLabel(QStringLiteral("Device"), this);
    deviceLabel->setGeometry(du.rect(5, 5, 24, 8));

    deviceList = new QComboBox(this);
    setControlId(deviceList, 1033);
    // A drop-down list: its height in the layout is that of the open list.
    deviceList->setGeometry(du.rect(5, 15, 165, 12));

    bufferSizeText = new QLabel(QStringLiteral("Buffer size :"), this);
    setControlId(bufferSizeText, 1037);
    bufferSizeText->setGeometry(du.rect(5, 35, 65, 8));

    bufferSlider = new QSlider(Qt::Horizontal, this);
    setControlId(bufferSlider, 1032);
    // Three units short of the full height, for the note below it.
    bufferSlider->setGeometry(du.rect(0, 45, 175, 17));
    bufferSlider->setTickPosition(QSlider::TicksBelow);
    bufferSlider->setTickInterval(1);
    bufferSlider->setTracking(true);
    bufferSlider->setAccessibleName(QStringLiteral("Slider1"));

    bufferNote = new QLabel(this);
    bufferNote->setObjectName(QStringLiteral("bufferNote"));
    bufferNote->setGeometry(du.rect(5, 62, 165, 8));
    bufferNote->setStyleSheet(QStringLiteral("color: #b00000"));
    bufferNote->hide();

    underrunText = new QLabel(QStringLiteral("xx underruns"), this);
    setControlId(underrunText, 1035);
    underrunText->setGeometry(du.rect(5, 70, 65, 8));

    resetButton = new QPushButton(QStringLiteral("Reset"), this);
    setControlId(resetButton, 1034);
    resetButton->setGeometry(du.rect(75, 70, 40, 9));
    resetButton->setAutoDefault(false);

    overflowText = new QLabel(QStringLiteral("xx overflows"), this);
    setControlId(overflowText, 1036);
    overflowText->setGeometry(du.rect(5, 80, 65, 8));

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(du.rect(5, 90, 165, 1).adjusted(0, 0, 0, 1));

    closeButton = new QPushButton(QStringLiteral("Close"), this);
    setControlId(closeButton, 8);
    closeButton->setGeometry(du.rect(120, 95, 50, 14));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

} // namespace sonabel
