// The image push button: what it draws over its parent in each state, and the events it
// reports for mouse sequences driven through Qt's own event routing.

#include <QPainter>
#include <QtTest>

#include "controls/pngextra.h"
#include "picture_fixtures.h"

using namespace qb;

namespace {

const QRgb kBackground = qRgb(10, 20, 30);
// Distinct colours for the palette roles the frames use, so a mixed-up role shows.
const QRgb kLight = qRgb(255, 255, 0), kDark = qRgb(0, 0, 255), kShadow = qRgb(255, 0, 0);
const QRgb kFace = qRgb(0, 255, 0), kGreyText = qRgb(128, 128, 128), kCaption = qRgb(255, 255, 255);
const QRgb kRed = qRgb(200, 0, 0), kGreen = qRgb(0, 160, 0), kBlue = qRgb(0, 0, 200);
const QPoint kInside(29, 29), kOutside(120, 29);

class Backdrop : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kBackground)); }
};

PngImage solid(int w, int h, QRgb color) {
    return PngImage::fromMemory(test::solidPng(w, h, color));
}

// The bounding box of the pixels that are `color`, or with `except`, that are none of those.
QRect box(const QImage& image, QRgb color) {
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == color) found |= QRect(x, y, 1, 1);
    return found;
}
QRect inkBox(const QImage& image, std::initializer_list<QRgb> except) {
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kBackground &&
                std::count(except.begin(), except.end(), image.pixel(x, y)) == 0)
                found |= QRect(x, y, 1, 1);
    return found;
}

struct Fixture {
    Backdrop parent;
    TPNGButton* button = new TPNGButton(&parent);
    QStringList log;

    explicit Fixture(QRect geometry = QRect(20, 20, 58, 58), TPNGButtonStyle style = pbsFlat) {
        parent.resize(200, 160);
        QPalette palette = button->palette();
        for (auto [role, color] : {std::pair{QPalette::Light, kLight},
                                   {QPalette::Dark, kDark},
                                   {QPalette::Shadow, kShadow},
                                   {QPalette::Button, kFace}})
            palette.setColor(role, color);
        palette.setColor(QPalette::Disabled, QPalette::Text, kGreyText);
        button->setPalette(palette);
        button->setGeometry(geometry);
        button->setButtonStyle(style);
        button->setFontColor(QColor(kCaption));
        QObject::connect(button, &TPNGButton::OnMouseEnter, [this] { log << "enter"; });
        QObject::connect(button, &TPNGButton::OnMouseExit, [this] { log << "exit"; });
        QObject::connect(button, &TPNGButton::OnClick,
                         [this] { log << QString("click@%1").arg(int(button->buttonState())); });
        QObject::connect(button, &TPNGButton::OnDblClick, [this] { log << "dblclick"; });
        QObject::connect(button, &TPNGButton::OnMouseDown, [this](TPNGButton*, Qt::MouseButton b) {
            log << (b == Qt::LeftButton ? "down" : "down:right");
        });
        QObject::connect(button, &TPNGButton::OnMouseUp, [this](TPNGButton*, Qt::MouseButton b) {
            log << (b == Qt::LeftButton ? "up" : "up:right");
        });
        parent.show();
        if (!QTest::qWaitForWindowExposed(&parent)) qFatal("window not exposed");
        // Park the pointer away from the button. A window shown under the pointer gets an enter
        // from the offscreen platform but no leave when the pointer moves on, so that is sent.
        QTest::mouseMove(&parent, QPoint(195, 155));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        log.clear();
    }
    ~Fixture() {
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
    // The frame as its top-left and bottom-right corner pixels.
    std::pair<QRgb, QRgb> frame() {
        const QImage s = shot();
        return {s.pixel(0, 0), s.pixel(s.width() - 1, s.height() - 1)};
    }
};

using Frame = std::pair<QRgb, QRgb>;
const Frame kNone{kBackground, kBackground}, kRaised{kLight, kDark}, kSunken{kDark, kLight};

}  // namespace

class PngButtonTest : public QObject {
    Q_OBJECT

  private slots:
    void flatFrameFollowsPointerAndPress();
    void pressesThatDoNotClick();
    void defaultStyleEdges();
    void addButtonIsCentred();
    void wideCaptionIsClippedAtTheFrame();
    void layouts_data();
    void layouts();
    void disabledButtonIsFaded();
    void imageOverAndDownChoice();
};

