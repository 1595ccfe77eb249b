// The pictures compiled into the interface, read back by Qt's own PNG
// decoder, and the packer that makes them (tools/pack_indexed_png.py) checked
// against the same decoder.

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

// WCAG relative luminance of an sRGB colour, 0 (black) to 1 (white).
double luminance(QRgb rgb) {
    const auto channel = [](int v) {
        const double c = v / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT
private slots:
    // The pictures live in the static interface library, whose resource
    // object the linker leaves out unless something names it.
    void initTestCase() { Q_INIT_RESOURCE(sonabel); }

    void picturesAreIndexedPngsOfTheirSize_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("background") << ":/images/background.png" << QSize(610, 240);
        QTest::newRow("icon") << ":/images/sonabel.png" << QSize(256, 256);
    }
    void picturesAreIndexedPngsOfTheirSize() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path + " does not load"));
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        QCOMPARE(image.colorCount(), 256);
    }

    // Labels and check boxes are drawn straight onto the background: black
    // text must keep a contrast of at least 7:1 (WCAG's enhanced level) on
    // every colour it can land on.
    void blackTextStaysReadableOnTheBackground() {
        const QImage image(":/images/background.png");
        QVERIFY(!image.isNull());
        double darkest = 1.0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) darkest = std::min(darkest, luminance(image.pixel(x, y)));
        const double contrast = (darkest + 0.05) / 0.05;
        QVERIFY2(contrast >= 7.0, qPrintable(QString("contrast %1:1").arg(contrast)));
    }

    // An odd width (rows are not word-aligned), a short palette, and every
    // index and colour as the netpbm input gave them.
    void packerWritesWhatQtReads() {
        const QString packer = QFINDTESTDATA("../../tools/pack_indexed_png.py");
        QVERIFY(!packer.isEmpty());
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const int width = 7, height = 5, colours = 40;
        QByteArray indexes = QByteArray("P5\n# indexes\n7 5\n255\n");
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) indexes.append(char((x * 3 + y * 11) % colours));
        QByteArray palette = QByteArray("P6\n40 1\n255\n");
        for (int k = 0; k < colours; ++k) palette.append(char(k * 6)).append(char(255 - k)).append(char(k * k % 256));
        QVERIFY(writeFile(dir.filePath("in.pgm"), indexes));
        QVERIFY(writeFile(dir.filePath("in.ppm"), palette));

        QCOMPARE(QProcess::execute("/usr/bin/python3", {packer, dir.filePath("in.pgm"), dir.filePath("in.ppm"),
                                                         dir.filePath("out.png")}),
                 0);
        const QImage image(dir.filePath("out.png"));
        QVERIFY(!image.isNull());
        QCOMPARE(image.format(), QImage::Format_Indexed8);
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.colorCount(), colours);
        for (int k = 0; k < colours; ++k) QCOMPARE(image.color(k), qRgb(k * 6, 255 - k, k * k % 256));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) QCOMPARE(image.pixelIndex(x, y), (x * 3 + y * 11) % colours);

    }
};

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
