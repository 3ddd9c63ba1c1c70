#include "controls/pngextra.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace qb {

namespace {

// The button's frames use the palette roles that correspond to the classic 3-D colours:
//   button highlight -> Light, 3-D light -> Midlight, button shadow -> Dark,
//   3-D dark shadow -> Shadow, button face -> Button, grey text -> disabled Text.
// Frames are always drawn in the active colours so that a disabled default-style button keeps
// its face.
QColor role(const QWidget& widget, QPalette::ColorRole r) {
    return widget.palette().color(QPalette::Active, r);
}

// One-pixel edges as the classic 3-D edge function draws them: a top-left edge covers the whole
// left column and top row, a bottom-right edge the whole right column and bottom row, so when
// both are drawn the bottom-right one owns the top-right and bottom-left corners.
void edgeTopLeft(QPainter& p, const QRect& r, const QColor& color) {
    if (r.isEmpty()) return;
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), color);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), color);
}

void edgeBottomRight(QPainter& p, const QRect& r, const QColor& color) {
    if (r.isEmpty()) return;
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), color);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), color);
}

}  // namespace

PngImage fadeImage(const PngImage& normal) {
    PngImage faded = normal;
    if (faded.isEmpty()) return faded;
    faded.addAlpha();
    if (faded.colorType() == PngColorType::Palette) return faded;
    for (int y = 0; y < faded.height(); ++y) {
        for (int x = 0; x < faded.width(); ++x) {
            faded.setAlphaAt(x, y, static_cast<std::uint8_t>(faded.alphaAt(x, y) / 3));
        }
    }
    return faded;
}

TPNGButton::TPNGButton(QWidget* parent) : QWidget(parent) {
    // Windowless: no background of its own, so the parent's picture shows where nothing is drawn.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    // Moves are reported (and can set the hover state) without a button held, too.
    setMouseTracking(true);
    resize(23, 23);
    if (!isEnabled()) m_state = State::Disabled;
}

void TPNGButton::setButtonLayout(TPNGButtonLayout layout) {
    m_buttonLayout = layout;
    repaintNow();
}

void TPNGButton::setButtonStyle(TPNGButtonStyle style) {
    m_buttonStyle = style;
    repaintNow();
}

void TPNGButton::setCaption(const QString& caption) {
    m_caption = caption;
    repaintNow();
}

void TPNGButton::setImageNormal(const PngImage& image) {
    m_imageNormal = image;
    m_imageDisabled = fadeImage(m_imageNormal);
    repaintNow();
}

void TPNGButton::setImageDown(const PngImage& image) {
    m_imageDown = image;
    repaintNow();
}

void TPNGButton::setImageOver(const PngImage& image) {
    m_imageOver = image;
    repaintNow();
}

void TPNGButton::setFontColor(const QColor& color) {
    m_fontColor = color;
    repaintNow();
}

void TPNGButton::repaintNow() {
    // Synchronous, so whatever changed is on screen before the setter returns.
    repaint();
}

void TPNGButton::setState(State state) {
    if (state == m_state) return;
    m_state = state;
    repaintNow();
}

const PngImage& TPNGButton::currentPicture() const {
    if (isShownPressed() && !m_imageDown.isEmpty()) return m_imageDown;
    if (m_pointerInside && !m_imageOver.isEmpty() && isEnabled()) return m_imageOver;
    if (m_state == State::Disabled && !m_imageDisabled.isEmpty()) return m_imageDisabled;
    return m_imageNormal;
}

TPNGButton::Placement TPNGButton::placement(const PngImage& picture) const {
    const int w = width();
    const int h = height();
    const int iw = picture.width();
    int ih = picture.height();
    int tw = 0;
    int th = 0;
    if (!m_caption.isEmpty()) {
        const QFontMetrics metrics(font());
        tw = metrics.horizontalAdvance(m_caption);
        th = metrics.height();
        ih += 4;  // gap between picture and caption
    }
    // Integer division in C++ truncates towards zero, as these halvings must.
    const int d = isShownPressed() ? 2 : 0;
    int px = (w - iw) / 2 + d;
    int tx = (w - tw) / 2 + d;
    int ty = (h - th) / 2;
    int py = (h - ih) / 2;
    switch (m_buttonLayout) {
        case pbsImageAbove:
            py = (h - ih - th) / 2;
            ty = py + ih;
            break;
        case pbsImageBellow:
            ty = (h - ih - th) / 2;
            py = ty + th;
            break;
        case pbsImageLeft:
            px = (w - iw - tw) / 2;
            tx = px + iw + 5;
            break;
        case pbsImageRight:
            tx = (w - iw - tw) / 2;
            px = tx + tw + 5;
            break;
    }
    py += d;
    ty += d;
    return {QPoint(px, py), QPoint(tx, ty)};
}

QPoint TPNGButton::picturePosition() const {
    return placement(currentPicture()).picture;
}

QPoint TPNGButton::captionPosition() const {
    return placement(currentPicture()).caption;
}

