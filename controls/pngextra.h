#pragma once

#include <QColor>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstdint>

#include "controls/png_image.h"

namespace qb {

enum TPNGButtonStyle : std::uint8_t { pbsDefault = 0, pbsFlat = 1, pbsNoFrame = 2 };

// pbsImageBellow keeps the spelling the rest of the program uses.
enum TPNGButtonLayout : std::uint8_t {
    pbsImageAbove = 0,
    pbsImageBellow = 1,
    pbsImageLeft = 2,
    pbsImageRight = 3,
};

// Builds the picture a disabled button shows: a copy of `normal` at one third of its opacity.
// Palette pictures are copied fully opaque, or with their own transparency table if they have
// one, since their alpha cannot be scaled per pixel.
PngImage fadeImage(const PngImage& normal);

// A push button drawn from PNG pictures with an optional caption. It has no surface of its own:
// it fills no background, so wherever it draws nothing its parent shows through. It never takes
// the keyboard focus.
//
// Its behaviour follows one small state machine (up, down, disabled, plus whether the pointer is
// over it); the events it emits are Qt signals named after the button's events, each carrying
// the button as sender.
class TPNGButton : public QWidget {
    Q_OBJECT

  public:
    enum class State : std::uint8_t { Up = 0, Down = 1, Disabled = 2 };

    explicit TPNGButton(QWidget* parent = nullptr);

    TPNGButtonLayout ButtonLayout() const { return m_buttonLayout; }
    void setButtonLayout(TPNGButtonLayout layout);
    TPNGButtonStyle ButtonStyle() const { return m_buttonStyle; }
    void setButtonStyle(TPNGButtonStyle style);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);

    const PngImage& ImageNormal() const { return m_imageNormal; }
    void setImageNormal(const PngImage& image);
    const PngImage& ImageDown() const { return m_imageDown; }
    void setImageDown(const PngImage& image);
    const PngImage& ImageOver() const { return m_imageOver; }
    void setImageOver(const PngImage& image);
    const PngImage& disabledImage() const { return m_imageDisabled; }

    // The caption's colour while enabled; the font itself is QWidget::font().
    // An invalid colour (the default) means the palette's window-text colour.
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color);

    State buttonState() const { return m_state; }
    bool pointerInside() const { return m_pointerInside; }
    bool isShownPressed() const { return m_state == State::Down && m_pointerInside; }

    // Where painting puts the picture's and the caption's top-left corners, for the current
    // state, font and size.
    QPoint picturePosition() const;
    QPoint captionPosition() const;

  signals:
    void OnMouseEnter(qb::TPNGButton* sender);
    void OnMouseExit(qb::TPNGButton* sender);
    void OnClick(qb::TPNGButton* sender);
    void OnDblClick(qb::TPNGButton* sender);
    void OnMouseDown(qb::TPNGButton* sender, Qt::MouseButton button,
                     Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseUp(qb::TPNGButton* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                   QPoint pos);
    void OnMouseMove(qb::TPNGButton* sender, Qt::MouseButtons buttons,
                     Qt::KeyboardModifiers modifiers, QPoint pos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Placement {
        QPoint picture;
        QPoint caption;
    };
    const PngImage& currentPicture() const;
    Placement placement(const PngImage& picture) const;
    void setState(State state);
    // The pointer crossed the button's edge, as Qt reported or as a grabbed move showed.
    void pointerCrossed(bool inside);
    void paintFrame(QPainter& painter, QRect& frame) const;
    void repaintNow();

    TPNGButtonStyle m_buttonStyle = pbsDefault;
    bool m_pointerInside = false;
    QString m_caption;
    TPNGButtonLayout m_buttonLayout = pbsImageAbove;
    State m_state = State::Up;
    PngImage m_imageDown;
    PngImage m_imageNormal;
    PngImage m_imageDisabled;
    PngImage m_imageOver;
    QColor m_fontColor;

    // Where the pointer really is, as far as events tell; Qt may repeat or hold back enter and
    // leave while a button is grabbed, so crossings are taken from changes of this.
    bool m_physicallyInside = false;
    // A left press began on the button; its release over the button is a click.
    bool m_clickPending = false;
};

}  // namespace qb
