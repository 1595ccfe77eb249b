// The device setup window over scripted sound layers: the buffer arithmetic
// the panels apply to a device that takes a single buffer (playback) and
// to one that does not (capture), the device list, and a new choice.

#include "UiTestSupport.h"

#include "ScriptedCaptureQueue.h"
#include "ScriptedPlaybackRing.h"

#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"
#include "ui/DeviceReaderInfo.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/DeviceWriterInfo.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace sonabel;
using namespace sonabel::test;

class ScriptedDeviceSetupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        MainWindow::setBackgroundResource(QStringLiteral(":/no/such/picture.png"));
        DeviceWriterInfo::setDeviceFactory([](int32_t type) -> AudioDevice* {
            return type == 0 ? new DirectSoundWriter({new ScriptedPlaybackRing}) : nullptr;
        });
        DeviceReaderInfo::setDeviceFactory([](int32_t type) -> AudioDevice* {
            return type == 0 ? new MMEReader({new ScriptedCaptureQueue}) : nullptr;
        });
    }
    void cleanupTestCase() {
        DeviceWriterInfo::setDeviceFactory({});
        DeviceReaderInfo::setDeviceFactory({});
    }

    void bufferArithmetic_data() {
        QTest::addColumn<int>("settings");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("playback") << 1022 << 1 << 101 << 71 << 220 << "Buffersize 354 ms"
                                  << QStringList{"DirectSound Speakers", "DirectSound Headphones", "DirectSound HDMI"};
        QTest::newRow("capture") << 1021 << 2 << 22 << 16 << 1024 << "Buffersize 371 ms"
                                 << QStringList{"MME Default input", "MME Line in"};
    }
    void bufferArithmetic() {
        QFETCH(int, settings);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, count);
        QFETCH(int, frames);
        QFETCH(QString, sizeText);
        QFETCH(QStringList, devices);
        ProgramUnderTest program;
        auto* panel = static_cast<DeviceInfo*>(program.app->getPanel(settings == 1021 ? 0 : 1));
        QCOMPARE(panel->isSingleBufferAllowed(), minimum == 1);
        QTest::mouseClick(program.control(settings), Qt::LeftButton);
        auto* window = program.window()->findChild<DeviceSetupWindow*>();
        QVERIFY(window);
        auto* slider = findControl<QSlider>(window, 1032);
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), maximum);
        QCOMPARE(slider->value(), count);
        QCOMPARE(panel->getDevice()->getBufferSizeFrames(), frames);
        QCOMPARE(findControl<QLabel>(window, 1037)->text(), sizeText);
        // The scripted devices, then the null device every layer list ends with.
        auto* list = findControl<QComboBox>(window, 1033);
        for (int i = 0; i < devices.size(); ++i) QCOMPARE(list->itemText(i), devices[i]);
        QCOMPARE(list->currentIndex(), 0);

        // Another device of the same driver: the same object, set up afresh.
        AudioDevice* before = panel->getDevice();
        panel->getDevice()->setBufferCount(minimum + 1);
        list->setCurrentIndex(1);
        QCOMPARE(panel->getDevice(), before);
        QCOMPARE(panel->getDevice()->getDevice(), 1);
        QCOMPARE(slider->value(), count);
        QCOMPARE(findControl<QLabel>(window, 1037)->text(), sizeText);
        // The same choice again changes nothing.
        list->setCurrentIndex(1);
        QCOMPARE(panel->getDevice()->getDevice(), 1);
    }

    void tooShortWriteAheadIsShownUnderTheSlider() {
        // The playback device takes a single buffer of 220 frames: with the
        // clock's 1024-frame chunks that cannot play, and the note says so
        // until the slider gives a chunk and 10 ms (1465 frames, 7 buffers).
        ProgramUnderTest program;
        QTest::mouseClick(program.control(1022), Qt::LeftButton);
        auto* window = program.window()->findChild<DeviceSetupWindow*>();
        QVERIFY(window);
        auto* slider = findControl<QSlider>(window, 1032);
        auto* note = window->findChild<QLabel*>(QStringLiteral("bufferNote"));
        QVERIFY(note);
        QVERIFY(!note->isVisible());
        struct Step {
            int count;
            bool shown;
        };
        for (const Step step : {Step{1, true}, Step{6, true}, Step{7, false}, Step{2, true}, Step{71, false}}) {
            slider->setValue(step.count);
            QCOMPARE(note->isVisible(), step.shown);
            if (step.shown) QCOMPARE(note->text(), QStringLiteral("Too short for this device: it needs 34 ms"));
        }
        slider->setValue(1);
        QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/../../screenshots"));
        dir.mkpath(QStringLiteral("."));
        QVERIFY(window->grab().save(dir.filePath(QStringLiteral("device_setup_too_short.png"))));
    }
};

QTEST_MAIN(ScriptedDeviceSetupTest)
#include "ScriptedDeviceSetupTest.moc"
