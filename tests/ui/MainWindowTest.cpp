// The main window as the user meets it: its layout, Esc, the background
// picture's failure path, the help window and the error boxes.

#include "UiTestSupport.h"

#include "engine/AudioSynchronizer.h"
#include "ui/DialogUnits.h"
#include "ui/ErrorBox.h"
#include "ui/HelpWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include <thread>

using namespace sonabel;
using sonabel::test::ProgramUnderTest;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MainWindow::setBackgroundResource(QStringLiteral(":/images/background.png")); }

    void controlsSitAtTheirDialogUnits_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<bool>("visible"); // without the background picture
        QTest::newRow("input frame") << 1048 << QRect(5, 10, 120, 40) << true;
        QTest::newRow("output frame") << 1051 << QRect(275, 10, 120, 40) << true;
        QTest::newRow("file input frame") << 1049 << QRect(5, 85, 120, 50) << true;
        QTest::newRow("file output frame") << 1052 << QRect(275, 85, 120, 50) << true;
        QTest::newRow("filter frame") << 1050 << QRect(150, 25, 100, 94) << true;
        QTest::newRow("filter list") << 1039 << QRect(155, 50, 90, 65) << true;
        QTest::newRow("Add") << 1040 << QRect(155, 36, 23, 9) << true;
        QTest::newRow("Del") << 1041 << QRect(181, 36, 23, 9) << true;
        QTest::newRow("Setup") << 1042 << QRect(207, 36, 25, 9) << true;
        QTest::newRow("move") << 1055 << QRect(235, 36, 11, 10) << true;
        QTest::newRow("Filters caption") << 1053 << QRect(155, 26, 19, 8) << false;
        QTest::newRow("Show help") << 1058 << QRect(180, 5, 40, 10) << true;
        QTest::newRow("Close") << 8 << QRect(327, 57, 50, 14) << false;
    }
    void controlsSitAtTheirDialogUnits() {
        QFETCH(int, id);
        QFETCH(QRect, units);
        QFETCH(bool, visible);
        MainWindow::setBackgroundResource(QStringLiteral(":/no/such/picture.png"));
        ProgramUnderTest program;
        const DialogUnits du;
        QCOMPARE(program.window()->size(), du.size(404, 146));
        QWidget* control = program.control(id);
        QVERIFY(control);
        const QRect expected = du.rect(units.x(), units.y(), units.width(), units.height());
        if (qobject_cast<QLabel*>(control)) { // captions may grow to the right to show their text
            QCOMPARE(control->geometry().topLeft(), expected.topLeft());
            QCOMPARE(control->height(), expected.height());
            QVERIFY(control->width() >= expected.width());
        } else {
            QCOMPARE(control->geometry(), expected);
        }
        QCOMPARE(control->isVisibleTo(program.window()), visible);
        // Every panel control lies inside its frame.
        const std::pair<int, int> inside[] = {{1001, 1048}, {1019, 1048}, {1021, 1048}, {1027, 1048}, {1002, 1051},
                                              {1020, 1051}, {1022, 1051}, {1005, 1049}, {1006, 1049}, {1025, 1049},
                                              {1028, 1049}, {1038, 1049}, {1008, 1052}, {1009, 1052}, {1026, 1052}};
        for (auto [child, frame] : inside)
            QVERIFY2(program.control(frame)->geometry().contains(program.control(child)->geometry()),
                     qPrintable(QString::number(child)));
    }

    // Whatever the desktop's font size, the window's captions and check
    // boxes show their whole text and no two of them overlap.
    void captionsShowTheirWholeText_data() {
        QTest::addColumn<int>("points");
        for (int points : {8, 10, 14}) QTest::addRow("%d pt", points) << points;
    }
    void captionsShowTheirWholeText() {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        {
            ProgramUnderTest program;
            QVERIFY(program.started);
            std::vector<QWidget*> texts;
            for (QWidget* widget : program.window()->findChildren<QWidget*>()) {
                if (!widget->isVisibleTo(program.window())) continue;
                QString text;
                int room = widget->width();
                if (auto* label = qobject_cast<QLabel*>(widget)) {
                    text = label->text();
                } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                    text = box->text();
                    room -= box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
                }
                if (text.isEmpty()) continue;
                QVERIFY2(widget->fontMetrics().horizontalAdvance(text) <= room, qPrintable(text));
                texts.push_back(widget);
            }
            for (QWidget* a : texts)
                for (QWidget* b : texts)
                    QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                             qPrintable(a->objectName() + QStringLiteral(" / ") + b->objectName()));
        }
        QApplication::setFont(before);
    }

    void escEndsTheProgramWithCodeZero() {
        ProgramUnderTest program;
        QVERIFY(program.started);
        QVERIFY(QTest::qWaitForWindowExposed(program.window()));
        // Typed while the file name box has the keyboard: the box passes it on.
        QTest::keyClick(program.control(1006), Qt::Key_Escape);
        QCOMPARE(program.finished->count(), 1);
        QCOMPARE(program.finished->first().first().toInt(), 0);
        QVERIFY(!program.app->hasPanels());
        QVERIFY(!program.app->getSynchronizer()->isStarted());
        QVERIFY(!program.window()->isVisible());
        // Closing again (the close box after Esc) does nothing more.
        program.window()->close();
        QCOMPARE(program.finished->count(), 1);
    }

    void missingBackgroundGivesOneBoxAndKeepsTheFrames() {
        MainWindow::setBackgroundResource(QStringLiteral(":/no/such/picture.png"));
        ProgramUnderTest program;
        const QString line = QStringLiteral("ERROR: Background image could not be loaded from resources. (level:1)");
        // The box comes through the event loop, also on the interface thread.
        QTRY_COMPARE(ErrorBox::instance()->openBoxCount(line), 1);
        QCOMPARE(ErrorBox::instance()->openBoxCount(), 1);
        auto* box = program.window()->findChild<QMessageBox*>();
        QVERIFY(box);
        QCOMPARE(box->text(), line);
        QCOMPARE(box->windowTitle(), QStringLiteral("Sonabel"));
        QVERIFY(!program.window()->isBackgroundEnabled());
        for (int id = 1048; id <= 1052; ++id) QVERIFY(program.control(id)->isVisibleTo(program.window()));
        QVERIFY(!program.control(1053)->isVisibleTo(program.window()));
        QCOMPARE(program.control<QGroupBox>(1050)->title(), QStringLiteral("Filters"));
        // The window still paints.
        QVERIFY(!program.window()->grab().isNull());
    }

    void backgroundHidesTheFrames() {
        if (QPixmap(QStringLiteral(":/images/background.png")).isNull()) QSKIP("the background picture is not built in");
        ProgramUnderTest program;
        QVERIFY(program.window()->isBackgroundEnabled());
        for (int id = 1048; id <= 1052; ++id) QVERIFY(!program.control(id)->isVisibleTo(program.window()));
        QVERIFY(program.control(1053)->isVisibleTo(program.window()));
    }

    void errorsFromOtherThreadsGiveOneBoxPerText() {
        ProgramUnderTest program;
        QCoreApplication::processEvents();
        const int before = ErrorBox::instance()->openBoxCount();
        // A per-chunk error from a ticker: the thread must not wait for anybody.
        setOutputHook([](const char*) {});
        std::thread ticker([] {
            for (int i = 0; i < 500; ++i) logError(1, "Chunk %d could not be decoded.", i % 2);
        });
        ticker.join();
        setOutputHook(nullptr);
        QTRY_COMPARE(ErrorBox::instance()->openBoxCount(), before + 2);
        const QString line = QStringLiteral("ERROR: Chunk 0 could not be decoded. (level:1)");
        QCOMPARE(ErrorBox::instance()->openBoxCount(line), 1);
        QCOMPARE(ErrorBox::instance()->repeatCount(line), 249);
        // Level 2 is no box.
        logError(2, "AudioMixer::getFilter: argument range fault.");
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCOMPARE(ErrorBox::instance()->openBoxCount(), before + 2);
    }

    void helpWindowIsOneFilledWindowThatFollowsItsSize() {
        ProgramUnderTest program;
        auto* help = program.control<QPushButton>(1058);
        QTest::mouseClick(help, Qt::LeftButton);
        QTest::mouseClick(help, Qt::LeftButton);
        const auto windows = program.window()->findChildren<HelpWindow*>();
        QCOMPARE(windows.size(), 1);
        HelpWindow* window = windows.first();
        QCOMPARE(window->windowTitle(), QStringLiteral("Sonabel program help"));
        auto* text = findControl<QPlainTextEdit>(window, 1057);
        QVERIFY(text);
        QVERIFY(!text->isReadOnly());
        QVERIFY(!text->textCursor().hasSelection());
        QString expected = HelpWindow::helpText();
        QCOMPARE(expected.size() < 2000, true);
        QVERIFY(expected.startsWith(QStringLiteral("Welcome to the Sonabel application !\r\n\r\nFor a quick start")));
        QVERIFY(expected.contains(QStringLiteral("morvane.wav, selquor.wav, dnbloop.wav and loop.wav)\r\n\r\n2. Select")));
        QVERIFY(expected.contains(QStringLiteral("selecting a filter and pressing \"Del\"\r\n\r\nMore information")));
        QVERIFY(expected.endsWith(QStringLiteral("chapter 7 of the thesis.\r\n")));
        QCOMPARE(expected.count(QStringLiteral("\r\n")), 27);
        QCOMPARE(text->toPlainText(), expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(window->width(), program.window()->width() - 50);
        QCOMPARE(window->height(), program.window()->height());

        window->resize(window->width() + 77, window->height() + 33);
        QCOMPARE(text->geometry(), QRect(QPoint(0, 0), window->size()));

        // Typed changes stay while it is open; a new window starts afresh.
        text->appendPlainText(QStringLiteral("my note"));
        QTest::mouseClick(help, Qt::LeftButton);
        QVERIFY(text->toPlainText().endsWith(QStringLiteral("my note")));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!program.window()->getHelpWindow());
        QTest::mouseClick(help, Qt::LeftButton);
        QTRY_VERIFY(program.window()->getHelpWindow());
        QVERIFY(!findControl<QPlainTextEdit>(program.window()->getHelpWindow(), 1057)->toPlainText().contains(QStringLiteral("my note")));
        // It goes with the main window.
        QTest::keyClick(program.window(), Qt::Key_Escape);
        QTRY_VERIFY(!program.window()->getHelpWindow());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
