// The interface thread against a running clock: the panels are ticked and
// unticked, files renamed, buffers resized and the volume dragged while
// the null devices tick. Run under ThreadSanitizer by `make tsan`; no
// posted text may reach a destroyed panel or window.

#include "UiTestSupport.h"

#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/AudioOutputDevice.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/FileWriterInfo.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

using namespace sonabel;
using namespace sonabel::test;

class PanelStressTest : public QObject {
    Q_OBJECT

    static void click(ProgramUnderTest& program, int id) {
        QTest::mouseClick(program.control(id), Qt::LeftButton, {}, QPoint(4, program.control(id)->height() / 2));
    }
    static void rename(ProgramUnderTest& program, int editId, const QString& name) {
        program.control<QLineEdit>(editId)->setText(name);
        static_cast<FileInfo*>(program.app->getPanel(editId == 1006 ? 2 : 3))->commitFileName();
    }

private slots:
    void panelsChangeWhileTheClockTicks() {
        ProgramUnderTest program;
        // No boxes: the files are all there and valid.
        writeWave(program.path(QStringLiteral("one.wav")), testSamples(44100, 1));
        writeWave(program.path(QStringLiteral("two.wav")), testSamples(30000, 2));
        QCoreApplication::processEvents();
        for (QMessageBox* box : program.window()->findChildren<QMessageBox*>()) box->close();

        rename(program, 1006, QStringLiteral("one.wav"));
        click(program, 1038);
        click(program, 1005);
        click(program, 1002);
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() > 0, 120000);

        for (int round = 0; round < 12; ++round) {
            rename(program, 1006, round % 2 ? QStringLiteral("one.wav") : QStringLiteral("two.wav"));
            rename(program, 1009, QStringLiteral("rec%1.wav").arg(round % 3));
            click(program, 1008);
            program.control<QSlider>(1028)->setValue(round * 8);
            click(program, 1001); // the capture device joins: the playback device stays the clock
            QTest::qWait(20);
            click(program, 1022);
            auto* setup = program.window()->findChild<DeviceSetupWindow*>();
            QVERIFY(setup);
            setup->bufferSlider->setValue(2 + round * 7);
            click(program, 1002); // the clock passes to the capture device
            QTest::qWait(20);
            click(program, 1002); // and back
            setup->close();
            QTest::qWait(20);
            click(program, 1008);
            click(program, 1001);
            if (round % 4 == 3) {
                click(program, 1005);
                QTest::qWait(10);
                click(program, 1005);
            }
        }
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        QVERIFY(program.control<QCheckBox>(1002)->isChecked());
        QCOMPARE(program.app->getSynchronizer()->getTickProvider(), static_cast<TickProvider*>(output));
        click(program, 1005);
        click(program, 1002);
        QCOMPARE(program.app->getMixer()->getInputCount(), 0);
        QCOMPARE(program.app->getSynchronizer()->getWriterCount(), 0);
        QCOMPARE(program.app->getSynchronizer()->getTickProvider(), nullptr);
        // Each recording holds whole chunks.
        for (int i = 0; i < 3; ++i) {
            const auto recorded = readWaveSamples(program.path(QStringLiteral("rec%1.wav").arg(i)));
            QCOMPARE(recorded.size() % (2 * 1024), size_t(0));
        }
    }
};

QTEST_MAIN(PanelStressTest)
#include "PanelStressTest.moc"
