// The sprite image button: which picture it shows for each pointer and button state, the
// events it reports, and how its pictures are cut from a sprite sheet and drawn.

#include <QPainter>
#include <QtTest>

#include "controls/ImgBtn.h"

using namespace qb;

namespace {

const QRgb kBackground = qRgb(10, 20, 30);
const QRgb kPic = qRgb(200, 0, 0);
const QRgb kUp = qRgb(0, 200, 0);
const QRgb kDown = qRgb(0, 0, 200);

class Backdrop : public QWidget {
  public:
    Backdrop() { resize(120, 80); }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kBackground)); }
};

Bitmap solid(int w, int h, QRgb color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return Bitmap(image);
}

struct Fixture {
    Backdrop parent;
    TImgBtn* button = new TImgBtn(&parent);
    QStringList log;

    Fixture() {
        button->setGeometry(10, 10, 25, 31);
        button->setPic(solid(25, 31, kPic));
        button->setPicUp(solid(25, 31, kUp));
        button->setPicDown(solid(25, 31, kDown));
        const auto shown = [this] {
            const QRgb c = button->Picture().pixel(0, 0);
            return c == kPic ? "Pic" : c == kUp ? "PicUp" : c == kDown ? "PicDown" : "?";
        };
        QObject::connect(button, &TImgBtn::OnMouseEnter, [this] { log << "enter"; });
        QObject::connect(button, &TImgBtn::OnMouseLeave, [this] { log << "leave"; });
        QObject::connect(button, &TImgBtn::OnMouseDown, [this](TImgBtn*, const MouseMessage& m) {
            log << QString("down@%1,%2").arg(m.pos.x()).arg(m.pos.y());
        });
        QObject::connect(button, &TImgBtn::OnMouseUp, [this] { log << "up"; });
        QObject::connect(button, &TImgBtn::OnClick,
                         [this, shown] { log << QString("click(%1)").arg(shown()); });
        parent.show();
        if (!QTest::qWaitForWindowExposed(&parent)) qFatal("window not exposed");
        // The offscreen platform sends no leave for a window shown under the pointer.
        QTest::mouseMove(&parent, QPoint(110, 70));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        log.clear();
    }
    ~Fixture() {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) release(QPoint(1, 1));
    }

    QString shown() const {
        const QRgb c = button->Picture().pixel(0, 0);
        return c == kPic ? "Pic" : c == kUp ? "PicUp" : c == kDown ? "PicDown" : "?";
    }
    // What is on screen, not just what the control holds.
    QRgb onScreen() { return parent.grab(button->geometry()).toImage().pixel(3, 3); }
    void moveTo(QPoint p) { QTest::mouseMove(button, p); }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(button, b, {}, p);
    }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(button, b, {}, p);
    }
};

const QPoint kInside(5, 6);
const QPoint kOutside(60, 6);

}  // namespace

class ImgBtnTest : public QObject {
    Q_OBJECT

  private slots:
    void showsPictureForEachState();
    void releaseOutsideIsNoClick();
    void rightButtonChangesNothing();
    void unsupportedNeverSwaps();
    void pictureIsClippedAndKeyedOut();
    void spriteCutting();
};

void ImgBtnTest::showsPictureForEachState() {
    Fixture f;
    QCOMPARE(f.shown(), QString("Pic"));
    QCOMPARE(f.onScreen(), kPic);
    QStringList seen;
    f.moveTo(kInside);
    seen << f.shown();
    f.press(kInside);
    seen << f.shown();
    QCOMPARE(f.onScreen(), kDown);
    f.moveTo(kOutside);
    seen << f.shown();
    QVERIFY(f.button->buttonHeld() && !f.button->pointerInside());
    f.moveTo(kInside);
    seen << f.shown();
    f.release(kInside);
    seen << f.shown();
    QCOMPARE(f.onScreen(), kUp);
    QCOMPARE(seen, QStringList({"PicUp", "PicDown", "Pic", "PicDown", "PicUp"}));
    // One click, reported while the pressed picture is still shown.
    QCOMPARE(f.log, QStringList({"enter", "down@5,6", "leave", "enter", "click(PicDown)", "up"}));
}

void ImgBtnTest::releaseOutsideIsNoClick() {
    Fixture f;
    f.moveTo(kInside);
    f.press(kInside);
    f.moveTo(kOutside);
    f.release(kOutside);
    QCOMPARE(f.shown(), QString("Pic"));
    QVERIFY(!f.button->buttonHeld());
    QTest::mouseMove(&f.parent, QPoint(110, 70));  // Qt's late leave is not reported twice
    QCOMPARE(f.log, QStringList({"enter", "down@5,6", "leave", "up"}));
}

