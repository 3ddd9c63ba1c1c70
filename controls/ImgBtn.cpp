#include "controls/ImgBtn.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qb {

TImgBtn::TImgBtn(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    // Without tracking Qt sends moves only while a button is held; crossings are read from
    // those, and enter/leave cover the rest.
}

void TImgBtn::setPicture(const Bitmap& picture) {
    m_picture = picture;
    update();
}

void TImgBtn::showPicture(const Bitmap& picture) {
    m_picture = picture;
    // The swap is the button's feedback: on screen before the event that caused it returns.
    repaint();
}

void TImgBtn::setPic(const Bitmap& picture) {
    m_pic = picture;
    showPicture(picture);
}

void TImgBtn::setPicDown(const Bitmap& picture) {
    m_picDown = picture;
}

void TImgBtn::setPicUp(const Bitmap& picture) {
    m_picUp = picture;
}

void TImgBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    m_picture.draw(p, 0, 0);
}

void TImgBtn::pointerCrossed(bool inside, const MouseMessage& message) {
    if (inside == m_physicallyInside) return;
    m_physicallyInside = inside;
    if (!m_supported) return;
    if (inside) {
        m_pointerInside = true;
        showPicture(m_buttonHeld ? m_picDown : m_picUp);
        emit OnMouseEnter(this, message);
    } else {
        m_pointerInside = false;
        showPicture(m_pic);
        emit OnMouseLeave(this, message);
    }
}

void TImgBtn::enterEvent(QEnterEvent* event) {
    pointerCrossed(true, {event->position().toPoint(), QGuiApplication::mouseButtons(),
                          QGuiApplication::keyboardModifiers()});
}

void TImgBtn::leaveEvent(QEvent*) {
    pointerCrossed(false, {mapFromGlobal(QCursor::pos()), QGuiApplication::mouseButtons(),
                           QGuiApplication::keyboardModifiers()});
}

void TImgBtn::leftPressed(const MouseMessage& message, bool clickFollows) {
    m_clickPending = clickFollows;
    if (!m_supported) return;
    m_buttonHeld = true;
    if (m_pointerInside) showPicture(m_picDown);
    emit OnMouseDown(this, message);
}

void TImgBtn::mousePressEvent(QMouseEvent* event) {
    const MouseMessage message{event->position().toPoint(), event->buttons(), event->modifiers()};
    pointerCrossed(rect().contains(message.pos), message);
    if (event->button() == Qt::LeftButton) leftPressed(message, true);
}

void TImgBtn::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click shows the button held, but reports no second click.
    const MouseMessage message{event->position().toPoint(), event->buttons(), event->modifiers()};
    pointerCrossed(rect().contains(message.pos), message);
    if (event->button() == Qt::LeftButton) leftPressed(message, false);
}

void TImgBtn::mouseReleaseEvent(QMouseEvent* event) {
    const MouseMessage message{event->position().toPoint(), event->buttons(), event->modifiers()};
    const bool inside = rect().contains(message.pos);
    if (event->button() == Qt::LeftButton) {
        // The click comes first, while the pressed picture is still shown.
        const bool click = m_clickPending && inside;
        m_clickPending = false;
        if (click) emit OnClick(this);
        if (m_supported) {
            m_buttonHeld = false;
            if (m_pointerInside) showPicture(m_picUp);
            emit OnMouseUp(this, message);
        }
    }
    if (event->buttons() == Qt::NoButton) pointerCrossed(inside, message);
}

void TImgBtn::mouseMoveEvent(QMouseEvent* event) {
    const MouseMessage message{event->position().toPoint(), event->buttons(), event->modifiers()};
    pointerCrossed(rect().contains(message.pos), message);
}

void cutSprites(TImgBtn& button, const Bitmap& sheet, int w, int h, int x, int y) {
    // A rectangle that runs past the sheet repeats the sheet's edge pixels instead of leaving
    // a gap: the bottom-left pixel, and with it the transparent colour, stays the sheet's
    // background even when the sheet is a row or two short.
    const auto cut = [&](int top) {
        Bitmap picture(w, h);
        if (!sheet.isEmpty()) {
            QImage image = picture.image();
            for (int row = 0; row < image.height(); ++row) {
                const int sy = std::clamp(top + row, 0, sheet.height() - 1);
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
                for (int col = 0; col < image.width(); ++col) {
                    line[col] = sheet.pixel(std::clamp(x + col, 0, sheet.width() - 1), sy);
                }
            }
            picture = Bitmap(image);
        }
        picture.setTransparent(true);
        return picture;
    };
    const Bitmap normal = cut(y);
    const Bitmap over = cut(y + h);
    const Bitmap pressed = cut(y + 2 * h);
    button.setPic(normal);
    button.setPicUp(over);
    button.setPicDown(pressed);
}

}  // namespace qb
