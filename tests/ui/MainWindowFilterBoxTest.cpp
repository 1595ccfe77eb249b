// The filter box inside the program's own main window: the controller binds
// to the window's controls, replaces the move placeholder, opens windows at
// the window's corner, and the "..." handler commits a chosen file name
// through the file panel.

#include "filters/FilterCatalogue.h"
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

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace sonabel;

class MainWindowFilterBoxTest : public QObject {
    Q_OBJECT
    QTemporaryDir pictures;

private slots:
    void initTestCase() {
        // A background of the main window's size, so no error box comes up.
        QImage background(808, 292, QImage::Format_RGB32);
        background.fill(Qt::darkGray);
        const QString path = pictures.filePath(QStringLiteral("background.png"));
        QVERIFY(background.save(path));
        MainWindow::setBackgroundResource(path);
    }

    void filterBoxInTheMainWindow() {
        Application application;
        QVERIFY(application.start());
        MainWindow* window = application.getMainWindow();
        FilterListInfo* filters = application.getFilterListInfo();
        QVERIFY(qobject_cast<UpDownControl*>(findControl(window, 1055)));
        QCOMPARE(filters->getMoveControl(), findControl(window, 1055));
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("saveChain")));

        QTimer::singleShot(0, [] {
            AddFilterDialog* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<AddFilterDialog*>(w); d && d->isVisible()) dialog = d;
            QVERIFY(dialog);
            findControl<QListWidget>(dialog, 1039)->setCurrentRow(12);
            QTest::mouseClick(findControl<QPushButton>(dialog, 1), Qt::LeftButton);
        });
        QTest::mouseClick(findControl<QPushButton>(window, 1040), Qt::LeftButton);
        QCOMPARE(findControl<QListWidget>(window, 1039)->item(0)->text(), QStringLiteral("Delay"));
        ParameterWindow* parameters = filters->getEntry(0)->getWindow();
        QVERIFY(parameters);
        const QRect frame = window->frameGeometry();
        QCOMPARE(parameters->frameGeometry().topLeft(), QPoint(frame.x() + frame.width(), frame.y()));
        QTest::mouseClick(findControl<QPushButton>(window, 1041), Qt::LeftButton);
        QCOMPARE(filters->getEntryCount(), 0);
    }

    void fileButtonsCommitTheChosenName_data() {
        QTest::addColumn<int>("box");
        QTest::newRow("file input") << 1006;
        QTest::newRow("file output") << 1009;
    }
    void fileButtonsCommitTheChosenName() {
        QFETCH(int, box);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("voice.wav"));
        Application application;
        QVERIFY(application.start());
        auto* edit = findControl<QLineEdit>(application.getMainWindow(), box);
        QVERIFY(edit);
        WaveFileChooser::commit(edit, path);
        FileInfo* panel = box == 1006 ? static_cast<FileInfo*>(application.getFileReaderInfo())
                                      : static_cast<FileInfo*>(application.getFileWriterInfo());
        QCOMPARE(panel->getFileName(), path);
    }
};

QTEST_MAIN(MainWindowFilterBoxTest)
#include "MainWindowFilterBoxTest.moc"