void TPNGButton::paintFrame(QPainter& p, QRect& frame) const {
    switch (m_buttonStyle) {
        case pbsFlat: {
            if (m_state == State::Disabled) return;
            const QColor light = role(*this, QPalette::Light);
            const QColor dark = role(*this, QPalette::Dark);
            if (isShownPressed()) {
                edgeTopLeft(p, frame, dark);
                edgeBottomRight(p, frame, light);
            } else if (m_pointerInside || m_state == State::Down) {
                edgeTopLeft(p, frame, light);
                edgeBottomRight(p, frame, dark);
            } else {
                return;
            }
            frame.adjust(1, 1, -1, -1);
            return;
        }
        case pbsDefault: {
            // The face is drawn on a copy; the caption stays clipped to the whole button.
            QRect face = frame;
            const QColor buttonFace = role(*this, QPalette::Button);
            if (!isShownPressed()) {
                edgeBottomRight(p, face, role(*this, QPalette::Shadow));  // raised outer
                face.adjust(0, 0, -1, -1);
                edgeTopLeft(p, face, role(*this, QPalette::Light));  // raised inner
                face.adjust(1, 1, 0, 0);
                edgeBottomRight(p, face, role(*this, QPalette::Dark));  // raised inner
                p.fillRect(face.adjusted(0, 0, -1, -1), buttonFace);
            } else {
                edgeTopLeft(p, face, role(*this, QPalette::Shadow));     // sunken inner
                edgeBottomRight(p, face, role(*this, QPalette::Light));  // sunken outer
                face.adjust(1, 1, -1, -1);
                edgeTopLeft(p, face, role(*this, QPalette::Dark));  // sunken outer
                p.fillRect(face.adjusted(1, 1, 0, 0), buttonFace);
            }
            return;
        }
        case pbsNoFrame:
            return;
    }
}

void TPNGButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const PngImage& picture = currentPicture();
    const Placement at = placement(picture);
    QRect frame = rect();
    paintFrame(p, frame);

    // Nothing behind the picture or the caption: the text is drawn without a background box.
    p.setBackgroundMode(Qt::TransparentMode);
    picture.draw(p, at.picture.x(), at.picture.y());

    if (m_caption.isEmpty()) return;
    QColor color = m_fontColor.isValid() ? m_fontColor
                                         : palette().color(QPalette::Active, QPalette::WindowText);
    if (m_state == State::Disabled) color = palette().color(QPalette::Disabled, QPalette::Text);
    p.setPen(color);
    p.setClipRect(frame);
    p.drawText(QPoint(at.caption.x(), at.caption.y() + QFontMetrics(font()).ascent()), m_caption);
}

void TPNGButton::pointerCrossed(bool inside) {
    if (inside == m_physicallyInside) return;
    m_physicallyInside = inside;
    if (!isEnabled()) {
        // No events while disabled, but a pointer that has gone must not leave the hover look
        // behind for when the button is enabled again.
        if (!inside) m_pointerInside = false;
        return;
    }
    if (inside) {
        emit OnMouseEnter(this);
        m_pointerInside = true;
    } else {
        emit OnMouseExit(this);
        m_pointerInside = false;
    }
    repaintNow();
}

void TPNGButton::enterEvent(QEnterEvent*) {
    pointerCrossed(true);
}

void TPNGButton::leaveEvent(QEvent*) {
    pointerCrossed(false);
}

void TPNGButton::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    pointerCrossed(rect().contains(pos));
    if (event->button() == Qt::LeftButton) {
        m_clickPending = true;
        if (m_state == State::Up) setState(State::Down);
    }
    emit OnMouseDown(this, event->button(), event->modifiers(), pos);
}

void TPNGButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: a press again, but its release is no second click.
    const QPoint pos = event->position().toPoint();
    pointerCrossed(rect().contains(pos));
    if (event->button() == Qt::LeftButton) {
        m_clickPending = false;
        if (m_state == State::Up) setState(State::Down);
        emit OnDblClick(this);
    }
    emit OnMouseDown(this, event->button(), event->modifiers(), pos);
}

void TPNGButton::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    if (event->button() == Qt::LeftButton) {
        const bool click = m_clickPending && inside;
        m_clickPending = false;
        if (click) {
            setState(State::Up);
            emit OnClick(this);
        }
    }
    if (m_state == State::Down) setState(State::Up);
    emit OnMouseUp(this, event->button(), event->modifiers(), pos);
    // With the last button up the grab ends; the pointer is wherever the release happened.
    if (event->buttons() == Qt::NoButton) pointerCrossed(inside);
}

void TPNGButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    // While a button is held the moves keep coming here wherever the pointer is, and Qt may
    // hold its enter and leave back; the edge crossings are read from the moves themselves.
    pointerCrossed(inside);
    if (inside && !m_pointerInside && m_state != State::Down) {
        m_pointerInside = true;
        repaintNow();
    }
    emit OnMouseMove(this, event->buttons(), event->modifiers(), pos);
}

void TPNGButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            m_clickPending = false;
            m_imageDisabled = fadeImage(m_imageNormal);
            setState(State::Disabled);
        } else {
            setState(State::Up);
        }
    }
    QWidget::changeEvent(event);
}

}  // namespace qb
