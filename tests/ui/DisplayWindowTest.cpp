// The display filters' windows: opened from "Show window", closed with the
// close box, and the pictures they hold after known signals, drawn on the
// interface thread or at once on the audio thread. Pictures of the windows
// go to build/screenshots.

#include "FilterBoxFixture.h"
#include "filters/AudioFilter.h"
#include "filters/BrushTable.h"
#include "ui/DisplayWindowWidget.h"
#include "ui/FilterInfo.h"
#include "ui/ParameterWindow.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace sonabel;
using namespace sonabel::test;

namespace {

enum Catalogue { Forward = 0, Inverse = 1, Denoiser = 3, WaveletDisplay = 6, TimeDisplay = 7 };

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

DisplayWindowWidget* displayWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DisplayWindowWidget*>(w); d && d->isVisible() && d->windowTitle() == title) return d;
    return nullptr;
}

QColor colour(DisplayColour c) { return QColor(c.red, c.green, c.blue); }

} // namespace

class DisplayWindowTest : public QObject {
    Q_OBJECT
private slots:
    void showWindowOpensAndTheCloseBoxUnticksIt_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("caption");
        QTest::newRow("wavelet display") << int(WaveletDisplay) << QStringLiteral("Wavelet Display");
        QTest::newRow("time display") << int(TimeDisplay) << QStringLiteral("Time domain display");
    }
    void showWindowOpensAndTheCloseBoxUnticksIt() {
        QFETCH(int, k);
        QFETCH(QString, caption);
        FilterBoxFixture f(true);
        f.filters->addFilter(k);
        f.filters->openSelected();
        ParameterWindow* w = f.filters->getEntry(0)->getWindow();
        auto* show = static_cast<QCheckBox*>(w->getControls()[0].control);
        QCOMPARE(show->text(), QStringLiteral("Show window"));
        QTest::mouseClick(show, Qt::LeftButton, {}, QPoint(4, show->height() / 2));
        settle();
        QPointer<DisplayWindowWidget> display = displayWindow(caption);
        QVERIFY(display);
        QCOMPARE(f.filters->getEntry(0)->getFilter()->getParameter(0), 1);
        display->close();
        settle();
        QVERIFY(!display);
        QVERIFY(!show->isChecked());
        QCOMPARE(f.filters->getEntry(0)->getFilter()->getParameter(0), 0);
    }

    // A constant: the finest details are 0 (brush 255), the approximations
    // far above the brightness scale (brush 510). Without a transform before
    // it, every slot is empty and drawn with brush 255.
    void scalogramColours_data() {
        QTest::addColumn<bool>("transformed");
        QTest::addColumn<bool>("synchronous");
        QTest::newRow("after a transform") << true << false;
        QTest::newRow("drawn on the audio thread") << true << true;
        QTest::newRow("no transform") << false << false;
    }
    void scalogramColours() {
        QFETCH(bool, transformed);
        QFETCH(bool, synchronous);
        ConstantReader input(0.5f);
        FilterBoxFixture f(false, &input);
        if (transformed) f.filters->addFilter(Forward);
        f.filters->addFilter(WaveletDisplay);
        AudioFilter* display = f.filters->getEntry(f.filters->getEntryCount() - 1)->getFilter();
        display->setParameter(8, synchronous ? 1 : 0);
        display->setParameter(0, 1);
        DisplayWindowWidget* window = displayWindow(QStringLiteral("Wavelet Display"));
        QVERIFY(window);
        settle();
        f.ticks(1);
        if (!synchronous) settle(); // the picture waits for the posted request
        const QImage picture = window->picture();
        QVERIFY(!picture.isNull());
        const BrushTable& brushes = BrushTable::forMode(5);
        const int x = picture.width() / 2;
        QCOMPARE(picture.pixelColor(x, 1), colour(brushes[BrushTable::zero]));
        QCOMPARE(picture.pixelColor(x, picture.height() - 2),
                 colour(brushes[transformed ? BrushTable::size - 1 : BrushTable::zero]));
    }

    // A constant 0.5 at the vertical factor 1: a white line a quarter of the
    // height above the middle, black around it.
    void timeDisplayLine() {
        ConstantReader input(0.5f);
        FilterBoxFixture f(false, &input);
        f.filters->addFilter(TimeDisplay);
        f.filters->getEntry(0)->getFilter()->setParameter(0, 1);
        DisplayWindowWidget* window = displayWindow(QStringLiteral("Time domain display"));
        QVERIFY(window);
        settle();
        f.ticks(2);
        settle();
        const QImage picture = window->picture();
        const int half = picture.height() >> 1;
        const int y = static_cast<int>(half - 0.5 * half);
        for (int x : {2, picture.width() / 2, picture.width() - 3}) {
            QCOMPARE(picture.pixelColor(x, y), QColor(Qt::white));
            QCOMPARE(picture.pixelColor(x, y + 3), QColor(Qt::black));
            QCOMPARE(picture.pixelColor(x, half), QColor(Qt::black));
        }
        // "Save picture..." keeps the exact pixels.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.png"));
        QVERIFY(window->savePicture(path));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), picture);
    }

    // The denoiser's window, the scalogram and the waveform while the test
    // sound plays through Forward -> Wavelet Display -> Denoiser -> Inverse
    // -> Time domain Display.
    void screenshots() {
        SignalReader signal;
        FilterBoxFixture f(false, &signal);
        for (int k : {Forward, WaveletDisplay, Denoiser, Inverse, TimeDisplay}) f.filters->addFilter(k);
        AudioFilter* forward = f.filters->getEntry(0)->getFilter();
        forward->setParameter(0, 9); // a longer wavelet than the first
        AudioFilter* scalogram = f.filters->getEntry(1)->getFilter();
        scalogram->setParameter(6, 9); // 10 chunks
        scalogram->setParameter(4, 20);
        scalogram->setParameter(0, 1);
        AudioFilter* waveform = f.filters->getEntry(4)->getFilter();
        waveform->setParameter(3, 3); // 4 chunks
        waveform->setParameter(0, 1);
        f.filters->getEntry(2)->getFilter()->setParameter(0, 60);
        f.filters->getEntry(2)->openWindow();
        DisplayWindowWidget* scalogramWindow = displayWindow(QStringLiteral("Wavelet Display"));
        DisplayWindowWidget* waveformWindow = displayWindow(QStringLiteral("Time domain display"));
        QVERIFY(scalogramWindow && waveformWindow);
        scalogramWindow->resize(800, 400);
        waveformWindow->resize(600, 240);
        for (int i = 0; i < 40; ++i) {
            f.ticks(1);
            settle();
        }
        const QString folder = screenshotFolder();
        QVERIFY(f.filters->getEntry(2)->getWindow()->grab().save(folder + QStringLiteral("/denoiser-parameters.png")));
        QVERIFY(scalogramWindow->picture().save(folder + QStringLiteral("/scalogram.png")));
        QVERIFY(waveformWindow->picture().save(folder + QStringLiteral("/time-display.png")));
        QVERIFY(f.window.grab().save(folder + QStringLiteral("/filter-box.png")));
        // The scalogram shows more than one colour: it drew the sound.
        const QImage picture = scalogramWindow->picture();
        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 7) colours.insert(picture.pixel(x, y));
        QVERIFY(colours.size() > 20);
    }
};

QTEST_MAIN(DisplayWindowTest)
#include "DisplayWindowTest.moc"
