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

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace sonabel;
using namespace sonabel::test;

namespace {

enum { Forward = 0, Inverse = 1, Denoiser = 3, WaveletDisplay = 6, TimeDisplay = 7 };

DisplayWindowWidget* displayWindow(const char* title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DisplayWindowWidget*>(w); d && d->isVisible() && d->windowTitle() == title) return d;
    return nullptr;
}

QColor colour(DisplayColour c) { return QColor(c.red, c.green, c.blue); }

// Adds the filters; the display among them shows its window.
DisplayWindowWidget* chainWithWindow(FilterBoxFixture& f, std::initializer_list<int> chain, int display,
                                     const char* title) {
    for (int k : chain) {
        f.filters->addFilter(k);
        if (k == display) f.filters->getEntry(f.filters->getEntryCount() - 1)->getFilter()->setParameter(0, 1);
    }
    settle();
    return displayWindow(title);
}

} // namespace

class DisplayWindowTest : public QObject {
    Q_OBJECT
private slots:
    void closeBoxUnticksShowWindow() {
        const struct { int k; const char* title; } displays[] = {{WaveletDisplay, "Wavelet Display"},
                                                                  {TimeDisplay, "Time domain display"}};
        for (const auto& d : displays) {
            FilterBoxFixture f(true);
            f.filters->addFilter(d.k);
            f.filters->openSelected();
            auto* show = static_cast<QCheckBox*>(f.filters->getEntry(0)->getWindow()->getControls()[0].control);
            QTest::mouseClick(show, Qt::LeftButton, {}, QPoint(4, show->height() / 2));
            QPointer<DisplayWindowWidget> window = displayWindow(d.title);
            QVERIFY(window);
            window->close();
            settle();
            QVERIFY(!window);
            QVERIFY(!show->isChecked());
            QCOMPARE(f.filters->getEntry(0)->getFilter()->getParameter(0), 0);
        }
    }

    // A constant: the finest details are 0 (brush 255), the approximations
    // far above the brightness scale (brush 510); with no transform before
    // the display every slot is empty (brush 255).
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
        DisplayWindowWidget* window = transformed
                                          ? chainWithWindow(f, {Forward, WaveletDisplay}, WaveletDisplay, "Wavelet Display")
                                          : chainWithWindow(f, {WaveletDisplay}, WaveletDisplay, "Wavelet Display");
        QVERIFY(window);
        f.filters->getEntry(f.filters->getEntryCount() - 1)->getFilter()->setParameter(8, synchronous);
        f.ticks(1);
        if (!synchronous) settle(); // the picture waits for the posted request
        const QImage picture = window->picture();
        const BrushTable& brushes = BrushTable::forMode(5);
        const int x = picture.width() / 2;
        QCOMPARE(picture.pixelColor(x, 1), colour(brushes[BrushTable::zero]));
        QCOMPARE(picture.pixelColor(x, picture.height() - 2), colour(brushes[transformed ? 510 : BrushTable::zero]));
    }

    // A constant 0.5 at factor 1: a white line a quarter of the height above
    // the middle, black around it; "Save picture..." keeps the exact pixels.
    void waveformLineAndSavedPicture() {
        ConstantReader input(0.5f);
        FilterBoxFixture f(false, &input);
        DisplayWindowWidget* window = chainWithWindow(f, {TimeDisplay}, TimeDisplay, "Time domain display");
        QVERIFY(window);
        f.ticks(2);
        settle();
        const QImage picture = window->picture();
        const int half = picture.height() >> 1;
        for (int x : {2, picture.width() / 2, picture.width() - 3}) {
            QCOMPARE(picture.pixelColor(x, half / 2), QColor(Qt::white));
            QCOMPARE(picture.pixelColor(x, half / 2 + 3), QColor(Qt::black));
        }
        QTemporaryDir dir;
        QVERIFY(window->savePicture(dir.filePath(QStringLiteral("line.png"))));
        QCOMPARE(QImage(dir.filePath(QStringLiteral("line.png"))).convertToFormat(QImage::Format_RGB32), picture);
    }

    // The denoiser's window, the scalogram and the waveform while the test
    // sound plays through Forward -> Wavelet Display -> Denoiser -> Inverse
    // -> Time domain Display.
    void screenshots() {
        SignalReader signal;
        FilterBoxFixture f(false, &signal);
        for (int k : {Forward, WaveletDisplay, Denoiser, Inverse, TimeDisplay}) f.filters->addFilter(k);
        const int settings[][3] = {{0, 0, 9}, {1, 6, 9}, {1, 4, 20}, {1, 0, 1}, {2, 0, 60}, {4, 3, 3}, {4, 0, 1}};
        for (const auto& s : settings) f.filters->getEntry(s[0])->getFilter()->setParameter(s[1], s[2]);
        f.filters->getEntry(2)->openWindow();
        DisplayWindowWidget* scalogram = displayWindow("Wavelet Display");
        DisplayWindowWidget* waveform = displayWindow("Time domain display");
        QVERIFY(scalogram && waveform);
        scalogram->resize(800, 400);
        waveform->resize(600, 240);
        for (int i = 0; i < 40; ++i) f.ticks(1), settle();
        const QString folder = screenshotFolder();
        QVERIFY(f.filters->getEntry(2)->getWindow()->grab().save(folder + QStringLiteral("/denoiser-parameters.png")));
        QVERIFY(scalogram->picture().save(folder + QStringLiteral("/scalogram.png")));
        QVERIFY(waveform->picture().save(folder + QStringLiteral("/time-display.png")));
        QSet<QRgb> colours; // the scalogram drew the sound, not one flat colour
        const QImage picture = scalogram->picture();
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 7) colours.insert(picture.pixel(x, y));
        QVERIFY(colours.size() > 20);
    }
};

QTEST_MAIN(DisplayWindowTest)
#include "DisplayWindowTest.moc"
