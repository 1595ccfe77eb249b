// The four stream panels driven through the main window: file names, the
// volume law, the device setup window, and sound that goes from a file
// through the null device's clock into a recording.

#include "UiTestSupport.h"

#include "core/AudioStream.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/AudioDevice.h"
#include "io/AudioInputDevice.h"
#include "io/AudioOutputDevice.h"
#include "io/WaveFileReader.h"
#include "ui/DeviceReaderInfo.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/FileWriterInfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <thread>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Types a name into a file box as a user does, ending with Enter. Open
// error boxes (the missing background's) are answered first.
void typeName(ProgramUnderTest& program, int editId, const QString& name) {
    QCoreApplication::processEvents();
    for (QMessageBox* box : program.window()->findChildren<QMessageBox*>()) box->close();
    auto* edit = program.control<QLineEdit>(editId);
    program.window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(program.window()));
    edit->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
}

void click(ProgramUnderTest& program, int id) {
    QWidget* control = program.control(id);
    QVERIFY(control);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, control->height() / 2));
}

// The first channel of the next chunk that the mixer reads.
std::vector<float> mixChunk(AudioMixer& mixer, int frames) {
    static int32_t position = 0;
    SampleBuffer buffer(2, frames);
    buffer.currCount = frames;
    mixer.read(buffer, position, 0.0f);
    position += frames;
    const float* left = buffer.getBuffer(0);
    return std::vector<float>(left, left + frames);
}

} // namespace

class StreamPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MainWindow::setBackgroundResource(QStringLiteral(":/no/such/picture.png")); }

    void positionTexts_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<float>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("one second") << 44100 << 44100.0f << "0:01:000";
        QTest::newRow("75.5 s") << 3329550 << 44100.0f << "1:15:500";
        QTest::newRow("just under half a ms") << 22 << 44100.0f << "0:00:000";
        QTest::newRow("just over half a ms") << 23 << 44100.0f << "0:00:001";
        QTest::newRow("an hour") << 158760000 << 44100.0f << "60:00:000";
        QTest::newRow("no rate") << 1000 << 0.0f << "0:00:000";
    }
    void positionTexts() {
        QFETCH(int, frames);
        QFETCH(float, rate);
        QFETCH(QString, text);
        QCOMPARE(StreamInfo::positionText(frames, rate), text);
    }

    void volumeLaw_data() {
        QTest::addColumn<int>("slider");
        QTest::addColumn<double>("gain");
        QTest::newRow("left end: silence") << 0 << 0.0;
        QTest::newRow("one step: -49.5 dB") << 1 << 0.0033497;
        QTest::newRow("middle: -25 dB") << 50 << 0.0562341;
        QTest::newRow("one below the end: -0.5 dB") << 99 << 0.9440609;
        QTest::newRow("right end: unity") << 100 << 1.0;
    }
    void volumeLaw() {
        QFETCH(int, slider);
        QFETCH(double, gain);
        QVERIFY(std::abs(StreamInfo::volumeGain(100 - slider) - gain) < 1e-6);
    }

    void everyPanelStartsInactive() {
        ProgramUnderTest program;
        for (int id : {1019, 1020, 1025, 1026})
            QCOMPARE(program.control<QLabel>(id)->text(), QStringLiteral("Position: INACTIVE"));
        for (int id : {1027, 1028}) {
            QCOMPARE(program.control<QSlider>(id)->minimum(), 0);
            QCOMPARE(program.control<QSlider>(id)->maximum(), 100);
            QCOMPARE(program.control<QSlider>(id)->value(), 100);
        }
    }

    void volumeAppliesOnActivation() {
        ProgramUnderTest program;
        const auto samples = testSamples(4096, 7);
        writeWave(program.path(QStringLiteral("v.wav")), samples);
        // Moved while inactive: nothing happens yet.
        program.control<QSlider>(1028)->setValue(50);
        typeName(program, 1006, QStringLiteral("v.wav"));
        click(program, 1005);
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        const auto left = mixChunk(*program.app->getMixer(), 1024);
        for (int i = 0; i < 1024; ++i)
            QVERIFY(std::abs(left[size_t(i)] - samples[size_t(2 * i)] / 32768.0f * 0.0562341f) < 1e-5f);
        // Dragged while it plays: the new gain applies at once.
        program.control<QSlider>(1028)->setValue(0);
        for (float v : mixChunk(*program.app->getMixer(), 1024)) QCOMPARE(v, 0.0f);
    }

    void emptyNameLeavesTheBoxUnticked() {
        ProgramUnderTest program;
        click(program, 1005);
        QVERIFY(!program.control<QCheckBox>(1005)->isChecked());
        QCOMPARE(program.app->getMixer()->getInputCount(), 0);
        QVERIFY(!program.app->getFileReaderInfo()->getStream()->isStarted());
    }

    void fileNamesAreComparedExactly() {
        ProgramUnderTest program;
        const auto upper = testSamples(8192, 1), lower = testSamples(8192, 2);
        writeWave(program.path(QStringLiteral("Voice.wav")), upper);
        writeWave(program.path(QStringLiteral("voice.wav")), lower);
        FileReaderInfo* panel = program.app->getFileReaderInfo();
        typeName(program, 1006, QStringLiteral("Voice.wav"));
        click(program, 1005);
        QVERIFY(panel->getStream()->isStarted());
        AudioMixer& mixer = *program.app->getMixer();
        QCOMPARE(mixChunk(mixer, 1024)[0], upper[0] / 32768.0f);

        // The same name again: nothing happens, the reader goes on.
        typeName(program, 1006, QStringLiteral("Voice.wav"));
        QCOMPARE(mixChunk(mixer, 1024)[0], upper[2 * 1024] / 32768.0f);

        // Another case is another file: stopped, renamed, started from frame 0.
        typeName(program, 1006, QStringLiteral("voice.wav"));
        QCOMPARE(panel->getFileName(), QStringLiteral("voice.wav"));
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        QCOMPARE(mixer.getInputCount(), 1);
        const auto left = mixChunk(mixer, 1024);
        for (int i = 0; i < 1024; ++i) QCOMPARE(left[size_t(i)], lower[size_t(2 * i)] / 32768.0f);

        // Leaving the box commits as Enter does.
        auto* edit = program.control<QLineEdit>(1006);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("none.wav"));
        program.control(1009)->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(panel->getFileName(), QStringLiteral("none.wav"));
        // It does not exist: the box is unticked, nothing stays in the mixer.
        QVERIFY(!program.control<QCheckBox>(1005)->isChecked());
        QCOMPARE(mixer.getInputCount(), 0);
    }

    void recordingOverThePlayingFileIsRefused() {
        ProgramUnderTest program;
        writeWave(program.path(QStringLiteral("a.wav")), testSamples(4096, 3));
        writeWave(program.path(QStringLiteral("b.wav")), testSamples(4096, 4));
        const QByteArray before = [&] { QFile f(program.path(QStringLiteral("a.wav"))); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        typeName(program, 1006, QStringLiteral("a.wav"));
        click(program, 1005);
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        for (const QString& name : {QStringLiteral("a.wav"), QStringLiteral("./a.wav")}) {
            typeName(program, 1009, name);
            click(program, 1008);
            QVERIFY2(!program.control<QCheckBox>(1008)->isChecked(), qPrintable(name));
            QVERIFY(program.logText().contains(QStringLiteral("'%1' is the file being played").arg(name)));
            QCOMPARE(program.app->getSynchronizer()->getWriterCount(), 0);
        }
        QFile a(program.path(QStringLiteral("a.wav")));
        QVERIFY(a.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), before);
        // Any other existing file is recorded over.
        typeName(program, 1009, QStringLiteral("b.wav"));
        click(program, 1008);
        QVERIFY(program.control<QCheckBox>(1008)->isChecked());
        QCOMPARE(program.app->getSynchronizer()->getWriterCount(), 1);
    }

    void deviceSetupArithmetic_data() {
        QTest::addColumn<int>("settings");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QString>("device");
        QTest::newRow("output") << 1022 << "Soundcard output setup" << 1 << 101 << 71 << 220 << "Buffersize 354 ms"
                                << "DirectSound Null device (no sound)";
        QTest::newRow("input") << 1021 << "Soundcard input setup" << 2 << 22 << 16 << 1024 << "Buffersize 371 ms"
                               << "MME Null device (no sound)";
    }
    void deviceSetupArithmetic() {
        QFETCH(int, settings);
        QFETCH(QString, caption);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, count);
        QFETCH(int, frames);
        QFETCH(QString, sizeText);
        QFETCH(QString, device);
        ProgramUnderTest program;
        auto* panel = static_cast<DeviceInfo*>(program.app->getPanel(settings == 1021 ? 0 : 1));
        click(program, settings);
        click(program, settings); // raises the open window, no second one
        const auto windows = program.window()->findChildren<DeviceSetupWindow*>();
        QCOMPARE(windows.size(), 1);
        DeviceSetupWindow* window = windows.first();
        QCOMPARE(window->windowTitle(), caption);
        auto* slider = findControl<QSlider>(window, 1032);
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), maximum);
        QCOMPARE(slider->value(), count);
        QCOMPARE(panel->getDevice()->getBufferSizeFrames(), frames);
        QCOMPARE(findControl<QLabel>(window, 1037)->text(), sizeText);
        auto* list = findControl<QComboBox>(window, 1033);
        QCOMPARE(list->currentText(), device);
        QTRY_COMPARE(findControl<QLabel>(window, 1035)->text(), QStringLiteral("0 underruns"));
        QCOMPARE(findControl<QLabel>(window, 1036)->text(), QStringLiteral("0 overflows"));

        // Dragging to the end: one buffer more than half a second.
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_End);
        // The playback device keeps at most half its one-second ring ahead.
        const int taken = panel->getDevice()->getBufferCount();
        QVERIFY(taken == maximum || (settings == 1022 && taken == maximum - 1));
        QCOMPARE(slider->value(), taken);
        QCOMPARE(findControl<QLabel>(window, 1037)->text(),
                 QStringLiteral("Buffersize %1 ms").arg(int(double(frames) * taken / 44100.0 * 1000.0)));

        // The device reports from its own thread; the window shows the counts.
        std::thread deviceThread([panel] {
            for (int i = 0; i < 3; ++i) panel->notify(nullptr, 100, 0);
            for (int i = 0; i < 2; ++i) panel->notify(nullptr, 101, 0);
            panel->notify(nullptr, 7, 0);
        });
        deviceThread.join();
        QTRY_COMPARE(findControl<QLabel>(window, 1035)->text(), QStringLiteral("3 underruns"));
        QTRY_COMPARE(findControl<QLabel>(window, 1036)->text(), QStringLiteral("2 overflows"));
        QTest::mouseClick(findControl<QPushButton>(window, 1034), Qt::LeftButton);
        QTRY_COMPARE(findControl<QLabel>(window, 1035)->text(), QStringLiteral("0 underruns"));
        QTRY_COMPARE(findControl<QLabel>(window, 1036)->text(), QStringLiteral("0 overflows"));

        // Closed, with a text still on its way: it goes nowhere, the count goes on.
        panel->notify(nullptr, 100, 0);
        QTest::mouseClick(findControl<QPushButton>(window, 8), Qt::LeftButton);
        QTRY_VERIFY(program.window()->findChildren<DeviceSetupWindow*>().isEmpty());
        panel->notify(nullptr, 100, 0);
        QCoreApplication::processEvents();
        QCOMPARE(panel->getUnderruns(), 2);
        QVERIFY(!panel->getSetupWindow());
        // Reopened: the same device, the counts as they stand.
        click(program, settings);
        window = program.window()->findChild<DeviceSetupWindow*>();
        QVERIFY(window);
        QTRY_COMPARE(findControl<QLabel>(window, 1035)->text(), QStringLiteral("2 underruns"));
        QCOMPARE(findControl<QSlider>(window, 1032)->value(), taken);
    }

    void fileThroughTheNullDeviceIntoARecording() {
        ProgramUnderTest program;
        const auto input = testSamples(44100 * 4, 5);
        writeWave(program.path(QStringLiteral("in.wav")), input);

        // The null device, chosen in the output's setup window.
        click(program, 1022);
        auto* window = program.window()->findChild<DeviceSetupWindow*>();
        auto* list = findControl<QComboBox>(window, 1033);
        const int nullEntry = list->findText(QStringLiteral("DirectSound Null device (no sound)"));
        QVERIFY(nullEntry >= 0);
        list->setCurrentIndex(nullEntry);
        QTest::mouseClick(findControl<QPushButton>(window, 8), Qt::LeftButton);

        typeName(program, 1006, QStringLiteral("in.wav"));
        click(program, 1005);
        typeName(program, 1009, QStringLiteral("out.wav"));
        click(program, 1008);
        click(program, 1002);
        for (int id : {1005, 1008, 1002}) QVERIFY(program.control<QCheckBox>(id)->isChecked());
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QCOMPARE(program.app->getSynchronizer()->getTickProvider(), static_cast<TickProvider*>(output));

        // Two seconds of play, however long the machine takes for them.
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() >= 2 * 44100, 120000);
        QTRY_VERIFY(program.control<QLabel>(1020)->text().startsWith(QStringLiteral("0:0")));
        QVERIFY(program.control<QLabel>(1025)->text() != QStringLiteral("Position: INACTIVE"));

        // The clock goes first, while the file still plays.
        click(program, 1002);
        QVERIFY(!program.control<QCheckBox>(1002)->isChecked());
        QCOMPARE(program.app->getSynchronizer()->getTickProvider(), nullptr);
        QVERIFY(!output->isOpen());
        click(program, 1008);
        QCOMPARE(program.app->getSynchronizer()->getWriterCount(), 0);

        const auto recorded = readWaveSamples(program.path(QStringLiteral("out.wav")));
        QVERIFY(recorded.size() >= size_t(2 * 2 * 44100) - 2 * 1024 * 4);
        QCOMPARE(recorded.size() % (2 * 1024), size_t(0));
        QVERIFY(recorded.size() <= input.size());
        for (size_t i = 0; i < recorded.size(); ++i)
            if (recorded[i] != input[i]) QFAIL(qPrintable(QStringLiteral("sample %1 differs").arg(i)));
    }

    void loopRestartsAFileThatRanOut() {
        ProgramUnderTest program;
        writeWave(program.path(QStringLiteral("short.wav")), testSamples(8192, 8));
        typeName(program, 1006, QStringLiteral("short.wav"));
        click(program, 1005);
        click(program, 1002);
        FileReaderInfo* panel = program.app->getFileReaderInfo();
        AudioReader* reader = panel->getReader();
        QTRY_VERIFY_WITH_TIMEOUT(reader->getPosition() >= 8192, 120000);
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        click(program, 1038);
        QVERIFY(panel->isLoop());
        QTRY_VERIFY_WITH_TIMEOUT(reader->getPosition() < 8192, 120000);
        click(program, 1038);
        QVERIFY(!panel->isLoop());
    }

    void closingWhileADeviceIsTheClock() {
        ProgramUnderTest program;
        writeWave(program.path(QStringLiteral("loop.wav")), testSamples(44100, 6));
        typeName(program, 1006, QStringLiteral("loop.wav"));
        click(program, 1038);
        click(program, 1005);
        click(program, 1002);
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() > 4096, 120000);
        QTest::keyClick(program.window(), Qt::Key_Escape);
        QCOMPARE(program.finished->count(), 1);
        QVERIFY(!program.app->getSynchronizer()->isStarted());
        QCOMPARE(program.app->getSynchronizer()->getTickProvider(), nullptr);
    }
};

QTEST_MAIN(StreamPanelTest)
#include "StreamPanelTest.moc"
