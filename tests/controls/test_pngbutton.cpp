// The image push button: what it draws over its parent in each state, and the events it
// reports for mouse sequences driven through Qt's own event routing.

#include <QPainter>
#include <QtTest>

#include "controls/pngextra.h"
#include "picture_fixtures.h"

using namespace qb;

namespace {

const QRgb kBackground = qRgb(10, 20, 30);
// Distinct colours for the roles the frames use, so a mixed-up role shows.
const QRgb kLight = qRgb(255, 255, 0);
const QRgb kMidlight = qRgb(255, 128, 0);
const QRgb kDark = qRgb(0, 0, 255);
const QRgb kShadow = qRgb(255, 0, 0);
const QRgb kFace = qRgb(0, 255, 0);
const QRgb kGreyText = qRgb(128, 128, 128);
const QRgb kCaption = qRgb(255, 255, 255);

class Backdrop : public QWidget {
  public:
    Backdrop() { resize(200, 160); }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kBackground)); }
};

PngImage solid(int w, int h, QRgb color) {
    return PngImage::fromMemory(test::solidPng(w, h, color));
}

// The bounding box of the pixels of one colour.
QRect box(const QImage& image, QRgb color) {
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == color) found |= QRect(x, y, 1, 1);
    return found;
}

// The bounding box of everything that is neither background nor one of the given colours.
QRect inkBox(const QImage& image, std::initializer_list<QRgb> ignore) {
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (c == kBackground || std::find(ignore.begin(), ignore.end(), c) != ignore.end())
                continue;
            found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

struct Fixture {
    Backdrop parent;
    TPNGButton* button = new TPNGButton(&parent);
    QStringList log;

    explicit Fixture(QRect geometry = QRect(20, 20, 58, 58)) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Light, kLight);
        palette.setColor(QPalette::Midlight, kMidlight);
        palette.setColor(QPalette::Dark, kDark);
        palette.setColor(QPalette::Shadow, kShadow);
        palette.setColor(QPalette::Button, kFace);
        palette.setColor(QPalette::Disabled, QPalette::Text, kGreyText);
        button->setPalette(palette);
        button->setGeometry(geometry);
        const auto state = [this] {
            return QString::number(static_cast<int>(button->buttonState()));
        };
        QObject::connect(button, &TPNGButton::OnMouseEnter, [this] { log << "enter"; });
        QObject::connect(button, &TPNGButton::OnMouseExit, [this] { log << "exit"; });
        QObject::connect(button, &TPNGButton::OnClick,
                         [this, state] { log << "click@" + state(); });
        QObject::connect(button, &TPNGButton::OnDblClick, [this] { log << "dblclick"; });
        QObject::connect(button, &TPNGButton::OnMouseDown, [this](TPNGButton*, Qt::MouseButton b) {
            log << (b == Qt::LeftButton ? "down" : "down:other");
        });
        QObject::connect(button, &TPNGButton::OnMouseUp, [this](TPNGButton*, Qt::MouseButton b) {
            log << (b == Qt::LeftButton ? "up" : "up:other");
        });
        parent.show();
        if (!QTest::qWaitForWindowExposed(&parent)) qFatal("window not exposed");
        // Start with the pointer away from the button, wherever an earlier test left it. A
        // window shown under the pointer gets an enter from the offscreen platform but no leave
        // when the pointer then moves on, so the leave is sent here.
        QTest::mouseMove(&parent, QPoint(195, 155));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        log.clear();
    }

    ~Fixture() {
        // Leave no button held for the next test's pointer.
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) release(QPoint(1, 1));
    }

    QImage shot() {
        return parent.grab(button->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    void moveTo(QPoint p) { QTest::mouseMove(button, p); }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(button, b, {}, p);
    }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(button, b, {}, p);
    }
};

const QPoint kInside(29, 29);
const QPoint kOutside(120, 29);

// Frame pixels: top-left corner, a point on the top, bottom-right corner.
struct Frame {
    QRgb topLeft, top, right, bottomRight;
};
Frame frameOf(const QImage& s) {
    return {s.pixel(0, 0), s.pixel(s.width() / 2, 0), s.pixel(s.width() - 1, s.height() / 2),
            s.pixel(s.width() - 1, s.height() - 1)};
}

}  // namespace

class PngButtonTest : public QObject {
    Q_OBJECT