void ImgBtnTest::rightButtonChangesNothing() {
    Fixture f;
    f.moveTo(kInside);
    f.press(kInside, Qt::RightButton);
    QCOMPARE(f.shown(), QString("PicUp"));
    QVERIFY(!f.button->buttonHeld());
    f.release(kInside, Qt::RightButton);
    QCOMPARE(f.shown(), QString("PicUp"));
    QCOMPARE(f.log, QStringList({"enter"}));
}

void ImgBtnTest::unsupportedNeverSwaps() {
    Fixture f;
    f.button->setSupported(false);
    f.moveTo(kInside);
    f.press(kInside);
    QCOMPARE(f.shown(), QString("Pic"));
    f.release(kInside);
    f.moveTo(kOutside);
    QCOMPARE(f.shown(), QString("Pic"));
    QCOMPARE(f.log, QStringList({"click(Pic)"}));

    // Setting PicUp or PicDown never changes what is shown; setting Pic does.
    f.button->setPicUp(solid(25, 31, qRgb(1, 1, 1)));
    QCOMPARE(f.shown(), QString("Pic"));
    f.button->setPic(solid(25, 31, kUp));
    QCOMPARE(f.onScreen(), kUp);
}

void ImgBtnTest::pictureIsClippedAndKeyedOut() {
    // A 40 x 20 picture in a 25 x 31 control: its left 25 columns, the header below it.
    Fixture f;
    QImage wide(40, 20, QImage::Format_RGB32);
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 20; ++y) wide.setPixel(x, y, qRgb(x * 6, 100, 50));
    wide.setPixel(0, 19, qRgb(255, 0, 255));  // the transparent colour
    wide.setPixel(7, 3, qRgb(255, 0, 255));
    Bitmap picture(wide);
    picture.setTransparent(true);
    f.button->setPic(picture);

    const QImage s = f.parent.grab(QRect(10, 10, 40, 31)).toImage();
    for (int x = 0; x < 25; ++x) {
        if (x != 0 && x != 7) QCOMPARE(s.pixel(x, 3), qRgb(x * 6, 100, 50));
        QCOMPARE(s.pixel(x, 20), kBackground);
        QCOMPARE(s.pixel(x, 30), kBackground);
    }
    QCOMPARE(s.pixel(7, 3), kBackground);
    QCOMPARE(s.pixel(0, 19), kBackground);
    QCOMPARE(s.pixel(25, 3), kBackground);
    QCOMPARE(s.pixel(39, 3), kBackground);
}

void ImgBtnTest::spriteCutting() {
    // Three 24 x 20 rows on a magenta sheet; the sheet is one row short of the third picture.
    QImage sheet(100, 59, QImage::Format_RGB32);
    sheet.fill(qRgb(255, 0, 255));
    for (int row = 0; row < 3; ++row) sheet.setPixel(70, row * 20 + 2, qRgb(row * 100, 50, 0));
    TImgBtn button;
    cutSprites(button, Bitmap(sheet), 24, 20, 68, 0);

    for (const Bitmap* b : {&button.Pic(), &button.PicUp(), &button.PicDown(), &button.Picture()}) {
        QCOMPARE(b->width(), 24);
        QCOMPARE(b->height(), 20);
        QVERIFY(b->transparent());
    }
    QCOMPARE(button.Pic().pixel(2, 2), qRgb(0, 50, 0));
    QCOMPARE(button.Picture().pixel(2, 2), qRgb(0, 50, 0));
    QCOMPARE(button.PicUp().pixel(2, 2), qRgb(100, 50, 0));
    QCOMPARE(button.PicDown().pixel(2, 2), qRgb(200, 50, 0));
    QCOMPARE(button.Pic().transparentColor(), qRgb(255, 0, 255));

    // The row past the sheet's end repeats the sheet's last row, so the transparent colour is
    // still the sheet's background and that row is not drawn.
    QCOMPARE(button.PicDown().pixel(0, 19), qRgb(255, 0, 255));
    QCOMPARE(button.PicDown().transparentColor(), qRgb(255, 0, 255));
    QImage target(24, 20, QImage::Format_RGB32);
    target.fill(kBackground);
    QPainter p(&target);
    button.PicDown().draw(p, 0, 0);
    QCOMPARE(target.pixel(5, 19), kBackground);
    QCOMPARE(target.pixel(5, 5), kBackground);  // magenta, the transparent colour
    QCOMPARE(target.pixel(2, 2), qRgb(200, 50, 0));
}

QTEST_MAIN(ImgBtnTest)
#include "test_imgbtn.moc"