void PngButtonTest::flatFrameFollowsPointerAndPress() {
    Fixture f;
    f.button->setImageNormal(solid(10, 10, kRed));
    const QRect picture(24, 24, 10, 10);
    QCOMPARE(f.frame(), kNone);
    QCOMPARE(box(f.shot(), kRed), picture);

    f.moveTo(kInside);
    QCOMPARE(f.frame(), kRaised);
    const QImage s = f.shot();
    QCOMPARE(s.pixel(29, 0), kLight);
    QCOMPARE(s.pixel(57, 0), kDark);  // corners shared with the bottom-right edge are its own
    QCOMPARE(s.pixel(0, 57), kDark);
    QCOMPARE(s.pixel(1, 1), kBackground);

    f.press(kInside);
    QCOMPARE(f.frame(), kSunken);
    QCOMPARE(box(f.shot(), kRed), picture.translated(2, 2));
    // Held and dragged out: the button keeps the mouse and shows itself raised, not pressed.
    f.moveTo(kOutside);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Down);
    QCOMPARE(f.frame(), kRaised);
    QCOMPARE(box(f.shot(), kRed), picture);
    f.moveTo(kInside);
    QCOMPARE(f.frame(), kSunken);
    f.release(kInside);
    QCOMPARE(f.frame(), kRaised);
    QCOMPARE(f.log, QStringList({"enter", "down", "exit", "enter", "click@0", "up"}));
}

void PngButtonTest::pressesThatDoNotClick() {
    Fixture f;
    f.moveTo(kInside);
    f.press(kInside);
    f.moveTo(kOutside);
    f.release(kOutside);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    QCOMPARE(f.frame(), kNone);
    QTest::mouseMove(&f.parent, QPoint(190, 150));  // Qt's late leave is no second exit
    QCOMPARE(f.log, QStringList({"enter", "down", "exit", "up"}));

    // A right press changes nothing.
    f.log.clear();
    f.moveTo(kInside);
    f.press(kInside, Qt::RightButton);
    QCOMPARE(f.frame(), kRaised);
    f.release(kInside, Qt::RightButton);
    QCOMPARE(f.log, QStringList({"enter", "down:right", "up:right"}));

    // The second press of a double click is a press, but its release no second click.
    f.log.clear();
    f.press(kInside);
    f.release(kInside);
    QMouseEvent second(QEvent::MouseButtonDblClick, kInside, f.button->mapToGlobal(kInside),
                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.button, &second);
    QCOMPARE(f.frame(), kSunken);
    f.release(kInside);
    QCOMPARE(f.log, QStringList({"down", "click@0", "up", "dblclick", "down", "up"}));
}

void PngButtonTest::defaultStyleEdges() {
    Fixture f(QRect(20, 20, 30, 20), pbsDefault);
    const auto check = [&](std::initializer_list<std::tuple<int, int, QRgb>> expected) {
        const QImage s = f.shot();
        for (auto [x, y, color] : expected) QCOMPARE(s.pixel(x, y), color);
        QVERIFY(box(s, kBackground).isNull());  // the face covers the whole button
    };
    // Raised: outer bottom-right dark shadow, inner top-left highlight and bottom-right shadow.
    check({{29, 0, kShadow},
           {0, 19, kShadow},
           {29, 19, kShadow},
           {0, 0, kLight},
           {28, 0, kLight},
           {0, 18, kLight},
           {28, 1, kDark},
           {1, 18, kDark},
           {1, 1, kFace},
           {27, 17, kFace}});
    f.moveTo(QPoint(5, 5));
    f.press(QPoint(5, 5));
    check({{0, 0, kShadow},
           {28, 0, kShadow},
           {29, 0, kLight},
           {0, 19, kLight},
           {29, 19, kLight},
           {1, 1, kDark},
           {28, 1, kDark},
           {1, 18, kDark},
           {2, 2, kFace},
           {28, 18, kFace}});
}