  private slots:
    void newButtonDefaults();
    void flatFrameFollowsPointerAndPress();
    void releaseOutsideIsNoClick();
    void rightButtonChangesNothing();
    void doubleClickIsOneClick();
    void defaultStyleEdges();
    void addButtonIsCentred();
    void wideCaptionIsClippedAtTheFrame();
    void layouts_data();
    void layouts();
    void disabledButtonIsFaded();
    void fadingRules();
    void imageOverAndDownChoice();
};

void PngButtonTest::newButtonDefaults() {
    TPNGButton button;
    QCOMPARE(button.size(), QSize(23, 23));
    QCOMPARE(button.ButtonLayout(), pbsImageAbove);
    QCOMPARE(button.ButtonStyle(), pbsDefault);
    QCOMPARE(button.buttonState(), TPNGButton::State::Up);
    QVERIFY(!button.pointerInside());
    QVERIFY(button.Caption().isEmpty());
    QVERIFY(button.ImageNormal().isEmpty() && button.ImageDown().isEmpty() &&
            button.ImageOver().isEmpty() && button.disabledImage().isEmpty());
    QCOMPARE(button.focusPolicy(), Qt::NoFocus);
    QVERIFY(!button.autoFillBackground());
}

void PngButtonTest::flatFrameFollowsPointerAndPress() {
    Fixture f;
    f.button->setButtonStyle(pbsFlat);
    f.button->setImageNormal(solid(10, 10, qRgb(200, 0, 0)));
    const QRect picture(24, 24, 10, 10);

    // Nothing but the picture: the parent shows all round it.
    QImage s = f.shot();
    QCOMPARE(frameOf(s).topLeft, kBackground);
    QCOMPARE(frameOf(s).bottomRight, kBackground);
    QCOMPARE(box(s, qRgb(200, 0, 0)), picture);

    f.moveTo(kInside);
    s = f.shot();
    QCOMPARE(frameOf(s).topLeft, kLight);
    QCOMPARE(frameOf(s).top, kLight);
    QCOMPARE(frameOf(s).right, kDark);
    QCOMPARE(frameOf(s).bottomRight, kDark);
    QCOMPARE(s.pixel(57, 0), kDark);  // the corners that belong to the bottom-right edge
    QCOMPARE(s.pixel(0, 57), kDark);
    QCOMPARE(s.pixel(1, 1), kBackground);

    f.press(kInside);
    QVERIFY(f.button->isShownPressed());
    s = f.shot();
    QCOMPARE(frameOf(s).topLeft, kDark);
    QCOMPARE(frameOf(s).bottomRight, kLight);
    QCOMPARE(box(s, qRgb(200, 0, 0)), picture.translated(2, 2));

    // Held and dragged out: the button keeps the mouse and shows itself raised, not pressed.
    f.moveTo(kOutside);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Down);
    QVERIFY(!f.button->pointerInside());
    s = f.shot();
    QCOMPARE(frameOf(s).topLeft, kLight);
    QCOMPARE(box(s, qRgb(200, 0, 0)), picture);

    f.moveTo(kInside);
    QCOMPARE(frameOf(f.shot()).topLeft, kDark);

    f.release(kInside);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    QCOMPARE(frameOf(f.shot()).topLeft, kLight);
    QCOMPARE(f.log, QStringList({"enter", "down", "exit", "enter", "click@0", "up"}));
}

void PngButtonTest::releaseOutsideIsNoClick() {
    Fixture f;
    f.button->setButtonStyle(pbsFlat);
    f.moveTo(kInside);
    f.press(kInside);
    f.moveTo(kOutside);
    f.release(kOutside);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    QCOMPARE(frameOf(f.shot()).topLeft, kBackground);
    // Qt's own late leave after the grab ends is not a second exit.
    QTest::mouseMove(&f.parent, QPoint(190, 150));
    QCOMPARE(f.log, QStringList({"enter", "down", "exit", "up"}));

    // Released straight outside with no move in between: the same outcome.
    f.log.clear();
    f.moveTo(kInside);
    f.press(kInside);
    f.release(kOutside);
    QCOMPARE(f.log, QStringList({"enter", "down", "up", "exit"}));
    QVERIFY(!f.button->pointerInside());
}

