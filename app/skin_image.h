#pragma once
// A picture of the window's skin: drawn at its natural size from the top-left corner, or
// stretched over the whole control. It is windowless in spirit: where it draws nothing (outside
// a natural-size picture) the parent shows through.

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace qb {

class SkinImage : public QWidget {
    Q_OBJECT

  public:
    explicit SkinImage(QWidget* parent = nullptr);

    const QImage& Picture() const { return m_picture; }
    void setPicture(const QImage& picture);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);

  signals:
    void OnMouseDown(Qt::MouseButton button, QPoint globalPos);
    void OnMouseMove(Qt::MouseButtons buttons, QPoint globalPos);
    void OnMouseUp(Qt::MouseButton button, QPoint globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage m_picture;
    bool m_stretch = false;
};

}  // namespace qb