void PngButtonTest::addButtonIsCentred() {
    Fixture f;
    f.button->setFont(QFont("Arial", 8));
    f.button->setCaption("Add");
    f.button->setImageNormal(solid(32, 32, kGreen));
    const QFontMetrics metrics(f.button->font());
    const int tw = metrics.horizontalAdvance("Add"), th = metrics.height();
    const QImage s = f.shot();
    const QRect picture = box(s, kGreen);
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(picture.left(), 58 - 1 - picture.right());
    // Picture, a 4-pixel gap and the caption line make one block, centred in the height.
    const int blockBottom = picture.top() + 32 + 4 + th;
    QVERIFY(std::abs(picture.top() - (58 - blockBottom)) <= 1);
    const QRect ink = inkBox(s, {kGreen});
    QVERIFY(QRect((58 - tw) / 2, picture.top() + 36, tw, th).contains(ink));
    QVERIFY(std::abs((ink.left() + ink.right()) / 2 - 29) <= 2);

    // Without a caption the picture alone is centred, with no gap.
    f.button->setCaption(QString());
    QCOMPARE(box(f.shot(), kGreen), QRect(13, 13, 32, 32));
}

void PngButtonTest::wideCaptionIsClippedAtTheFrame() {
    Fixture f(QRect(20, 20, 40, 40));
    f.button->setFont(QFont("Arial", 12, QFont::Bold));
    f.button->setCaption("MMMMMMMMMM");
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
    QTest::addRow("above") << int(pbsImageAbove);
    QTest::addRow("bellow") << int(pbsImageBellow);
    QTest::addRow("left") << int(pbsImageLeft);
    QTest::addRow("right") << int(pbsImageRight);
}

// What each layout must look like, checked on the drawn pixels: the picture at its natural
// size where the button says it is, the caption on the layout's side of it and clear of it,
// the two together centred in the button; pressed, the same picture moved down and right.
void PngButtonTest::layouts() {
    QFETCH(int, layout);
    const int w = 101, h = 61, iw = 10, ih = 12;
    Fixture f(QRect(10, 10, w, h), pbsNoFrame);
    f.button->setButtonLayout(TPNGButtonLayout(layout));
    f.button->setFont(QFont("Arial", 9));
    f.button->setCaption("Home");
    f.button->setImageNormal(solid(iw, ih, kGreen));
    const QFontMetrics metrics(f.button->font());
    const QRect caption(f.button->captionPosition(),
                        QSize(metrics.horizontalAdvance("Home"), metrics.height()));

    const QImage up = f.shot();
    const QRect picture = box(up, kGreen), ink = inkBox(up, {kGreen});
    QCOMPARE(picture, QRect(f.button->picturePosition(), QSize(iw, ih)));
    QVERIFY(!ink.isEmpty());
    QVERIFY(caption.contains(ink));
    QVERIFY(!caption.intersects(picture));

    // Stacked, the block of picture, the 4 pixels kept under it and the caption line is
    // centred in the height.
    const auto centred = [](int low, int high, int size) {
        return std::abs(low - (size - high)) <= 1;
    };
    const bool stacked = layout == pbsImageAbove || layout == pbsImageBellow;
    if (stacked) {
        if (layout == pbsImageAbove)
            QCOMPARE(caption.top(), picture.bottom() + 1 + 4);
        else
            QCOMPARE(picture.top(), caption.bottom() + 1);
        const int top = std::min(picture.top(), caption.top());
        QVERIFY(centred(top, top + ih + 4 + caption.height(), h));
        QVERIFY(centred(picture.left(), picture.right() + 1, w));
        QVERIFY(centred(caption.left(), caption.right() + 1, w));
    } else {
        if (layout == pbsImageLeft)
            QCOMPARE(caption.left(), picture.right() + 1 + 5);
        else
            QCOMPARE(picture.left(), caption.right() + 1 + 5);
        // Side by side, the two are centred as if they touched; the gap then pushes the
        // second one right, so the block sits a little right of the middle.
        const int left = std::min(picture.left(), caption.left());
        QVERIFY(centred(left, left + iw + caption.width(), w));
        QVERIFY(centred(picture.top(), picture.bottom() + 1 + 4, h));
        QVERIFY(centred(caption.top(), caption.bottom() + 1, h));
    }

    // Pressed, everything is drawn again 2 pixels lower, and 2 pixels to the right unless the
    // picture and the caption stand side by side.
    f.moveTo(QPoint(3, 3));
    f.press(QPoint(3, 3));
    const QImage down = f.shot();
    const QPoint offset(stacked ? 2 : 0, 2);
    QCOMPARE(box(down, kGreen), picture.translated(offset));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QPoint from = QPoint(x, y) - offset;
            const QRgb before = up.rect().contains(from) ? up.pixel(from) : kBackground;
            if (down.pixel(x, y) != before)
                QFAIL(qPrintable(
                    QString("pixel %1,%2 differs from the unpressed one").arg(x).arg(y)));
        }
}

