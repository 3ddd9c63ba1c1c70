// Draws every picture of the window's skin into one folder.
//
// The pictures are committed beside this program and compiled into the window as resources, so
// this only runs when the look changes:
//     cmake -DQB_BUILD_SKIN_GENERATOR=ON ... && build/bin/quirebind-skin skin
// Everything is drawn from the palette below, so one change of colour carries through the
// header, the borders, the footer, the icons and the window-button sprite sheet alike.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <cmath>
#include <functional>

#include "platform/build_info.h"

namespace {

// Palette: a deep ink-blue frame around light working areas, amber for the one action that
// matters ("Convert") and for the brand, green and red for adding and removing.
const QColor kInkTop(0x26, 0x38, 0x63);
const QColor kInkBottom(0x19, 0x26, 0x47);
const QColor kInkFrame(0x19, 0x26, 0x47);
const QColor kBand(0x12, 0x1C, 0x36);
const QColor kInkLine(0x34, 0x4A, 0x7C);
const QColor kMuted(0x93, 0xA6, 0xCF);
const QColor kAmber(0xF5, 0xB7, 0x3F);
const QColor kAmberDeep(0xE0, 0x8E, 0x1E);
const QColor kGreen(0x35, 0xB8, 0x72);
const QColor kRed(0xE5, 0x48, 0x4D);
const QColor kRedDeep(0xB5, 0x2F, 0x35);
const QColor kBlue(0x3D, 0x6B, 0xE0);
const QColor kSlate(0xA9, 0xBB, 0xDF);
const QColor kPaper(0xF3, 0xF6, 0xFB);
const QColor kHeadingText(0x22, 0x33, 0x5C);

// The header's ink runs from kInkTop at the top to kInkBottom above the band; every header
// piece uses the same vertical ramp so that they meet without a seam.
constexpr int kBandTop = 106;
constexpr int kHeaderHeight = 135;

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t),
                            static_cast<float>(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor inkAt(int y) {
    return mix(kInkTop, kInkBottom, std::clamp(y / double(kBandTop - 1), 0.0, 1.0));
}

QFont sans(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// 1 for the pictures of an ordinary screen, 2 for their twins used on scaled screens. Every
// picture is drawn in its 1x coordinates; the canvas's pixel ratio makes the painter draw
// the same shapes and words with twice the pixels, so the two sets cannot drift apart.
int g_scale = 1;

QImage canvas(int w, int h, QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage image(w * g_scale, h * g_scale, format);
    image.setDevicePixelRatio(g_scale);
    image.fill(Qt::transparent);
    return image;
}

// The header ramp with the band below it: the part of every header piece that carries no
// drawing of its own.
void paintHeaderGround(QPainter& p, int width) {
    for (int y = 0; y < kBandTop; ++y) p.fillRect(0, y, width, 1, inkAt(y));
    p.fillRect(0, kBandTop, width, kHeaderHeight - kBandTop, kBand);
    // A hairline of light where the ink meets the band gives the band an edge.
    p.fillRect(0, kBandTop, width, 1, kInkLine);
}

// The program's mark: a bound stack of pages on an amber tile. Drawn as vectors so that the
// 16, 32 and 48 pixel icons and the one in the header come from the same shapes.
void drawMark(QPainter& p, const QRectF& r) {
    const double s = r.width();
    QPainterPath tile;
    tile.addRoundedRect(r, s * 0.22, s * 0.22);
    QLinearGradient tileFill(r.topLeft(), r.bottomLeft());
    tileFill.setColorAt(0, kAmber);
    tileFill.setColorAt(1, kAmberDeep);
    p.fillPath(tile, tileFill);

    // Pages: three sheets fanned slightly, the front one carrying lines of text.
    const QRectF page(r.left() + s * 0.30, r.top() + s * 0.20, s * 0.50, s * 0.62);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawRoundedRect(page.translated(s * 0.07, -s * 0.05), s * 0.05, s * 0.05);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawRoundedRect(page.translated(s * 0.035, -s * 0.025), s * 0.05, s * 0.05);
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, s * 0.05, s * 0.05);

    // The binding: an ink spine down the left of the pages.
    p.setBrush(kInkBottom);
    p.drawRoundedRect(
        QRectF(r.left() + s * 0.20, page.top() - s * 0.02, s * 0.16, page.height() + s * 0.04),
        s * 0.04, s * 0.04);
    if (s >= 20) {
        p.setBrush(kSlate);
        const double lineH = std::max(1.0, s * 0.05);
        for (int i = 0; i < 4; ++i) {
            const double y = page.top() + s * 0.12 + i * s * 0.11;
            const double w = (i == 3 ? 0.55 : 0.8) * (page.width() - s * 0.16);
            p.drawRect(QRectF(page.left() + s * 0.10, y, w, lineH));
        }
    }
}

void drawCentredText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
                     const QColor& colour, Qt::Alignment align = Qt::AlignCenter) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, align, text);
}

