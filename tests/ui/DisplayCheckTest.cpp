// Without a screen the program says so on one line and exits with 1; Qt
// never gets to abort.

#include "ui/DisplayCheck.h"

#include <QProcess>
#include <QtTest>

#include <cstdlib>

using sonabel::DisplayCheck;

class DisplayCheckTest : public QObject {
    Q_OBJECT

    static void setOrUnset(const char* name, const QString& value) {
        if (value == QLatin1String("-"))
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }

private slots:
    void problems_data() {
        QTest::addColumn<QString>("display");  // "-": unset
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("expected"); // a piece of the line, or empty
        QTest::newRow("nothing at all") << "-" << "-" << "-" << "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        QTest::newRow("an X display nobody serves") << ":977" << "-" << "-" << "cannot connect to the display (DISPLAY=:977";
        QTest::newRow("a Wayland socket nobody serves") << "-" << "/nonexistent/wayland-9" << "-" << "cannot connect";
        QTest::newRow("a remote X display nobody serves") << "localhost:977" << "-" << "-" << "cannot connect";
        QTest::newRow("offscreen needs no display") << "-" << "-" << "offscreen" << "";
        QTest::newRow("xcb chosen without X") << "-" << "-" << "xcb" << "no display";
        QTest::newRow("xcb with only a dead X") << ":977" << "-" << "xcb:foo" << "cannot connect";
    }
    void problems() {
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(QString, platform);
        QFETCH(QString, expected);
        const QByteArray saved[] = {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("QT_QPA_PLATFORM")};
        setOrUnset("DISPLAY", display);
        setOrUnset("WAYLAND_DISPLAY", wayland);
        setOrUnset("QT_QPA_PLATFORM", platform);
        const QString problem = QString::fromStdString(DisplayCheck::problem());
        qputenv("DISPLAY", saved[0]);
        qputenv("WAYLAND_DISPLAY", saved[1]);
        qputenv("QT_QPA_PLATFORM", saved[2]);
        if (expected.isEmpty()) {
            QCOMPARE(problem, QString());
        } else {
            QVERIFY2(problem.contains(expected), qPrintable(problem));
            for (const char* alternative : {"make demo", "sonabel-render", "QT_QPA_PLATFORM=offscreen"})
                QVERIFY(problem.contains(QLatin1String(alternative)));
            QVERIFY(!problem.contains(QLatin1Char('\n')));
        }
    }

    void theProgramExitsWithOneWithoutADisplay() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QDir::tempPath());
        program.start(QStringLiteral(SONABEL_PROGRAM), {});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY(err.contains(QLatin1String("make demo")));
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }
};

QTEST_MAIN(DisplayCheckTest)
#include "DisplayCheckTest.moc"