void PngButtonTest::disabledButtonIsFaded() {
    Fixture f;
    f.button->setFont(QFont("Arial", 14, QFont::Bold));
    f.button->setCaption("Ab");
    QImage alphas(20, 10, QImage::Format_ARGB32);
    alphas.fill(qRgba(255, 0, 0, 255));
    alphas.setPixel(0, 0, qRgba(255, 0, 0, 100));
    f.button->setImageNormal(PngImage::fromMemory(test::rgbaPng(alphas)));
    f.moveTo(kInside);

    f.button->setEnabled(false);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Disabled);
    QCOMPARE(f.button->disabledImage().alphaAt(3, 3), 85);
    QCOMPARE(f.button->disabledImage().alphaAt(0, 0), 33);
    QImage s = f.shot();
    QCOMPARE(f.frame(), kNone);  // no frame although the pointer is over it
    const QRgb faded = s.pixel(f.button->picturePosition() + QPoint(5, 5));
    QVERIFY(std::abs(qRed(faded) - (255 * 85 + 10 * 170) / 255) <= 2);
    QVERIFY(!box(s, kGreyText).isNull());
    QVERIFY(box(s, kCaption).isNull());
    f.moveTo(kOutside);  // leaving while disabled reports nothing

    f.button->setEnabled(true);
    QCOMPARE(f.button->buttonState(), TPNGButton::State::Up);
    s = f.shot();
    QCOMPARE(s.pixel(f.button->picturePosition() + QPoint(5, 5)), qRgb(255, 0, 0));
    QVERIFY(!box(s, kCaption).isNull());
    QCOMPARE(f.frame(), kNone);  // and leaves no hover look behind
    QCOMPARE(f.log, QStringList({"enter"}));

    // A palette picture is drawn opaque when disabled; one with a transparency table keeps it.
    test::PngRecipe indexed{2, 1, 3, 8, {{0}, {1}}, {kBlue, kGreen}};
    Fixture g(QRect(20, 20, 10, 10), pbsNoFrame);
    g.button->setImageNormal(PngImage::fromMemory(test::writePng(indexed)));
    g.button->setEnabled(false);
    QCOMPARE(g.shot().pixel(4, 4), kBlue);
    QCOMPARE(g.shot().pixel(5, 4), kGreen);
    indexed.transparency = {0};
    g.button->setImageNormal(PngImage::fromMemory(test::writePng(indexed)));
    QCOMPARE(g.shot().pixel(4, 4), kBackground);
}

void PngButtonTest::imageOverAndDownChoice() {
    Fixture f(QRect(20, 20, 58, 58), pbsNoFrame);
    f.button->setImageNormal(solid(10, 10, kRed));
    f.button->setImageOver(solid(10, 10, kGreen));
    f.button->setImageDown(solid(10, 10, kBlue));
    const auto shown = [&] { return f.shot().pixel(f.button->picturePosition() + QPoint(1, 1)); };
    QList<QRgb> seen{shown()};
    f.moveTo(kInside);
    seen << shown();
    f.press(kInside);
    seen << shown();
    f.moveTo(kOutside);
    seen << shown();
    f.moveTo(kInside);
    seen << shown();
    f.release(kInside);
    seen << shown();
    QCOMPARE(seen, QList<QRgb>({kRed, kGreen, kBlue, kRed, kBlue, kGreen}));

    // Without ImageDown a pressed button shows ImageOver; disabled it shows neither.
    f.button->setImageDown(PngImage());
    f.press(kInside);
    QCOMPARE(shown(), kGreen);
    f.release(kInside);
    f.button->setEnabled(false);
    QVERIFY(f.button->pointerInside());
    QVERIFY(qRed(shown()) < 200 && qGreen(shown()) < 100);
}

QTEST_MAIN(PngButtonTest)
#include "test_pngbutton.moc"
