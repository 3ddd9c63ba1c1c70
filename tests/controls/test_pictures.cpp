// The picture types the buttons and the window draw with: PNG decoding and alpha handling,
// bitmaps with a transparent colour, and JPEG decoding.

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include "controls/bitmap.h"
#include "controls/jpeg_image.h"
#include "controls/png_image.h"
#include "picture_fixtures.h"

using namespace qb;
using qb::test::PngSpec;

namespace {

QImage canvas(int w, int h, QRgb fill) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

PngSpec paletteSpec(int bitDepth, bool withTransparency) {
    PngSpec spec;
    spec.width = 4;
    spec.height = 2;
    spec.colorType = 3;
    spec.bitDepth = bitDepth;
    spec.palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    if (withTransparency) spec.transparency = {0, 128};
    spec.pixels = {{0}, {1}, {2}, {1}, {2}, {2}, {0}, {0}};
    return spec;
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT

  private slots:
    void decodesEveryColourType();
    void paletteKeepsDepthAndTransparency();
    void interlacedPictureMatchesPlainOne();
    void addAlphaPerColourType();
    void copiesAreIndependent();
    void drawBlendsByAlpha();
    void refusesBrokenPng();
    void bitmapTransparentColourIsBottomLeft();
    void bitmapCopyRectClips();
    void decodesJpeg();
    void refusesBrokenJpeg();
};

void PictureTest::decodesEveryColourType() {
    // RGBA, as the toolbar icons are stored.
    PngImage rgba = PngImage::fromMemory(test::solidPng(3, 2, qRgba(10, 20, 30, 40)));
    QCOMPARE(rgba.width(), 3);
    QCOMPARE(rgba.height(), 2);
    QVERIFY(!rgba.isEmpty());
    QCOMPARE(rgba.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(rgba.bitDepth(), 8);
    QCOMPARE(rgba.pixel(2, 1), qRgba(10, 20, 30, 40));
    QCOMPARE(rgba.alphaAt(0, 0), 40);

    // 1-bit grey is widened to 8 bits, keeping black and white.
    PngSpec grey;
    grey.width = 2;
    grey.colorType = 0;
    grey.bitDepth = 1;
    grey.pixels = {{0}, {1}};
    PngImage g = PngImage::fromMemory(test::writePng(grey));
    QCOMPARE(g.colorType(), PngColorType::Gray);
    QCOMPARE(g.bitDepth(), 8);
    QCOMPARE(g.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(g.pixel(1, 0), qRgb(255, 255, 255));
    QVERIFY(!g.hasAlpha());
    QCOMPARE(g.alphaAt(1, 0), 255);

    // A transparent colour key becomes an alpha channel: the keyed pixel is clear.
    PngSpec keyed;
    keyed.width = 2;
    keyed.colorType = 2;
    keyed.pixels = {{1, 2, 3}, {4, 5, 6}};
    keyed.hasColorKey = true;
    keyed.keyRed = 4;
    keyed.keyGreen = 5;
    keyed.keyBlue = 6;
    PngImage k = PngImage::fromMemory(test::writePng(keyed));
    QCOMPARE(k.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(k.alphaAt(0, 0), 255);
    QCOMPARE(k.alphaAt(1, 0), 0);

    // 16-bit samples are scaled to 8.
    PngSpec deep;
    deep.colorType = 4;
    deep.bitDepth = 16;
    deep.pixels = {{0xFFFF, 0x8080}};
    PngImage d = PngImage::fromMemory(test::writePng(deep));
    QCOMPARE(d.colorType(), PngColorType::GrayAlpha);
    QCOMPARE(d.bitDepth(), 8);
    QCOMPARE(d.pixel(0, 0), qRgba(255, 255, 255, 128));
}

void PictureTest::paletteKeepsDepthAndTransparency() {
    PngImage p = PngImage::fromMemory(test::writePng(paletteSpec(2, true)));
    QCOMPARE(p.colorType(), PngColorType::Palette);
    QCOMPARE(p.bitDepth(), 2);
    QCOMPARE(p.palette().size(), std::size_t{3});
    QCOMPARE(p.transparency(), (std::vector<std::uint8_t>{0, 128}));
    QVERIFY(p.hasAlpha());
    QCOMPARE(p.pixel(0, 0), qRgba(255, 0, 0, 0));
    QCOMPARE(p.pixel(1, 0), qRgba(0, 255, 0, 128));
    // Entries past the table are opaque.
    QCOMPARE(p.pixel(2, 0), qRgba(0, 0, 255, 255));
    QCOMPARE(p.pixel(0, 1), qRgba(0, 0, 255, 255));
}

void PictureTest::interlacedPictureMatchesPlainOne() {
    QImage source(13, 9, QImage::Format_ARGB32);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) source.setPixel(x, y, qRgba(x * 19, y * 28, x * y, 200 - x));
    PngSpec spec;
    spec.width = 13;
    spec.height = 9;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            const QRgb c = source.pixel(x, y);
            spec.pixels.push_back(
                {static_cast<std::uint16_t>(qRed(c)), static_cast<std::uint16_t>(qGreen(c)),
                 static_cast<std::uint16_t>(qBlue(c)), static_cast<std::uint16_t>(qAlpha(c))});
        }
    }
    spec.interlaced = true;
    PngImage p = PngImage::fromMemory(test::writePng(spec));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) QCOMPARE(p.pixel(x, y), source.pixel(x, y));
}

