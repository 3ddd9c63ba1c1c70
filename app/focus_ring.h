#pragma once
// The keyboard focus made visible on controls that draw no focus of their own (the skinned
// picture buttons): a ring laid over whichever of them has the focus.

#include <QPointer>
#include <QWidget>

namespace qb {

class FocusRing : public QWidget {
    Q_OBJECT

  public:
    // Lies over the watched controls inside window; never takes the mouse.
    explicit FocusRing(QWidget* window);

    // A control whose focus the ring shows.
    void watch(QWidget* control);
    // The control the ring surrounds now; null when hidden.
    QWidget* target() const { return isVisible() ? m_target.data() : nullptr; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void follow(QWidget* focused);

    QPointer<QWidget> m_target;
};

}  // namespace qb