void PngButtonTest::rightButtonChangesNothing() {
    Fixture f;
    f.button->setButtonStyle(pbsFlat);
    f.moveTo(kInside);
    f.press(kInside, Qt::RightButton);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    QCOMPARE(frameOf(f.shot()).topLeft, kLight);
    f.release(kInside, Qt::RightButton);
    QCOMPARE(f.log, QStringList({"enter", "down:other", "up:other"}));
}

void PngButtonTest::doubleClickIsOneClick() {
    Fixture f;
    f.moveTo(kInside);
    f.press(kInside);
    f.release(kInside);
    QMouseEvent second(QEvent::MouseButtonDblClick, kInside, f.button->mapToGlobal(kInside),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.button, &second);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Down);
    f.release(kInside);
    QCOMPARE(f.log, QStringList({"enter", "down", "click@0", "up", "dblclick", "down", "up"}));
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
}

void PngButtonTest::defaultStyleEdges() {
    Fixture f(QRect(20, 20, 30, 20));
    QImage s = f.shot();
    // Raised: outer bottom-right dark shadow, inner top-left highlight, inner bottom-right
    // shadow, face inside; every pixel is the button's own.
    QCOMPARE(s.pixel(29, 0), kShadow);
    QCOMPARE(s.pixel(29, 19), kShadow);
    QCOMPARE(s.pixel(0, 19), kShadow);
    QCOMPARE(s.pixel(0, 0), kLight);
    QCOMPARE(s.pixel(28, 0), kLight);
    QCOMPARE(s.pixel(0, 18), kLight);
    QCOMPARE(s.pixel(28, 1), kDark);
    QCOMPARE(s.pixel(1, 18), kDark);
    QCOMPARE(s.pixel(1, 1), kFace);
    QCOMPARE(s.pixel(27, 17), kFace);
    QVERIFY(box(s, kBackground).isNull());

    f.moveTo(QPoint(5, 5));
    f.press(QPoint(5, 5));
    s = f.shot();
    QCOMPARE(s.pixel(0, 0), kShadow);
    QCOMPARE(s.pixel(28, 0), kShadow);
    QCOMPARE(s.pixel(29, 0), kLight);
    QCOMPARE(s.pixel(0, 19), kLight);
    QCOMPARE(s.pixel(29, 19), kLight);
    QCOMPARE(s.pixel(1, 1), kDark);
    QCOMPARE(s.pixel(28, 1), kDark);
    QCOMPARE(s.pixel(1, 18), kDark);
    QCOMPARE(s.pixel(2, 2), kFace);
    QCOMPARE(s.pixel(28, 18), kFace);
    QVERIFY(box(s, kBackground).isNull());
}

void PngButtonTest::addButtonIsCentred() {
    Fixture f;
    f.button->setButtonStyle(pbsFlat);
    f.button->setFont(QFont("Arial", 8));
    f.button->setFontColor(QColor(kCaption));
    f.button->setCaption("Add");
    f.button->setImageNormal(solid(32, 32, qRgb(0, 160, 0)));

    const QFontMetrics metrics(f.button->font());
    const int tw = metrics.horizontalAdvance("Add");
    const int th = metrics.height();
    // Picture, 4-pixel gap and caption make one block centred in the height.
    const int py = (58 - 36 - th) / 2;
    const int ty = py + 36;
    const int tx = (58 - tw) / 2;
    const QImage s = f.shot();
    QCOMPARE(box(s, qRgb(0, 160, 0)), QRect(13, py, 32, 32));
    QVERIFY(std::abs((58 - (ty + th)) - py) <= 1);

    const QRect ink = inkBox(s, {qRgb(0, 160, 0)});
    QVERIFY(!ink.isNull());
    QVERIFY2(QRect(tx, ty, tw, th).contains(ink), qPrintable(QString("ink %1,%2 %3x%4")
                                                                 .arg(ink.x())
                                                                 .arg(ink.y())
                                                                 .arg(ink.width())
                                                                 .arg(ink.height())));
    QVERIFY(std::abs((ink.left() + ink.right()) / 2 - 29) <= 2);

    // No caption: the picture alone is centred, without the gap.
    f.button->setCaption(QString());
    QCOMPARE(box(f.shot(), qRgb(0, 160, 0)), QRect(13, 13, 32, 32));
}

