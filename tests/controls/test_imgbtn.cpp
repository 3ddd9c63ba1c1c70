// The sprite image button: which picture it shows for each pointer and button state, the
// events it reports, and how its pictures are cut from a sprite sheet and drawn.

#include <QPainter>
#include <QtTest>

#include "controls/ImgBtn.h"

using namespace qb;

namespace {

const QRgb kBackground = qRgb(10, 20, 30), kPic = qRgb(200, 0, 0), kUp = qRgb(0, 200, 0),
           kDown = qRgb(0, 0, 200);
const QPoint kInside(5, 6), kOutside(60, 6);

class Backdrop : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kBackground)); }
};

Bitmap solid(QRgb color) {
    QImage image(25, 31, QImage::Format_RGB32);
    image.fill(color);
    return Bitmap(image);
}

struct Fixture {
    Backdrop parent;
    TImgBtn* button = new TImgBtn(&parent);
    QStringList log;

    Fixture() {
        parent.resize(120, 80);
        button->setGeometry(10, 10, 25, 31);
        button->setPic(solid(kPic));
        button->setPicUp(solid(kUp));
        button->setPicDown(solid(kDown));
        QObject::connect(button, &TImgBtn::OnMouseEnter, [this] { log << "enter"; });
        QObject::connect(button, &TImgBtn::OnMouseLeave, [this] { log << "leave"; });
        QObject::connect(button, &TImgBtn::OnMouseDown, [this](TImgBtn*, const MouseMessage& m) {
            log << QString("down@%1,%2").arg(m.pos.x()).arg(m.pos.y());
        });
        QObject::connect(button, &TImgBtn::OnMouseUp, [this] { log << "up"; });
        QObject::connect(button, &TImgBtn::OnClick, [this] { log << "click:" + shown(); });
        parent.show();
        if (!QTest::qWaitForWindowExposed(&parent)) qFatal("window not exposed");
        // The offscreen platform sends no leave for a window shown under the pointer.
        QTest::mouseMove(&parent, QPoint(110, 70));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        log.clear();
    }
    ~Fixture() {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) release(kOutside);
    }

    // What is on screen, not just what the control holds.
    QString shown() {
        const QRgb c = parent.grab(button->geometry()).toImage().pixel(3, 3);
        return c == kPic ? "Pic" : c == kUp ? "PicUp" : c == kDown ? "PicDown" : "?";
    }
    void moveTo(QPoint p) { QTest::mouseMove(button, p); }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(button, b, {}, p);
    }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(button, b, {}, p);
    }
};

}  // namespace

class ImgBtnTest : public QObject {
    Q_OBJECT

  private slots:
    void showsPictureForEachState();
    void pressesThatDoNotClick();
    void unsupportedNeverSwaps();
    void pictureIsClippedAndKeyedOut();
    void spriteCutting();
};

void ImgBtnTest::showsPictureForEachState() {
    Fixture f;
    QStringList seen{f.shown()};
    for (auto step :
         {+[](Fixture& f) { f.moveTo(kInside); }, +[](Fixture& f) { f.press(kInside); },
          +[](Fixture& f) { f.moveTo(kOutside); }, +[](Fixture& f) { f.moveTo(kInside); },
          +[](Fixture& f) { f.release(kInside); }}) {
        step(f);
        seen << f.shown();
    }
    QCOMPARE(seen, QStringList({"Pic", "PicUp", "PicDown", "Pic", "PicDown", "PicUp"}));
    // One click, reported while the pressed picture is still shown.
    QCOMPARE(f.log, QStringList({"enter", "down@5,6", "leave", "enter", "click:PicDown", "up"}));
}

void ImgBtnTest::pressesThatDoNotClick() {
    Fixture f;
    f.moveTo(kInside);
    f.press(kInside);
    f.moveTo(kOutside);
    f.release(kOutside);
    QCOMPARE(f.shown(), QString("Pic"));
    QVERIFY(!f.button->buttonHeld());
    QTest::mouseMove(&f.parent, QPoint(110, 70));  // Qt's late leave is not reported twice
    QCOMPARE(f.log, QStringList({"enter", "down@5,6", "leave", "up"}));

    f.log.clear();
    f.moveTo(kInside);
    f.press(kInside, Qt::RightButton);
    QCOMPARE(f.shown(), QString("PicUp"));
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
    QCOMPARE(f.log, QStringList({"click:Pic"}));
    // PicUp and PicDown never change what is shown; Pic does.
    f.button->setPicUp(solid(qRgb(1, 1, 1)));
    QCOMPARE(f.shown(), QString("Pic"));
    f.button->setPic(solid(kUp));
    QCOMPARE(f.shown(), QString("PicUp"));
}

void ImgBtnTest::pictureIsClippedAndKeyedOut() {
    // A 40 x 20 picture in a 25 x 31 control: its left 25 columns, the parent below and beside.
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
        if (x != 7) QCOMPARE(s.pixel(x, 3), qRgb(x * 6, 100, 50));
        QCOMPARE(s.pixel(x, 20), kBackground);
    }
    QCOMPARE(s.pixel(7, 3), kBackground);
    QCOMPARE(s.pixel(0, 19), kBackground);
    QCOMPARE(s.pixel(25, 3), kBackground);
}

void ImgBtnTest::spriteCutting() {
    // Three 24 x 20 rows on a magenta sheet that is one row short of the third picture.
    QImage sheet(100, 59, QImage::Format_RGB32);
    sheet.fill(qRgb(255, 0, 255));
    for (int row = 0; row < 3; ++row) sheet.setPixel(70, row * 20 + 2, qRgb(row * 100, 50, 0));
    TImgBtn button;
    cutSprites(button, Bitmap(sheet), 24, 20, 68, 0);
    for (const Bitmap* b : {&button.Pic(), &button.PicUp(), &button.PicDown(), &button.Picture()}) {
        QCOMPARE(QSize(b->width(), b->height()), QSize(24, 20));
        QVERIFY(b->transparent());
    }
    QCOMPARE(button.Picture().pixel(2, 2), qRgb(0, 50, 0));
    QCOMPARE(button.PicUp().pixel(2, 2), qRgb(100, 50, 0));
    QCOMPARE(button.PicDown().pixel(2, 2), qRgb(200, 50, 0));

    // The missing row repeats the sheet's last one, so the transparent colour is still the
    // sheet's background and nothing but the drawing shows.
    QCOMPARE(button.PicDown().transparentColor(), qRgb(255, 0, 255));
    QImage target(24, 20, QImage::Format_RGB32);
    target.fill(kBackground);
    QPainter p(&target);
    button.PicDown().draw(p, 0, 0);
    p.end();
    QRect drawn;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            if (target.pixel(x, y) != kBackground) drawn |= QRect(x, y, 1, 1);
    QCOMPARE(drawn, QRect(2, 2, 1, 1));
}

QTEST_MAIN(ImgBtnTest)
#include "test_imgbtn.moc"
