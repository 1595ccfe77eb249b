#pragma once
// The controller of one of the main window's four stream panels (soundcard
// input, soundcard output, file input, file output). It owns the panel's
// device or file, connects it to the engine while the panel's check box is
// ticked (readers to the mixer, writers to the synchronizer), applies the
// volume slider and shows the playing position. After every connection
// change the application chooses the synchronizer's clock anew.
//
// Interface thread only, except where a subclass says otherwise. A panel is
// a QObject so that other threads can post to it: it lives as long as the
// stream it owns, and its windows may close at any time.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QSlider>
#include <QPointer>
#include <QString>

#include <cstdint>

class QWidget;

namespace sonabel {

class Application;
class AudioReader;
class AudioStream;
class AudioWriter;

class StreamInfo : public QObject {
    Q_OBJECT
public:
    explicit StreamInfo(Application& application);
    // A subclass's destructor deactivates and destroys its stream.
    ~StreamInfo() override;
    StreamInfo(const StreamInfo&) = delete;
    StreamInfo& operator=(const StreamInfo&) = delete;

    virtual void volumeChanged() {}
    virtual void activate() = 0;
    virtual void deactivate() = 0;
    QDialog* getSetupWindow() const { return setupWindow.data(); }
    virtual void showSetup() {}
    // The stream of the panel's device or file, or null.
    virtual AudioStream* getStream() = 0;
    virtual void setSetupWindow(QDialog* window);
    virtual void createStream() = 0;
    virtual bool isReader() = 0;

    // Stores the controls, shows "Position: INACTIVE", then createStream.
    void bind(QWidget* mainWindow, int checkBoxId, int positionTextId);
    // Range 0..100, at 100 (full volume).
    void attachVolumeSlider(QSlider* slider);
    // 100 minus the slider position; 100 without a slider.
    int getVolume() const;
    // activate when the check box is ticked, else deactivate.
    void toggle();
    void setChecked(bool checked);
    bool isChecked() const;
    // Shows the stream's position while it is started.
    void updatePosition();

    // The gain of a volume value: silence at 0, then -49.5 dB to 0 dB in
    // steps of 0.5 dB.
    static float volumeGain(int volume);
    // "m:ss:mmm" of a position in frames at a rate in Hz.
    static QString positionText(int32_t frames, float rate);

protected:
    void addReader(AudioReader* reader);
    void removeReader(AudioReader* reader);
    void addWriter(AudioWriter* writer);
    void removeWriter(AudioWriter* writer);

    Application& application;
    int checkBoxId = 0;
    QPointer<QWidget> mainWindow;
    QPointer<QCheckBox> checkBox;
    QPointer<QLabel> positionLabel;
    QPointer<QSlider> volumeSlider;
    QPointer<QDialog> setupWindow;
};

} // namespace sonabel