// ---- header, footer, borders -------------------------------------------------------------

QImage headerLeft() {
    QImage image = canvas(333, kHeaderHeight, QImage::Format_RGB32);
    QPainter p(&image);
    prepare(p);
    paintHeaderGround(p, image.width());

    drawMark(p, QRectF(12, 8, 24, 24));
    drawCentredText(p, QRectF(44, 6, 140, 28), QStringLiteral("Quirebind"), sans(17, true),
                    Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
    drawCentredText(p, QRectF(138, 6, 180, 28), QStringLiteral("plain text \u2192 EPUB"), sans(11),
                    kMuted, Qt::AlignLeft | Qt::AlignVCenter);

    // A shelf behind the toolbar buttons: they are flat, so this is what tells them apart from
    // the brand line above.
    QPainterPath shelf;
    shelf.addRoundedRect(QRectF(4.5, 38.5, 322, 62), 7, 7);
    p.fillPath(shelf, QColor(255, 255, 255, 14));
    p.setPen(QPen(QColor(255, 255, 255, 26), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shelf);

    // The option column's heading sits on the band, over the column itself (0..171).
    p.fillRect(QRectF(0, kBandTop + 1, 171, kHeaderHeight - kBandTop - 1),
               QColor(0x1C, 0x2B, 0x52));
    p.fillRect(QRectF(14, kBandTop + 9, 3, 12), kAmber);
    drawCentredText(p, QRectF(23, kBandTop + 1, 140, kHeaderHeight - kBandTop - 1),
                    QStringLiteral("Option"), sans(13, true), Qt::white,
                    Qt::AlignLeft | Qt::AlignVCenter);
    // The working area (from 171 on) gets a quieter heading of its own, so the band does not
    // read as an empty bar over the list.
    drawCentredText(p, QRectF(184, kBandTop + 1, 140, kHeaderHeight - kBandTop - 1),
                    QStringLiteral("Text files"), sans(13, true), kMuted,
                    Qt::AlignLeft | Qt::AlignVCenter);
    return image;
}

QImage headerFill() {
    QImage image = canvas(6, kHeaderHeight, QImage::Format_RGB32);
    QPainter p(&image);
    paintHeaderGround(p, image.width());
    return image;
}

QImage headerRight() {
    QImage image = canvas(180, kHeaderHeight, QImage::Format_RGB32);
    QPainter p(&image);
    prepare(p);
    paintHeaderGround(p, image.width());
    // Faint quire lines: folded sheets seen from the edge, fading towards the window buttons.
    for (int i = 0; i < 6; ++i) {
        QPainterPath fold;
        const double x = 30 + i * 18;
        fold.moveTo(x, kBandTop - 1);
        fold.quadTo(x + 40, 62, x + 150, 44 + i * 3);
        p.setPen(QPen(QColor(255, 255, 255, 10 + i * 2), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(fold);
    }
    return image;
}

QImage footerLeft() {
    QImage image = canvas(227, 45, QImage::Format_RGB32);
    QPainter p(&image);
    prepare(p);
    image.fill(kInkFrame);
    drawMark(p, QRectF(14, 15, 14, 14));
    drawCentredText(p, QRectF(34, 0, 190, 45),
                    QStringLiteral("Quirebind ") + QString::fromLatin1(qb::kShortVersion),
                    sans(11, true), kMuted, Qt::AlignLeft | Qt::AlignVCenter);
    return image;
}

QImage footerFill() {
    QImage image = canvas(7, 45, QImage::Format_RGB32);
    image.fill(kInkFrame);
    return image;
}

QImage footerRight() {
    QImage image = canvas(69, 45, QImage::Format_RGB32);
    image.fill(kInkFrame);
    QPainter p(&image);
    prepare(p);
    // The window's corner is cut round; a rim of light follows the curve so that the cut looks
    // intended rather than clipped.
    QPainterPath rim;
    rim.moveTo(68.5, 0);
    rim.lineTo(68.5, 38);
    rim.quadTo(68.5, 44.5, 62, 44.5);
    rim.lineTo(0, 44.5);
    p.setPen(QPen(kInkLine, 1));
    p.drawPath(rim);
    return image;
}

QImage strip(int w, int h, const std::function<void(QPainter&, int, int)>& extra = {}) {
    QImage image = canvas(w, h, QImage::Format_RGB32);
    image.fill(kInkFrame);
    if (extra) {
        QPainter p(&image);
        extra(p, w, h);
    }
    return image;
}

// Heading bars of the option column. Drawn at their natural size into a narrower slot, so the
// text and the accent sit at the left and nothing important lies beyond 140 pixels.
QImage headingBar(const QString& text) {
    QImage image = canvas(167, 24, QImage::Format_RGB32);
    QPainter p(&image);
    prepare(p);
    QLinearGradient fill(0, 0, 0, 24);
    fill.setColorAt(0, QColor(0xE9, 0xEE, 0xF7));
    fill.setColorAt(1, QColor(0xDC, 0xE3, 0xF0));
    p.fillRect(image.rect(), fill);
    p.fillRect(QRect(0, 23, 167, 1), QColor(0xC4, 0xCF, 0xE4));
    p.fillRect(QRect(0, 0, 3, 24), kAmber);
    drawCentredText(p, QRectF(10, 0, 150, 24), text, sans(12, true), kHeadingText,
                    Qt::AlignLeft | Qt::AlignVCenter);
    return image;
}

// ---- icons ---------------------------------------------------------------------------------

QImage icon(int size, const std::function<void(QPainter&)>& draw) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    prepare(p);
    draw(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

void roundBadge(QPainter& p, const QColor& base, bool plus) {
    QRadialGradient fill(QPointF(13, 10), 20);
    fill.setColorAt(0, base.lighter(125));
    fill.setColorAt(1, base);
    p.setPen(QPen(base.darker(135), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(3.5, 3.5, 25, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(9, 14.5, 14, 3), 1.5, 1.5);
    if (plus) p.drawRoundedRect(QRectF(14.5, 9, 3, 14), 1.5, 1.5);
}

void drawDiskStack(QPainter& p) {
    // Three flat disks, drawn bottom to top so each rim overlaps the one below.
    for (int i = 2; i >= 0; --i) {
        const double top = 6 + i * 6;
        QPainterPath side;
        side.addRect(QRectF(5, top + 3, 20, 5));
        p.setPen(Qt::NoPen);
        p.setBrush(kSlate.darker(125));
        p.drawPath(side);
        p.drawEllipse(QRectF(5, top + 5, 20, 6));
        p.setBrush(kSlate);
        p.drawEllipse(QRectF(5, top, 20, 6));
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawEllipse(QRectF(10, top + 1.5, 10, 3));
    }
}

QImage iconRemoveAll() {
    return icon(32, [](QPainter& p) {
        drawDiskStack(p);
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(12, 20, 18, 7), 3.5, 3.5);
    });
}

QImage iconConvert() {
    return icon(32, [](QPainter& p) {
        // A picture: a card with a sky, a sun and a hill...
        const QRectF card(2.5, 4.5, 21, 17);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(QColor(0x9C, 0xC2, 0xF5));
        p.drawRoundedRect(card, 2.5, 2.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kAmber);
        p.drawEllipse(QRectF(15, 7.5, 5, 5));
        QPainterPath hill;
        hill.moveTo(3.5, 20.5);
        hill.lineTo(10, 12);
        hill.lineTo(14, 16.5);
        hill.lineTo(16.5, 14);
        hill.lineTo(22.5, 20.5);
        hill.closeSubpath();
        p.setBrush(kGreen);
        p.drawPath(hill);
        // ...and the arrow that turns it into a book.
        QPainterPath arrow;
        arrow.moveTo(14, 23);
        arrow.lineTo(22, 23);
        arrow.lineTo(22, 19);
        arrow.lineTo(30, 25.5);
        arrow.lineTo(22, 32 - 0.5);
        arrow.lineTo(22, 28);
        arrow.lineTo(14, 28);
        arrow.closeSubpath();
        p.setPen(QPen(kBand, 1.2));
        p.setBrush(kAmber);
        p.drawPath(arrow);
    });
}

QImage iconHome() {
    return icon(32, [](QPainter& p) {
        QPainterPath roof;
        roof.moveTo(3, 16);
        roof.lineTo(16, 4);
        roof.lineTo(29, 16);
        p.setPen(QPen(kAmber, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(roof);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPainterPath body;
        body.moveTo(7, 16);
        body.lineTo(16, 8);
        body.lineTo(25, 16);
        body.lineTo(25, 28);
        body.lineTo(7, 28);
        body.closeSubpath();
        p.drawPath(body);
        p.setBrush(kInkBottom);
        p.drawRoundedRect(QRectF(13.5, 19, 5, 9), 1, 1);
        p.setBrush(kBlue.lighter(140));
        p.drawRect(QRectF(20, 18, 3, 3));
    });
}

QImage iconFolder(const QColor& back, const QColor& front, const QColor& edge) {
    return icon(32, [&](QPainter& p) {
        QPainterPath rear;
        rear.moveTo(3, 8);
        rear.quadTo(3, 6, 5, 6);
        rear.lineTo(12, 6);
        rear.lineTo(15, 9);
        rear.lineTo(27, 9);
        rear.quadTo(29, 9, 29, 11);
        rear.lineTo(29, 25);
        rear.lineTo(3, 25);
        rear.closeSubpath();
        p.setPen(QPen(edge, 1));
        p.setBrush(back);
        p.drawPath(rear);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 11, 20, 8));
        QPainterPath flap;
        flap.moveTo(2, 14);
        flap.lineTo(30, 14);
        flap.lineTo(28.5, 26);
        flap.quadTo(28.3, 27, 27, 27);
        flap.lineTo(5, 27);
        flap.quadTo(3.7, 27, 3.5, 26);
        flap.closeSubpath();
        QLinearGradient fill(0, 14, 0, 27);
        fill.setColorAt(0, front.lighter(110));
        fill.setColorAt(1, front);
        p.setPen(QPen(edge, 1));
        p.setBrush(fill);
        p.drawPath(flap);
    });
}

QImage hintIcon() {
    return icon(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6.9, 3.2, 2.2, 2.2));
        p.drawRoundedRect(QRectF(7, 6.5, 2, 6.5), 0.8, 0.8);
    });
}

// The separator is stretched to 16 rows of which the window shows only the lower eight, so the
// second row is what the user sees: a soft band under the list, strongest in the middle.
QImage separator() {
    QImage image = canvas(126, 2, QImage::Format_ARGB32);
    for (int x = 0; x < 126; ++x) {
        const double d = std::abs(x - 62.5) / 62.5;  // 0 in the middle, 1 at the ends
        image.setPixelColor(x, 0, kInkLine);
        image.setPixelColor(x, 1, mix(QColor(0xE3, 0xE9, 0xF3), kPaper.lighter(103), d * d));
    }
    return image;
}

QImage whiteFill() {
    QImage image(12, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// ---- window buttons ------------------------------------------------------------------------

// Sheet rows: normal, pointer over, pressed; minimise in x 0..39 (the button shows the left 25
// columns), close in x 68..91. The background is one colour, the header's own ink at the height
// of the buttons: the window makes the colour of each cut picture's bottom-left pixel
// transparent, so every background pixel vanishes and the header shows through.
QColor spriteKey() {
    return inkAt(18).toRgb();
}

QImage windowButtons() {
    const QColor key = spriteKey();
    QImage image(121, 60, QImage::Format_RGB32);
    image.fill(key);
    QPainter p(&image);
    prepare(p);
    const QColor glyphNormal = kMuted;
    for (int row = 0; row < 3; ++row) {
        const double top = row * 20;
        const QRectF minCell(1, top + 1, 23, 17);
        const QRectF closeCell(69, top + 1, 22, 17);
        p.setPen(Qt::NoPen);
        if (row == 1) {
            p.setBrush(QColor(0x3A, 0x52, 0x8A));
            p.drawRoundedRect(minCell, 4, 4);
            p.setBrush(kRed);
            p.drawRoundedRect(closeCell, 4, 4);
        } else if (row == 2) {
            p.setBrush(kBand);
            p.drawRoundedRect(minCell, 4, 4);
            p.setBrush(kRedDeep);
            p.drawRoundedRect(closeCell, 4, 4);
        }
        const double shift = row == 2 ? 1 : 0;
        const QColor glyph = row == 0 ? glyphNormal : QColor(Qt::white);
        p.setPen(QPen(glyph, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8 + shift, top + 13 + shift), QPointF(17 + shift, top + 13 + shift));
        const QPointF c(80 + shift, top + 9.5 + shift);
        p.drawLine(c + QPointF(-4, -4), c + QPointF(4, 4));
        p.drawLine(c + QPointF(-4, 4), c + QPointF(4, -4));
    }
    p.end();
    // The cut pictures' bottom-left pixels (x 0 and 68, last row of each band) must stay the
    // key colour exactly, whatever the antialiasing did nearby.
    for (int row = 0; row < 3; ++row) {
        image.setPixelColor(0, row * 20 + 19, key);
        image.setPixelColor(68, row * 20 + 19, key);
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

QImage programIcon(int size) {
    return icon(size, [size](QPainter& p) {
        const double m = size <= 16 ? 0.5 : size * 0.04;
        drawMark(p, QRectF(m, m, size - 2 * m, size - 2 * m));
    });
}

bool save(const QDir& dir, const QString& name, const QImage& image, int quality = -1) {
    const QString path = dir.filePath(name);
    if (!image.save(path, nullptr, quality)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

// A contact sheet of everything drawn, enlarged, for judging the set as a whole.
QImage preview(const QDir& dir) {
    auto load = [&](const char* name) { return QImage(dir.filePath(QLatin1String(name))); };
    QImage sheet(900, 700, QImage::Format_RGB32);
    sheet.fill(QColor(0xDD, 0xDD, 0xDD));
    QPainter p(&sheet);
    p.drawImage(0, 0, load("header_left.jpg"));
    p.drawImage(QRect(333, 0, 184, 135), load("header_fill.jpg"));
    p.drawImage(517, 0, load("header_right.jpg"));
    p.drawImage(0, 140, load("footer_left.jpg"));
    p.drawImage(QRect(227, 140, 401, 45), load("footer_fill.jpg"));
    p.drawImage(628, 140, load("footer_right.jpg"));
    const char* icons[] = {"icon_add.png",         "icon_remove.png", "icon_remove_all.png",
                           "icon_convert.png",     "icon_home.png",   "icon_folder.png",
                           "icon_folder_dark.png", "hint.png",        "quirebind_48.png",
                           "quirebind_32.png",     "quirebind_16.png"};
    int x = 0;
    for (const char* name : icons) {
        const QImage image = load(name);
        p.fillRect(x, 200, 100, 100, kInkBottom);
        p.fillRect(x, 300, 100, 100, Qt::white);
        p.drawImage(QRect(x + 2, 202, image.width() * 3, image.height() * 3), image);
        p.drawImage(QRect(x + 2, 302, image.width() * 3, image.height() * 3), image);
        x += 100;
        if (x > 800) break;
    }
    p.fillRect(720, 560, 180, 140, kInkBottom);
    p.drawImage(QRect(724, 564, 96, 96), load("quirebind_48.png"));
    p.drawImage(QRect(824, 564, 64, 64), load("quirebind_32.png"));
    p.drawImage(QRect(824, 640, 32, 32), load("quirebind_16.png"));
    p.drawImage(864, 640, load("quirebind_16.png"));
    p.drawImage(QRect(0, 410, 605, 300), load("window_buttons.png"));
    p.drawImage(QRect(620, 410, 167 * 2 - 60, 48), load("heading_title.jpg"));
    p.drawImage(QRect(620, 470, 167 * 2 - 60, 48), load("heading_author.jpg"));
    p.drawImage(QRect(620, 530, 252, 32), load("separator.png"));
    return sheet;
}

// The pieces the window draws from the header, footer and border: they carry the program's
// words and curves, which a fractional screen scale blurs when it stretches 1x pixels. suffix
// is "" for the 1x set and "@2x" for the set drawn at twice the size (g_scale 2).
bool savePieces(const QDir& dir, const QString& suffix, int kJpeg) {
    auto file = [&](const char* stem) {
        return QLatin1String(stem) + suffix + QLatin1String(".jpg");
    };
    bool ok = true;
    ok &= save(dir, file("header_left"), headerLeft(), kJpeg);
    ok &= save(dir, file("header_fill"), headerFill(), kJpeg);
    ok &= save(dir, file("header_right"), headerRight(), kJpeg);
    ok &= save(dir, file("footer_left"), footerLeft(), kJpeg);
    ok &= save(dir, file("footer_fill"), footerFill(), kJpeg);
    ok &= save(dir, file("footer_right"), footerRight(), kJpeg);
    ok &= save(dir, file("border_left"), strip(8, 450), kJpeg);
    ok &= save(dir, file("border_divider"),
               strip(21, 450,
                     [](QPainter& p, int w, int h) {
                         p.fillRect(0, 0, 1, h, kInkLine.darker(115));
                         p.fillRect(w - 1, 0, 1, h, kInkLine.darker(115));
                     }),
               kJpeg);
    ok &= save(dir, file("border_right"), strip(15, 376), kJpeg);
    ok &= save(dir, file("heading_title"), headingBar(QStringLiteral("Title")), kJpeg);
    ok &= save(dir, file("heading_author"), headingBar(QStringLiteral("Author")), kJpeg);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!dir.exists()) {
        QTextStream(stderr) << "no such folder: " << dir.path() << '\n';
        return 1;
    }
    // JPEG pieces at high quality: the header pieces meet edge to edge and must not show seams.
    constexpr int kJpeg = 95;
    bool ok = true;
    ok &= savePieces(dir, QString(), kJpeg);
    ok &= save(dir, "white.jpg", whiteFill(), kJpeg);

    ok &= save(dir, "icon_add.png", icon(32, [](QPainter& p) { roundBadge(p, kGreen, true); }));
    ok &= save(dir, "icon_remove.png", icon(32, [](QPainter& p) { roundBadge(p, kRed, false); }));
    ok &= save(dir, "icon_remove_all.png", iconRemoveAll());
    ok &= save(dir, "icon_convert.png", iconConvert());
    ok &= save(dir, "icon_home.png", iconHome());
    ok &= save(dir, "icon_folder.png", iconFolder(kAmberDeep, kAmber, kAmberDeep.darker(120)));
    ok &= save(dir, "icon_folder_dark.png",
               iconFolder(kInkBottom, QColor(0x3E, 0x5A, 0x96), kInkBottom.darker(130)));
    ok &= save(dir, "hint.png", hintIcon());
    ok &= save(dir, "separator.png", separator());
    ok &= save(dir, "window_buttons.png", windowButtons());
    for (int size : {16, 32, 48})
        ok &= save(dir, QStringLiteral("quirebind_%1.png").arg(size), programIcon(size));
    g_scale = 2;
    ok &= savePieces(dir, QStringLiteral("@2x"), kJpeg);
    g_scale = 1;
    if (ok && argc > 3 && QString::fromLatin1(argv[2]) == QLatin1String("--preview"))
        ok = save(QDir::current(), QString::fromLocal8Bit(argv[3]), preview(dir));
    return ok ? 0 : 1;
}
