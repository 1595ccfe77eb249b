// The filter box inside the program's own main window, and the "..."
// handler committing a chosen name through the file panels.

#include "ui/AddFilterDialog.h"
#include "ui/Application.h"
#include "ui/ControlId.h"
#include "ui/FileReaderInfo.h"
#include "ui/FileWriterInfo.h"
#include "ui/FilterInfo.h"
#include "ui/FilterListInfo.h"
#include "ui/MainWindow.h"
#include "ui/ParameterWindow.h"
#include "ui/UpDownControl.h"
#include "ui/WaveFileChooser.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <tuple>

using namespace sonabel;

class MainWindowFilterBoxTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        QImage background(808, 292, QImage::Format_RGB32); // no error box about a missing picture
        background.fill(Qt::darkGray);
        QVERIFY(background.save(dir.filePath(QStringLiteral("background.png"))));
        MainWindow::setBackgroundResource(dir.filePath(QStringLiteral("background.png")));
    }

    void addAndDeleteThroughTheWindow() {
        Application application;
        QVERIFY(application.start());
        MainWindow* window = application.getMainWindow();
        FilterListInfo* filters = application.getFilterListInfo();
        QCOMPARE(findControl(window, 1055), filters->getMoveControl());
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<AddFilterDialog*>(w); d && d->isVisible()) {
                    findControl<QListWidget>(d, 1039)->setCurrentRow(12);
                    QTest::mouseClick(findControl<QPushButton>(d, 1), Qt::LeftButton);
                }
        });
        QTest::mouseClick(findControl<QPushButton>(window, 1040), Qt::LeftButton);
        QCOMPARE(findControl<QListWidget>(window, 1039)->item(0)->text(), QStringLiteral("Delay"));
        QVERIFY(filters->getEntry(0)->getWindow());
        const QRect frame = window->frameGeometry();
        QCOMPARE(filters->getEntry(0)->getWindow()->frameGeometry().topLeft(), QPoint(frame.x() + frame.width(), frame.y()));
        QDir(QCoreApplication::applicationDirPath()).mkpath(QStringLiteral("../../screenshots"));
        window->grab().save(QCoreApplication::applicationDirPath() + QStringLiteral("/../../screenshots/main-window-filters.png"));
        QTest::mouseClick(findControl<QPushButton>(window, 1041), Qt::LeftButton);
        QCOMPARE(filters->getEntryCount(), 0);
    }

    // "..." opens the file dialog; the chosen name lands in the box and the
    // panel takes it as it takes Enter.
    void fileButtonsCommitTheChosenName() {
        QFile existing(dir.filePath(QStringLiteral("voice.wav")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        for (const auto& [button, box, name] : {std::tuple{1007, 1006, "voice.wav"}, std::tuple{1010, 1009, "take.wav"}}) {
            Application application;
            QVERIFY(application.start());
            const QString path = dir.filePath(QString::fromLatin1(name));
            bool answered = false;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog) return;
                dialog->selectFile(path);
                static_cast<QDialog*>(dialog)->accept(); // the dialog checks the name as its button does
                answered = true;
            });
            QTest::mouseClick(findControl<QPushButton>(application.getMainWindow(), button), Qt::LeftButton);
            QVERIFY(answered);
            QCOMPARE(findControl<QLineEdit>(application.getMainWindow(), box)->text(), path);
            FileInfo* panel = box == 1006 ? static_cast<FileInfo*>(application.getFileReaderInfo())
                                          : static_cast<FileInfo*>(application.getFileWriterInfo());
            QCOMPARE(panel->getFileName(), path);
        }
    }
};

QTEST_MAIN(MainWindowFilterBoxTest)
#include "MainWindowFilterBoxTest.moc"