void PngButtonTest::wideCaptionIsClippedAtTheFrame() {
    Fixture f(QRect(20, 20, 40, 40));
    f.button->setButtonStyle(pbsFlat);
    f.button->setFont(QFont("Arial", 12, QFont::Bold));
    f.button->setFontColor(QColor(kCaption));
    f.button->setCaption("MMMMMMMMMM");
    QVERIFY(QFontMetrics(f.button->font()).horizontalAdvance("MMMMMMMMMM") > 40);
    f.moveTo(QPoint(5, 5));

    const QImage s = f.shot();
    // The text runs off both sides, yet the one-pixel frame stays whole.
    for (int i = 0; i < 39; ++i) {
        QCOMPARE(s.pixel(i, 0), kLight);
        QCOMPARE(s.pixel(0, i), kLight);
        QCOMPARE(s.pixel(39, i + 1), kDark);
        QCOMPARE(s.pixel(i + 1, 39), kDark);
    }
    const QRect ink = inkBox(s, {kLight, kDark});
    QCOMPARE(ink.left(), 1);
    QCOMPARE(ink.right(), 38);
}

void PngButtonTest::layouts_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<bool>("pressed");
    QTest::addRow("above") << int(pbsImageAbove) << false;
    QTest::addRow("bellow") << int(pbsImageBellow) << false;
    QTest::addRow("left") << int(pbsImageLeft) << false;
    QTest::addRow("right") << int(pbsImageRight) << false;
    QTest::addRow("bellow pressed") << int(pbsImageBellow) << true;
    QTest::addRow("left pressed") << int(pbsImageLeft) << true;
    QTest::addRow("right pressed") << int(pbsImageRight) << true;
}

void PngButtonTest::layouts() {
    QFETCH(int, layout);
    QFETCH(bool, pressed);
    Fixture f(QRect(10, 10, 101, 61));
    f.button->setButtonStyle(pbsNoFrame);
    f.button->setButtonLayout(static_cast<TPNGButtonLayout>(layout));
    f.button->setFont(QFont("Arial", 9));
    f.button->setFontColor(QColor(kCaption));
    f.button->setCaption("Home");
    f.button->setImageNormal(solid(10, 12, qRgb(0, 160, 0)));
    if (pressed) {
        f.moveTo(QPoint(3, 3));
        f.press(QPoint(3, 3));
    }
    const QFontMetrics metrics(f.button->font());
    const int tw = metrics.horizontalAdvance("Home");
    const int th = metrics.height();
    const int d = pressed ? 2 : 0;
    const int ih = 12 + 4;
    int px = (101 - 10) / 2 + d;
    int py = (61 - ih) / 2 + d;
    int tx = (101 - tw) / 2 + d;
    int ty = (61 - th) / 2 + d;
    switch (layout) {
        case pbsImageAbove:
            py = (61 - ih - th) / 2 + d;
            ty = py + ih;
            break;
        case pbsImageBellow:
            ty = (61 - ih - th) / 2 + d;
            py = ty + th;
            break;
        case pbsImageLeft:  // no sideways offset when pressed
            px = (101 - 10 - tw) / 2;
            tx = px + 10 + 5;
            break;
        case pbsImageRight:
            tx = (101 - 10 - tw) / 2;
            px = tx + tw + 5;
            break;
    }
    const QImage s = f.shot();
    QCOMPARE(box(s, qRgb(0, 160, 0)), QRect(px, py, 10, 12));
    QVERIFY(QRect(tx, ty, tw, th).contains(inkBox(s, {qRgb(0, 160, 0)})));
}

