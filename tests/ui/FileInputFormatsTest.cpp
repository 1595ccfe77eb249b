// The file input plays what the file readers read, not only 8- and 16-bit
// WAVE: a FLAC file made by sox, committed into the name box as the "..."
// file dialog commits a choice, plays through the null device's clock into
// a recording that holds sox's own decoding of it, and the panel shows the
// position at the file's rate.

#include "UiTestSupport.h"

#include "engine/AudioSynchronizer.h"
#include "io/AudioOutputDevice.h"
#include "io/SndFileReader.h"
#include "ui/DeviceSetupWindow.h"
#include "ui/DeviceWriterInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/StreamInfo.h"
#include "ui/WaveFileChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

using namespace sonabel;
using namespace sonabel::test;

namespace {

void click(ProgramUnderTest& program, int id) {
    QWidget* control = program.control(id);
    QVERIFY(control);
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, control->height() / 2));
}

bool sox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class FileInputFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MainWindow::setBackgroundResource(QStringLiteral(":/no/such/picture.png")); }

    void flacPlaysIntoARecording() {
        ProgramUnderTest program;
        QVERIFY(program.started);
        const QString flac = program.path(QStringLiteral("voice.flac"));
        const QString raw = program.path(QStringLiteral("voice.raw"));
        QVERIFY(sox({"-D", "-n", "-r", "22050", "-c", "2", "-b", "16", flac, "synth", "3", "sine", "300-900", "sine",
                     "440", "gain", "-4"}));
        QVERIFY(sox({flac, "-t", "raw", "-e", "signed", "-b", "16", raw}));
        QFile rawFile(raw);
        QVERIFY(rawFile.open(QIODevice::ReadOnly));
        const QByteArray soxBytes = rawFile.readAll();

        click(program, 1022);
        auto* setup = program.window()->findChild<DeviceSetupWindow*>();
        QVERIFY(setup);
        auto* list = findControl<QComboBox>(setup, 1033);
        const int nullEntry = list->findText(QStringLiteral("DirectSound Null device (no sound)"));
        QVERIFY(nullEntry >= 0);
        list->setCurrentIndex(nullEntry);
        QTest::mouseClick(findControl<QPushButton>(setup, 8), Qt::LeftButton);

        WaveFileChooser::commit(program.control<QLineEdit>(1006), flac);
        click(program, 1005);
        QVERIFY(program.control<QCheckBox>(1005)->isChecked());
        FileReaderInfo* panel = program.app->getFileReaderInfo();
        auto* reader = dynamic_cast<SndFileReader*>(panel->getFile());
        QVERIFY2(reader, "libsndfile's reader reads the FLAC file");
        QCOMPARE(reader->getFileFormat()->container, SndFileFormat::Flac);
        QCOMPARE(reader->getAudioFormat()->sampleRate, 22050.0f);
        QCOMPARE(reader->getLength(), 3 * 22050);

        // Typed, as a user names a recording.
        auto* edit = program.control<QLineEdit>(1009);
        QCoreApplication::processEvents();
        for (QMessageBox* box : program.window()->findChildren<QMessageBox*>()) box->close();
        program.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(program.window()));
        edit->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClicks(edit, QStringLiteral("take.wav"));
        QTest::keyClick(edit, Qt::Key_Return);
        click(program, 1008);
        click(program, 1002);
        for (int id : {1005, 1008, 1002}) QVERIFY(program.control<QCheckBox>(id)->isChecked());
        AudioOutputDevice* output = program.app->getDeviceWriterInfo()->getOutputDevice();
        QTRY_VERIFY_WITH_TIMEOUT(output->getPosition() >= 22050, 120000);

        // The clock stops; the panel shows where the file stands, at 22050 Hz.
        click(program, 1002);
        const int32_t at = reader->getPosition();
        QVERIFY(at >= 22050 && at < 3 * 22050);
        QTRY_COMPARE(program.control<QLabel>(1025)->text(), StreamInfo::positionText(at, 22050.0f));
        const QString folder = QStringLiteral(SONABEL_SCREENSHOT_DIR);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(program.window()->grab().save(folder + QStringLiteral("/file-input-flac.png")));

        click(program, 1008);
        click(program, 1005);
        const auto recorded = readWaveSamples(program.path(QStringLiteral("take.wav")));
        QVERIFY(recorded.size() >= size_t(2) * 22050);
        QVERIFY(recorded.size() * 2 <= size_t(soxBytes.size()));
        QVERIFY2(std::memcmp(recorded.data(), soxBytes.constData(), recorded.size() * 2) == 0,
                 "the recording holds sox's samples of the FLAC file");
    }
};

QTEST_MAIN(FileInputFormatsTest)
#include "FileInputFormatsTest.moc"
