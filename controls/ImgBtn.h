#pragma once

#include <QPoint>
#include <QWidget>

#include "controls/bitmap.h"

namespace qb {

// The mouse message behind one of TImgBtn's events: the pointer position in the control's
// coordinates, the buttons held and the keyboard modifiers.
struct MouseMessage {
    QPoint pos;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
};

// A picture control that acts as a button by swapping the picture it shows: Pic normally,
// PicUp while the pointer is over it, PicDown while the left button is held on it with the
// pointer over it. The shown picture is drawn at its natural size from the top-left corner,
// clipped to the control; a transparent bitmap leaves its transparent colour undrawn and the
// parent shows there. Takes no keyboard focus.
class TImgBtn : public QWidget {
    Q_OBJECT

  public:
    explicit TImgBtn(QWidget* parent = nullptr);

    // The picture on screen now.
    const Bitmap& Picture() const { return m_picture; }
    void setPicture(const Bitmap& picture);

    const Bitmap& Pic() const { return m_pic; }
    // Also shows the picture at once.
    void setPic(const Bitmap& picture);
    const Bitmap& PicDown() const { return m_picDown; }
    void setPicDown(const Bitmap& picture);
    const Bitmap& PicUp() const { return m_picUp; }
    void setPicUp(const Bitmap& picture);

    // While false the control never swaps pictures and its four mouse events stay silent;
    // OnClick is still reported.
    bool Supported() const { return m_supported; }
    void setSupported(bool supported) { m_supported = supported; }

    bool pointerInside() const { return m_pointerInside; }
    bool buttonHeld() const { return m_buttonHeld; }

  signals:
    void OnMouseEnter(qb::TImgBtn* sender, const qb::MouseMessage& message);
    void OnMouseLeave(qb::TImgBtn* sender, const qb::MouseMessage& message);
    void OnMouseDown(qb::TImgBtn* sender, const qb::MouseMessage& message);
    void OnMouseUp(qb::TImgBtn* sender, const qb::MouseMessage& message);
    void OnClick(qb::TImgBtn* sender);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void pointerCrossed(bool inside, const MouseMessage& message);
    void leftPressed(const MouseMessage& message, bool clickFollows);
    void showPicture(const Bitmap& picture);

    bool m_pointerInside = false;
    bool m_buttonHeld = false;
    Bitmap m_pic;
    Bitmap m_picDown;
    Bitmap m_picUp;
    bool m_supported = true;
    Bitmap m_picture;

    // Where the pointer really is, as far as events tell (see TPNGButton).
    bool m_physicallyInside = false;
    bool m_clickPending = false;
};

// Fills a sprite button from a sprite sheet: three w x h pictures, taken at (x, y), (x, y + h)
// and (x, y + 2h) of `sheet`, become Pic (and the shown picture), PicUp and PicDown, each marked
// transparent. Where a rectangle runs past the sheet, the sheet's nearest edge pixels fill in.
void cutSprites(TImgBtn& button, const Bitmap& sheet, int w, int h, int x, int y);

}  // namespace qb