void PngButtonTest::disabledButtonIsFaded() {
    Fixture f;
    f.button->setButtonStyle(pbsFlat);
    f.button->setFont(QFont("Arial", 14, QFont::Bold));
    f.button->setFontColor(QColor(kCaption));
    f.button->setCaption("Ab");
    f.button->setImageNormal(solid(20, 10, qRgb(255, 0, 0)));
    f.moveTo(kInside);

    f.button->setEnabled(false);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Disabled);
    QCOMPARE(f.button->disabledImage().alphaAt(3, 3), 85);
    QImage s = f.shot();
    // No frame although the pointer is over it, the picture at a third of its opacity.
    QCOMPARE(frameOf(s).topLeft, kBackground);
    const QPoint at = f.button->picturePosition();
    const QRgb faded = s.pixel(at + QPoint(5, 5));
    QVERIFY2(std::abs(qRed(faded) - (255 * 85 + 10 * 170) / 255) <= 2 &&
                 std::abs(qBlue(faded) - (30 * 170) / 255) <= 2,
             qPrintable(QString::number(faded, 16)));
    QVERIFY(!box(s, kGreyText).isNull());
    QVERIFY(box(s, kCaption).isNull());
    // The pointer leaving while disabled reports nothing.
    f.moveTo(kOutside);
    QCOMPARE(f.log, QStringList({"enter"}));

    QVERIFY(!f.button->pointerInside());
    f.button->setEnabled(true);
    QVERIFY(!f.button->pointerInside());
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    s = f.shot();
    QCOMPARE(s.pixel(f.button->picturePosition() + QPoint(5, 5)), qRgb(255, 0, 0));
    QVERIFY(!box(s, kCaption).isNull());
    QCOMPARE(frameOf(s).topLeft, kBackground);  // no hover look left behind
}

void PngButtonTest::fadingRules() {
    QImage source(3, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(9, 9, 9, 255));
    source.setPixel(1, 0, qRgba(9, 9, 9, 100));
    source.setPixel(2, 0, qRgba(9, 9, 9, 2));
    const PngImage faded = fadeImage(PngImage::fromMemory(test::rgbaPng(source)));
    QCOMPARE(faded.alphaAt(0, 0), 85);
    QCOMPARE(faded.alphaAt(1, 0), 33);
    QCOMPARE(faded.alphaAt(2, 0), 0);

    test::PngSpec grey;
    grey.colorType = 0;
    grey.pixels = {{50}};
    const PngImage g = fadeImage(PngImage::fromMemory(test::writePng(grey)));
    QCOMPARE(g.colorType(), PngColorType::GrayAlpha);
    QCOMPARE(g.alphaAt(0, 0), 85);

    // Palette pictures are drawn opaque when disabled; one with a transparency table keeps it.
    test::PngSpec indexed;
    indexed.width = 2;
    indexed.colorType = 3;
    indexed.palette = {qRgb(0, 0, 200), qRgb(0, 200, 0)};
    indexed.pixels = {{0}, {1}};
    Fixture f(QRect(20, 20, 10, 10));
    f.button->setButtonStyle(pbsNoFrame);
    f.button->setImageNormal(PngImage::fromMemory(test::writePng(indexed)));
    f.button->setEnabled(false);
    QCOMPARE(f.shot().pixel(4, 4), qRgb(0, 0, 200));
    QCOMPARE(f.shot().pixel(5, 4), qRgb(0, 200, 0));

    indexed.transparency = {0};
    f.button->setImageNormal(PngImage::fromMemory(test::writePng(indexed)));
    QCOMPARE(f.shot().pixel(4, 4), kBackground);
    QCOMPARE(f.shot().pixel(5, 4), qRgb(0, 200, 0));
}

void PngButtonTest::imageOverAndDownChoice() {
    Fixture f;
    f.button->setButtonStyle(pbsNoFrame);
    const QRgb normal = qRgb(200, 0, 0), over = qRgb(0, 200, 0), down = qRgb(0, 0, 200);
    f.button->setImageNormal(solid(10, 10, normal));
    f.button->setImageOver(solid(10, 10, over));
    f.button->setImageDown(solid(10, 10, down));
    const auto shown = [&] { return f.shot().pixel(f.button->picturePosition() + QPoint(1, 1)); };

    QCOMPARE(shown(), normal);
    f.moveTo(kInside);
    QCOMPARE(shown(), over);
    f.press(kInside);
    QCOMPARE(shown(), down);
    f.moveTo(kOutside);
    QCOMPARE(shown(), normal);
    f.moveTo(kInside);
    QCOMPARE(shown(), down);
    f.release(kInside);
    QCOMPARE(shown(), over);

    // Without ImageDown the pressed button shows ImageOver; disabled it shows neither.
    f.button->setImageDown(PngImage());
    f.press(kInside);
    QCOMPARE(shown(), over);
    f.release(kInside);
    f.button->setEnabled(false);
    QVERIFY(f.button->pointerInside());
    const QRgb fadedRed = shown();
    QVERIFY(qRed(fadedRed) < 200 && qGreen(fadedRed) < 100);
}

QTEST_MAIN(PngButtonTest)
#include "test_pngbutton.moc"