void PictureTest::addAlphaPerColourType() {
    PngSpec grey;
    grey.width = 2;
    grey.colorType = 0;
    grey.pixels = {{7}, {200}};
    PngImage g = PngImage::fromMemory(test::writePng(grey));
    g.addAlpha();
    QCOMPARE(g.colorType(), PngColorType::GrayAlpha);
    QCOMPARE(g.pixel(1, 0), qRgba(200, 200, 200, 255));
    g.setAlphaAt(1, 0, 9);
    QCOMPARE(g.alphaAt(1, 0), 9);
    QCOMPARE(g.pixel(0, 0), qRgba(7, 7, 7, 255));

    PngSpec rgb;
    rgb.colorType = 2;
    rgb.pixels = {{1, 2, 3}};
    PngImage c = PngImage::fromMemory(test::writePng(rgb));
    QVERIFY(!c.hasAlpha());
    c.addAlpha();
    QCOMPARE(c.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(c.pixel(0, 0), qRgba(1, 2, 3, 255));

    // A palette without transparency gets a full opaque table of 256 entries.
    PngImage plain = PngImage::fromMemory(test::writePng(paletteSpec(4, false)));
    plain.addAlpha();
    QCOMPARE(plain.colorType(), PngColorType::Palette);
    QCOMPARE(plain.transparency(), std::vector<std::uint8_t>(256, 255));
    QCOMPARE(plain.alphaAt(0, 0), 255);

    // One that already has a table keeps it: its clear pixels stay clear.
    PngImage table = PngImage::fromMemory(test::writePng(paletteSpec(4, true)));
    table.addAlpha();
    QCOMPARE(table.transparency(), (std::vector<std::uint8_t>{0, 128}));
    QCOMPARE(table.alphaAt(0, 0), 0);
}

void PictureTest::copiesAreIndependent() {
    PngImage original = PngImage::fromMemory(test::solidPng(2, 2, qRgba(50, 60, 70, 255)));
    const QImage before = original.toImage();  // fills the drawing cache
    PngImage copy = original;
    copy.setAlphaAt(0, 0, 0);
    QCOMPARE(original.alphaAt(0, 0), 255);
    QCOMPARE(copy.alphaAt(0, 0), 0);
    QCOMPARE(original.toImage().pixel(0, 0), before.pixel(0, 0));
    QCOMPARE(qAlpha(copy.toImage().pixel(0, 0)), 0);

    PngImage assigned;
    QVERIFY(assigned.isEmpty());
    assigned = copy;
    QCOMPARE(assigned.width(), 2);
    QCOMPARE(assigned.alphaAt(0, 0), 0);
}

void PictureTest::drawBlendsByAlpha() {
    PngImage half = PngImage::fromMemory(test::solidPng(2, 2, qRgba(255, 0, 0, 128)));
    QImage target = canvas(6, 6, qRgb(0, 0, 255));
    {
        QPainter p(&target);
        half.draw(p, 3, 3);
    }
    QCOMPARE(target.pixel(2, 2), qRgb(0, 0, 255));
    QVERIFY2(near(target.pixel(3, 3), qRgb(128, 0, 127), 2),
             qPrintable(QString::number(target.pixel(3, 3), 16)));
    QVERIFY(near(target.pixel(4, 4), qRgb(128, 0, 127), 2));
    QCOMPARE(target.pixel(5, 5), qRgb(0, 0, 255));

    // Drawing an empty picture is harmless.
    QPainter p(&target);
    PngImage().draw(p, 0, 0);
}

void PictureTest::refusesBrokenPng() {
    const QByteArray good = test::solidPng(8, 8, qRgb(1, 2, 3));
    const auto refuses = [](const QByteArray& data, const char* expected) {
        try {
            PngImage::fromMemory(data, "icon.png");
        } catch (const PngError& e) {
            const QString message = QString::fromStdString(e.what());
            QVERIFY2(message.contains("icon.png") && message.contains(expected),
                     qPrintable(message));
            return;
        }
        QFAIL("a broken picture was accepted");
    };
    refuses(QByteArray("GIF89a not a png"), "not a PNG file");
    refuses(QByteArray(), "not a PNG file");
    refuses(good.left(good.size() / 2), "ends in the middle");

    // A flipped byte in the image data fails its checksum.
    QByteArray corrupt = good;
    const qsizetype idat = corrupt.indexOf("IDAT");
    corrupt[idat + 6] = static_cast<char>(corrupt[idat + 6] ^ 0x55);
    QVERIFY_THROWS_EXCEPTION(PngError, PngImage::fromMemory(corrupt));

    // Absurd dimensions are refused before any memory is taken for them.
    PngSpec huge;
    huge.pixels = {{0, 0, 0, 0}};
    QByteArray big = test::writePng(huge);
    big[16] = 0x7F;  // width 0x7F000001
    QVERIFY_THROWS_EXCEPTION(PngError, PngImage::fromMemory(big));

    try {
        PngImage::fromFile("/nonexistent/add.png");
        QFAIL("a missing file was accepted");
    } catch (const PngError& e) {
        QVERIFY(QString::fromStdString(e.what()).contains("/nonexistent/add.png"));
    }
}

void PictureTest::bitmapTransparentColourIsBottomLeft() {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(255, 0, 255));
    source.setPixel(1, 0, qRgb(10, 10, 10));
    source.setPixel(2, 1, qRgb(20, 20, 20));
    Bitmap bitmap(source);
    QCOMPARE(bitmap.transparentColor(), qRgb(255, 0, 255));

    QImage target = canvas(3, 2, qRgb(0, 128, 0));
    {
        QPainter p(&target);
        bitmap.draw(p, 0, 0);
    }
    QCOMPARE(target.pixel(0, 0), qRgb(255, 0, 255));  // not marked: everything is drawn

    bitmap.setTransparent(true);
    target.fill(qRgb(0, 128, 0));
    {
        QPainter p(&target);
        bitmap.draw(p, 0, 0);
    }
    QCOMPARE(target.pixel(0, 0), qRgb(0, 128, 0));
    QCOMPARE(target.pixel(0, 1), qRgb(0, 128, 0));
    QCOMPARE(target.pixel(1, 0), qRgb(10, 10, 10));
    QCOMPARE(target.pixel(2, 1), qRgb(20, 20, 20));
}

