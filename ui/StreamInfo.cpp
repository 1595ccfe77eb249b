#include "ui/StreamInfo.h"

#include "core/AudioFormat.h"
#include "core/AudioReader.h"
#include "core/AudioWriter.h"
#include "core/Log.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "ui/Application.h"
#include "ui/ControlId.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QSlider>

#include <cmath>

namespace sonabel {

StreamInfo::StreamInfo(Application& app) : application(app) {}

StreamInfo::~StreamInfo() = default;

void StreamInfo::setSetupWindow(QDialog* window) { setupWindow = window; }

void StreamInfo::bind(QWidget* window, int checkId, int positionTextId) {
    mainWindow = window;
    checkBoxId = checkId;
    checkBox = findControl<QCheckBox>(window, checkId);
    positionLabel = findControl<QLabel>(window, positionTextId);
    if (positionLabel) positionLabel->setText(QStringLiteral("Position: INACTIVE"));
    createStream();
}

void StreamInfo::attachVolumeSlider(QSlider* slider) {
    volumeSlider = slider;
    if (!slider) return;
    slider->setRange(0, 100);
    slider->setValue(100);
}

int StreamInfo::getVolume() const { return volumeSlider ? 100 - volumeSlider->value() : 100; }

void StreamInfo::toggle() {
    if (isChecked())
        activate();
    else
        deactivate();
}

void StreamInfo::setChecked(bool checked) {
    if (checkBox) checkBox->setChecked(checked);
}

bool StreamInfo::isChecked() const { return checkBox && checkBox->isChecked(); }

void StreamInfo::updatePosition() {
    AudioStream* stream = getStream();
    if (!stream || !stream->isStarted() || !positionLabel) return;
    const QString text = positionText(stream->getPosition(), stream->getAudioFormat()->sampleRate);
    // Setting an equal text would still repaint the label 25 times a second.
    if (positionLabel->text() != text) positionLabel->setText(text);
}

float StreamInfo::volumeGain(int volume) {
    const int p = 100 - volume;
    if (p <= 0) return 0.0f;
    if (p >= 100) return 1.0f;
    return static_cast<float>(std::pow(10.0, (p * 0.5 - 50.0) * 0.05));
}

QString StreamInfo::positionText(int32_t frames, float rate) {
    // 32-bit frames at any real rate stay far below 2^31 ms.
    const int ms = rate <= 0.0f ? 0 : static_cast<int>(std::floor(frames / double(rate) * 1000.0 + 0.5));
    return QString::asprintf("%d:%02d:%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
}

void StreamInfo::addReader(AudioReader* reader) {
    if (!reader) return;
    logTrace(10, ">StreamInfo::addReader");
    if (AudioMixer* mixer = application.getMixer()) mixer->addInput(reader, 1.0f, false);
    if (reader->isStarted()) {
        application.chooseTickProvider();
    } else {
        setChecked(false);
        deactivate();
    }
    volumeChanged();
    logTrace(10, "<StreamInfo::addReader");
}

void StreamInfo::removeReader(AudioReader* reader) {
    if (!reader) return;
    logTrace(10, ">StreamInfo::removeReader");
    // Take the clock away from a device before it closes: its ticker must
    // not tick the synchronizer with a closed stream.
    application.chooseTickProvider(this);
    if (AudioMixer* mixer = application.getMixer()) mixer->removeInput(reader);
    if (reader->isOpen()) reader->close();
    application.chooseTickProvider();
    logTrace(10, "<StreamInfo::removeReader");
}

void StreamInfo::addWriter(AudioWriter* writer) {
    if (!writer) return;
    logTrace(10, ">StreamInfo::addWriter");
    if (AudioSynchronizer* synchronizer = application.getSynchronizer()) synchronizer->addWriter(writer);
    if (writer->isStarted()) {
        application.chooseTickProvider();
    } else {
        setChecked(false);
        deactivate();
    }
    logTrace(10, "<StreamInfo::addWriter");
}

void StreamInfo::removeWriter(AudioWriter* writer) {
    if (!writer) return;
    logTrace(10, ">StreamInfo::removeWriter");
    application.chooseTickProvider(this);
    if (AudioSynchronizer* synchronizer = application.getSynchronizer()) synchronizer->removeWriter(writer);
    if (writer->isOpen()) writer->close();
    application.chooseTickProvider();
    logTrace(10, "<StreamInfo::removeWriter");
}

} // namespace sonabel
