// The picture types the buttons and the window draw with: PNG decoding and alpha handling,
// bitmaps with a transparent colour, and JPEG decoding.

#include <QPainter>
#include <QtTest>

#include "controls/bitmap.h"
#include "controls/jpeg_image.h"
#include "controls/png_image.h"
#include "picture_fixtures.h"

using namespace qb;
using qb::test::PngRecipe;

namespace {

bool near(QRgb a, QRgb b, int tolerance = 12) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

PngImage decode(const PngRecipe& recipe) {
    return PngImage::fromMemory(test::writePng(recipe));
}

const PngRecipe kPalette{
    4, 1, 3, 2, {{0}, {1}, {2}, {1}}, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}};

template <typename Error, typename F>
QString errorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return QString::fromStdString(e.what());
    }
    return "no error";
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT

  private slots:
    void decodesColourTypes();
    void addAlphaAndCopies();
    void drawBlendsByAlpha();
    void refusesBrokenPng();
    void bitmaps();
    void jpeg();
};

void PictureTest::decodesColourTypes() {
    const PngImage rgba = PngImage::fromMemory(test::solidPng(3, 2, qRgba(10, 20, 30, 40)));
    QCOMPARE(QSize(rgba.width(), rgba.height()), QSize(3, 2));
    QCOMPARE(rgba.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(rgba.pixel(2, 1), qRgba(10, 20, 30, 40));

    // 1-bit grey is widened to 8 bits.
    const PngImage grey = decode({2, 1, 0, 1, {{0}, {1}}});
    QCOMPARE(grey.colorType(), PngColorType::Gray);
    QCOMPARE(grey.bitDepth(), 8);
    QCOMPARE(grey.pixel(1, 0), qRgb(255, 255, 255));
    QCOMPARE(grey.alphaAt(1, 0), 255);

    // A transparent colour key becomes an alpha channel.
    PngRecipe keyed{2, 1, 2, 8, {{1, 2, 3}, {4, 5, 6}}};
    keyed.colorKey = {4, 5, 6};
    const PngImage k = decode(keyed);
    QCOMPARE(k.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(k.alphaAt(0, 0), 255);
    QCOMPARE(k.alphaAt(1, 0), 0);

    // 16-bit samples are scaled to 8.
    const PngImage deep = decode({1, 1, 4, 16, {{0xFFFF, 0x8080}}});
    QCOMPARE(deep.bitDepth(), 8);
    QCOMPARE(deep.pixel(0, 0), qRgba(255, 255, 255, 128));

    // A palette keeps its depth and table; entries past the table are opaque.
    PngRecipe indexed = kPalette;
    indexed.transparency = {0, 128};
    const PngImage p = decode(indexed);
    QCOMPARE(p.colorType(), PngColorType::Palette);
    QCOMPARE(p.bitDepth(), 2);
    QCOMPARE(p.palette().size(), std::size_t{3});
    QCOMPARE(p.pixel(0, 0), qRgba(255, 0, 0, 0));
    QCOMPARE(p.pixel(1, 0), qRgba(0, 255, 0, 128));
    QCOMPARE(p.pixel(2, 0), qRgba(0, 0, 255, 255));
}

void PictureTest::addAlphaAndCopies() {
    PngImage grey = decode({2, 1, 0, 8, {{7}, {200}}});
    grey.addAlpha();
    QCOMPARE(grey.colorType(), PngColorType::GrayAlpha);
    QCOMPARE(grey.pixel(1, 0), qRgba(200, 200, 200, 255));

    PngImage rgb = decode({1, 1, 2, 8, {{1, 2, 3}}});
    rgb.addAlpha();
    QCOMPARE(rgb.colorType(), PngColorType::RgbAlpha);
    QCOMPARE(rgb.pixel(0, 0), qRgba(1, 2, 3, 255));

    PngImage plain = decode(kPalette);
    plain.addAlpha();
    QCOMPARE(plain.transparency(), std::vector<std::uint8_t>(256, 255));
    // A palette that has a table keeps it, so its clear pixels stay clear.
    PngRecipe withTable = kPalette;
    withTable.transparency = {0};
    PngImage table = decode(withTable);
    table.addAlpha();
    QCOMPARE(table.alphaAt(0, 0), 0);

    // Copies are independent, drawing cache included.
    const QRgb before = rgb.toImage().pixel(0, 0);
    PngImage copy = rgb;
    copy.setAlphaAt(0, 0, 0);
    QCOMPARE(rgb.alphaAt(0, 0), 255);
    QCOMPARE(rgb.toImage().pixel(0, 0), before);
    QCOMPARE(qAlpha(copy.toImage().pixel(0, 0)), 0);
}

void PictureTest::drawBlendsByAlpha() {
    const PngImage half = PngImage::fromMemory(test::solidPng(2, 2, qRgba(255, 0, 0, 128)));
    QImage target(6, 6, QImage::Format_RGB32);
    target.fill(qRgb(0, 0, 255));
    QPainter p(&target);
    half.draw(p, 3, 3);
    PngImage().draw(p, 0, 0);
    p.end();
    QCOMPARE(target.pixel(2, 2), qRgb(0, 0, 255));
    QVERIFY(near(target.pixel(3, 3), qRgb(128, 0, 127), 2));
    QVERIFY(near(target.pixel(4, 4), qRgb(128, 0, 127), 2));
    QCOMPARE(target.pixel(5, 5), qRgb(0, 0, 255));
}

void PictureTest::refusesBrokenPng() {
    const QByteArray good = test::solidPng(8, 8, qRgb(1, 2, 3));
    const auto error = [](const QByteArray& data) {
        return errorOf<PngError>([&] { PngImage::fromMemory(data, "icon.png"); });
    };
    QCOMPARE(error("GIF89a"), QString("Cannot read PNG picture icon.png: not a PNG file"));
    QVERIFY(error(good.left(good.size() / 2)).contains("ends in the middle"));
    QByteArray corrupt = good;  // a flipped byte in the image data fails its checksum
    corrupt[corrupt.indexOf("IDAT") + 6] ^= 0x55;
    QVERIFY(error(corrupt).startsWith("Cannot read PNG picture icon.png: "));
    QByteArray huge = good;  // width 0x7F000008: refused before memory is taken for it
    huge[16] = 0x7F;
    QVERIFY(error(huge).startsWith("Cannot read PNG picture icon.png: "));
    QVERIFY(errorOf<PngError>([] {
                PngImage::fromFile("/nonexistent/add.png");
            }).contains("/nonexistent/add.png"));
}

void PictureTest::bitmaps() {
    QImage source(4, 3, QImage::Format_RGB32);
    source.fill(qRgb(255, 0, 255));
    source.setPixel(1, 0, qRgb(10, 10, 10));
    Bitmap bitmap(source);
    QCOMPARE(bitmap.transparentColor(), qRgb(255, 0, 255));
    const auto drawn = [](const Bitmap& b) {
        QImage target(b.width(), b.height(), QImage::Format_RGB32);
        target.fill(qRgb(0, 128, 0));
        QPainter p(&target);
        b.draw(p, 0, 0);
        return target;
    };
    QCOMPARE(drawn(bitmap).pixel(0, 0), qRgb(255, 0, 255));
    bitmap.setTransparent(true);
    QCOMPARE(drawn(bitmap).pixel(0, 0), qRgb(0, 128, 0));
    QCOMPARE(drawn(bitmap).pixel(1, 0), qRgb(10, 10, 10));

    // A rectangle over the edges copies what lies inside; the rest stays clear and undrawn.
    Bitmap cut(3, 3);
    cut.copyRect(0, 0, bitmap, QRect(-1, 0, 3, 3));
    QCOMPARE(cut.pixel(0, 0), 0u);
    QCOMPARE(cut.pixel(1, 0), qRgb(255, 0, 255));
    QCOMPARE(cut.pixel(2, 0), qRgb(10, 10, 10));
    QCOMPARE(drawn(cut).pixel(0, 1), qRgb(0, 128, 0));
}

void PictureTest::jpeg() {
    QImage source(16, 8, QImage::Format_RGB32);
    source.fill(qRgb(200, 40, 40));
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) source.setPixel(x, y, qRgb(30, 60, 220));
    const QByteArray colour = test::writeJpeg(source, false);
    const QImage decoded = decodeJpeg(colour);
    QCOMPARE(decoded.size(), QSize(16, 8));
    QVERIFY(near(decoded.pixel(2, 2), qRgb(200, 40, 40)));
    QVERIFY(near(decoded.pixel(13, 5), qRgb(30, 60, 220)));
    const QImage grey = decodeJpegBitmap(test::writeJpeg(source, true)).image();
    const int g = qGray(source.convertToFormat(QImage::Format_Grayscale8).pixel(2, 2));
    QVERIFY(near(grey.pixel(2, 2), qRgb(g, g, g)));

    const auto error = [](const QByteArray& data) {
        return errorOf<JpegError>([&] { decodeJpeg(data, "cut.jpg"); });
    };
    QCOMPARE(error("\x89PNG"), QString("Cannot read JPEG picture cut.jpg: not a JPEG file"));
    QVERIFY(error(colour.left(colour.size() - 8)).contains("ends in the middle"));
    QVERIFY(error(colour.left(20)).startsWith("Cannot read JPEG picture cut.jpg: "));
    QVERIFY(errorOf<JpegError>([] {
                loadJpeg("/nonexistent/header.jpg");
            }).contains("/nonexistent/header.jpg"));
}

QTEST_MAIN(PictureTest)
#include "test_pictures.moc"