void PictureTest::bitmapCopyRectClips() {
    QImage source(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) source.setPixel(x, y, qRgb(x * 10, y * 10, 99));
    const Bitmap sheet(source);

    // The rectangle hangs over the sheet's right and bottom edges.
    Bitmap cut(3, 3);
    cut.copyRect(0, 0, sheet, QRect(2, 2, 3, 3));
    QCOMPARE(cut.pixel(0, 0), qRgb(20, 20, 99));
    QCOMPARE(cut.pixel(1, 1), qRgb(30, 30, 99));
    QCOMPARE(cut.pixel(2, 0), 0u);  // outside the sheet: left clear
    QCOMPARE(cut.pixel(0, 2), 0u);

    // Off the top-left too, and into an offset destination.
    Bitmap shifted(4, 4);
    shifted.copyRect(1, 1, sheet, QRect(-1, -1, 3, 3));
    QCOMPARE(shifted.pixel(1, 1), 0u);
    QCOMPARE(shifted.pixel(2, 2), qRgb(0, 0, 99));
    QCOMPARE(shifted.pixel(3, 3), qRgb(10, 10, 99));

    // Clear pixels are not drawn even when the bitmap is not marked transparent.
    QImage target = canvas(3, 3, qRgb(1, 2, 3));
    QPainter p(&target);
    cut.draw(p, 0, 0);
    QCOMPARE(target.pixel(2, 2), qRgb(1, 2, 3));
    QCOMPARE(target.pixel(0, 0), qRgb(20, 20, 99));
}

