// Pictures of the windows while a file plays into the null device, saved as
// PNG files for a person to look at: the main window, the device setup
// window, the help window, a denoiser's parameter window and the two
// display windows. Then Esc ends the program with code 0.
// Run offscreen by default, and under a real X server by xvfb-run
// (SONABEL_SCREENSHOTS names the folder).

#include "UiTestSupport.h"

#include "io/AudioOutputDevice.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/DisplayWindowWidget.h"
#include "ui/FileReaderInfo.h"
#include "ui/FilterInfo.h"
#include "ui/FilterListInfo.h"
#include "ui/ParameterWindow.h"
#include "filters/AudioFilter.h"
#include "ui/HelpWindow.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cmath>

using namespace sonabel;
using namespace sonabel::test;

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void picturesOfTheWindowsWhileAFilePlays() {
        const QString folder = qEnvironmentVariableIsSet("SONABEL_SCREENSHOTS")
                                   ? qEnvironmentVariable("SONABEL_SCREENSHOTS")
                                   : QDir::current().filePath(QStringLiteral("screenshots"));
        QVERIFY(QDir().mkpath(folder));
        ProgramUnderTest program;
        QVERIFY(program.started);
        // Four seconds of a chord, looped.
        std::vector<int16_t> chord(size_t(44100 * 4) * 2);
        for (size_t i = 0; i < chord.size() / 2; ++i) {
            const double t = double(i) / 44100.0;
            const double v = 0.2 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277 * t) + std::sin(2 * M_PI * 330 * t));
            chord[2 * i] = chord[2 * i + 1] = static_cast<int16_t>(v * 32767);
        }
        writeWave(program.path(QStringLiteral("chord.wav")), chord);
        QVERIFY(QTest::qWaitForWindowExposed(program.window()));
        QCoreApplication::processEvents();
        for (QMessageBox* box : program.window()->findChildren<QMessageBox*>()) box->close();

        program.control<QLineEdit>(1006)->setText(QStringLiteral("chord.wav"));
        program.app->getFileReaderInfo()->commitFileName();
        program.control<QLineEdit>(1009)->setText(QStringLiteral("recording.wav"));
        QTest::mouseClick(program.control(1038), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseClick(program.control(1005), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseClick(program.control(1002), Qt::LeftButton, {}, QPoint(4, 4));
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        QVERIFY(program.control<QCheckBox>(1002)->isChecked());
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() > 44100, 120000);
        QTest::qWait(100);
        QVERIFY(program.window()->grab().save(folder + QStringLiteral("/main-window.png")));

        QTest::mouseClick(program.control(1022), Qt::LeftButton);
        auto* setup = program.window()->findChild<DeviceSetupWindow*>();
        QVERIFY(setup);
        QVERIFY(QTest::qWaitForWindowExposed(setup));
        QTest::qWait(100);
        QVERIFY(setup->grab().save(folder + QStringLiteral("/device-setup.png")));
        setup->close();

        QTest::mouseClick(program.control(1058), Qt::LeftButton);
        HelpWindow* help = program.window()->getHelpWindow();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTest::qWait(100);
        QVERIFY(help->grab().save(folder + QStringLiteral("/help-window.png")));
        if (QScreen* screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(folder + QStringLiteral("/screen.png"));

        // The chain a user denoises with: the denoiser's window, the
        // scalogram and the waveform, while the file plays.
        FilterListInfo* filters = program.app->getFilterListInfo();
        for (int k : {0, 6, 3, 1, 7}) filters->addFilter(k);
        const int settings[][3] = {{0, 0, 9}, {1, 6, 9}, {1, 0, 1}, {2, 0, 60}, {4, 3, 3}, {4, 0, 1}};
        for (const auto& s : settings) filters->getEntry(s[0])->getFilter()->setParameter(s[1], s[2]);
        filters->getEntry(2)->openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(filters->getEntry(2)->getWindow()));
        QTest::qWait(500);
        QVERIFY(filters->getEntry(2)->getWindow()->grab().save(folder + QStringLiteral("/denoiser-window.png")));
        for (auto* display : program.window()->findChildren<DisplayWindowWidget*>()) {
            const bool scalogram = display->windowTitle() == QStringLiteral("Wavelet Display");
            QVERIFY(display->grab().save(folder + (scalogram ? QStringLiteral("/scalogram-window.png")
                                                             : QStringLiteral("/time-display-window.png"))));
        }

        program.window()->activateWindow();
        QTest::keyClick(program.window(), Qt::Key_Escape);
        QCOMPARE(program.finished->count(), 1);
        QCOMPARE(program.finished->first().first().toInt(), 0);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
