// Shows the skinned buttons in each of their looks over a patterned background, so they can be
// judged by eye. With a file name as argument it saves a picture of the window there and quits:
//   controls_demo [picture.png [scale]]

#include <QApplication>
#include <QBuffer>
#include <QEnterEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "controls/ImgBtn.h"
#include "controls/bitmap.h"
#include "controls/png_image.h"
#include "controls/pngextra.h"

namespace {

class Backdrop : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), height());
        g.setColorAt(0, QColor(30, 60, 120));
        g.setColorAt(1, QColor(90, 30, 90));
        p.fillRect(rect(), g);
        p.setPen(QColor(255, 255, 255, 40));
        for (int x = 0; x < width(); x += 12) p.drawLine(x, 0, x, height());
    }
};

// A 32 x 32 round icon with a soft edge, drawn with Qt and passed through PNG bytes so the
// demo goes through the same decoder as the program.
qb::PngImage icon(const QColor& color, const QString& glyph) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(color);
        p.setPen(QPen(color.darker(150), 2));
        p.drawEllipse(QRectF(2, 2, 28, 28));
        p.setPen(Qt::white);
        QFont f("Arial", 14, QFont::Bold);
        p.setFont(f);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, glyph);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return qb::PngImage::fromMemory(bytes, "demo icon");
}

// A sprite sheet of two window buttons, three rows each, on a magenta key colour.
qb::Bitmap spriteSheet() {
    QImage sheet(121, 60, QImage::Format_RGB32);
    sheet.fill(QColor(255, 0, 255));
    QPainter p(&sheet);
    const QColor rows[3] = {QColor(70, 70, 70), QColor(40, 120, 220), QColor(20, 60, 140)};
    for (int r = 0; r < 3; ++r) {
        p.fillRect(QRect(4, r * 20 + 3, 18, 14), rows[r]);
        p.fillRect(QRect(8, r * 20 + 11, 10, 2), Qt::white);
        p.fillRect(QRect(70, r * 20 + 3, 18, 14), r == 0 ? rows[0] : QColor(210, 40, 40));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(74, r * 20 + 6, 84, r * 20 + 14);
        p.drawLine(84, r * 20 + 6, 74, r * 20 + 14);
    }
    return qb::Bitmap(sheet);
}

void hover(QWidget* w) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w, &enter);
}

void press(QWidget* w) {
    hover(w);
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &down);
}

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet("color: white; font: 9pt 'Arial';");
    l->move(x, y);
    return l;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Backdrop window;
    window.setWindowTitle("Quirebind buttons");
    window.resize(620, 400);

    const qb::PngImage add = icon(QColor(40, 170, 60), "+");
    const qb::PngImage remove = icon(QColor(200, 50, 50), "-");
    const qb::PngImage over = icon(QColor(240, 170, 20), "+");
    const qb::PngImage down = icon(QColor(20, 90, 30), "+");

    std::vector<qb::TPNGButton*> pressLater;
    std::vector<QWidget*> hoverLater;

    // Flat toolbar buttons: normal, hover, pressed, disabled, and the bold yellow "Convert".
    label(&window, "flat: normal / hover / pressed / disabled / Convert / wide caption", 8, 6);
    const char* captions[] = {"Add", "Add", "Add", "Remove", "Convert", "Remove All Of Them"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new qb::TPNGButton(&window);
        b->setGeometry(8 + i * 66, 26, 58, 58);
        b->setButtonStyle(qb::pbsFlat);
        b->setFont(QFont("Arial", 8));
        b->setFontColor(Qt::white);
        b->setCaption(captions[i]);
        b->setImageNormal(i == 3 ? remove : add);
        b->setCursor(Qt::PointingHandCursor);
        if (i == 1) hoverLater.push_back(b);
        if (i == 2) pressLater.push_back(b);
        if (i == 3) b->setEnabled(false);
        if (i == 4) {
            b->setFont(QFont("Arial Black", 8, QFont::Bold));
            b->setFontColor(Qt::yellow);
        }
    }

    // Default style: normal, pressed, disabled; no frame; ImageOver and ImageDown choices.
    label(&window, "default: normal / pressed / disabled;  no frame;  ImageOver;  ImageDown", 8,
          96);
    for (int i = 0; i < 6; ++i) {
        auto* b = new qb::TPNGButton(&window);
        b->setGeometry(8 + i * 66, 116, 58, 58);
        b->setButtonStyle(i == 3 ? qb::pbsNoFrame : i >= 4 ? qb::pbsFlat : qb::pbsDefault);
        b->setCaption("Add");
        b->setImageNormal(add);
        b->setImageOver(over);
        b->setImageDown(down);
        if (i == 1) pressLater.push_back(b);
        if (i == 2) b->setEnabled(false);
        if (i == 4) hoverLater.push_back(b);
        if (i == 5) pressLater.push_back(b);
    }

    // The four layouts.
    label(&window, "layouts: above / bellow / left / right", 8, 186);
    const qb::TPNGButtonLayout layouts[] = {qb::pbsImageAbove, qb::pbsImageBellow, qb::pbsImageLeft,
                                            qb::pbsImageRight};
    for (int i = 0; i < 4; ++i) {
        auto* b = new qb::TPNGButton(&window);
        const bool wide = i >= 2;
        b->setGeometry(8 + (i < 2 ? i * 66 : 132 + (i - 2) * 110), 206, wide ? 102 : 58, 58);
        b->setButtonStyle(qb::pbsDefault);
        b->setButtonLayout(layouts[i]);
        b->setCaption("Home");
        b->setImageNormal(add);
    }

    // Window buttons cut from a sprite sheet: normal, pointer over, pressed.
    label(&window, "sprite buttons (min, close): normal / over / pressed", 8, 276);
    const qb::Bitmap sheet = spriteSheet();
    for (int i = 0; i < 3; ++i) {
        auto* minimise = new qb::TImgBtn(&window);
        minimise->setGeometry(8 + i * 70, 296, 25, 31);
        qb::cutSprites(*minimise, sheet, 40, 20, 0, 0);
        auto* close = new qb::TImgBtn(&window);
        close->setGeometry(8 + i * 70 + 28, 296, 25, 31);
        qb::cutSprites(*close, sheet, 24, 20, 68, 0);
        for (QWidget* w : {static_cast<QWidget*>(minimise), static_cast<QWidget*>(close)}) {
            if (i == 1) hoverLater.push_back(w);
            if (i == 2) {
                hover(w);
                QMouseEvent downEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(w, &downEvent);
            }
        }
    }

    window.show();
    for (QWidget* w : hoverLater) hover(w);
    for (qb::TPNGButton* b : pressLater) press(b);

    if (argc > 1) {
        const QString out = QString::fromLocal8Bit(argv[1]);
        // An optional whole-number scale enlarges the picture pixel for pixel, to check edges.
        const int scale = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 1;
        QTimer::singleShot(300, [&window, out, scale] {
            const QImage shot = window.grab().toImage();
            shot.scaled(shot.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .save(out);
            QApplication::quit();
        });
    }
    return app.exec();
}