void PictureTest::decodesJpeg() {
    QImage source(16, 8, QImage::Format_RGB32);
    source.fill(qRgb(200, 40, 40));
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) source.setPixel(x, y, qRgb(30, 60, 220));

    const QImage colour = decodeJpeg(test::writeJpeg(source, false));
    QCOMPARE(colour.size(), QSize(16, 8));
    QVERIFY(near(colour.pixel(2, 2), qRgb(200, 40, 40), 12));
    QVERIFY(near(colour.pixel(13, 5), qRgb(30, 60, 220), 12));

    const QImage grey = decodeJpeg(test::writeJpeg(source, true));
    QVERIFY(near(grey.pixel(2, 2), qRgb(40, 40, 40), 12));

    QTemporaryDir dir;
    const QString path = dir.filePath("header.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(test::writeJpeg(source, false));
    file.close();
    const Bitmap bitmap = loadJpegBitmap(path);
    QCOMPARE(bitmap.width(), 16);
    QVERIFY(!bitmap.transparent());
    QVERIFY(near(bitmap.pixel(13, 5), qRgb(30, 60, 220), 12));
}

void PictureTest::refusesBrokenJpeg() {
    QImage source(32, 32, QImage::Format_RGB32);
    source.fill(qRgb(1, 2, 3));
    const QByteArray good = test::writeJpeg(source, false);
    QVERIFY_THROWS_EXCEPTION(JpegError, decodeJpeg(QByteArray("\x89PNG....")));
    QVERIFY_THROWS_EXCEPTION(JpegError, decodeJpeg(good.left(good.size() - 40), "cut.jpg"));
    QVERIFY_THROWS_EXCEPTION(JpegError, decodeJpeg(good.left(20)));
    QByteArray scrambled = good;
    for (qsizetype i = 3; i < 200 && i < scrambled.size(); i += 3) scrambled[i] = '\xFF';
    QVERIFY_THROWS_EXCEPTION(JpegError, decodeJpeg(scrambled));
    try {
        loadJpeg("/nonexistent/header.jpg");
        QFAIL("a missing file was accepted");
    } catch (const JpegError& e) {
        QVERIFY(QString::fromStdString(e.what()).contains("/nonexistent/header.jpg"));
    }
}

QTEST_MAIN(PictureTest)
#include "test_pictures.moc"
