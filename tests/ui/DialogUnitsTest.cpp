// The dialog-unit conversion: proportional to the font, and rounded as the
// layouts expect.

#include "ui/DialogUnits.h"

#include <QApplication>
#include <QtTest>

using sonabel::DialogUnits;

class DialogUnitsTest : public QObject {
    Q_OBJECT
private slots:
    void scalesWithTheFont() {
        QFont small = QApplication::font();
        small.setPointSize(8);
        QFont large = small;
        large.setPointSize(16);
        const DialogUnits a(small);
        const DialogUnits b(large);
        QVERIFY(b.baseWidth() > a.baseWidth());
        QVERIFY(b.baseHeight() > a.baseHeight());
        // The main window's 404 x 146 keeps its shape within a pixel's rounding.
        const double ratioA = double(a.x(404)) / a.y(146);
        const double ratioB = double(b.x(404)) / b.y(146);
        QVERIFY(qAbs(ratioA - ratioB) < 0.25);
        QCOMPARE(a.rect(5, 10, 120, 40), QRect(a.x(5), a.y(10), a.x(120), a.y(40)));
        QCOMPARE(a.x(0), 0);
        QCOMPARE(a.x(4), a.baseWidth());
        QCOMPARE(a.y(8), a.baseHeight());
    }
};

QTEST_MAIN(DialogUnitsTest)
#include "DialogUnitsTest.moc"
