#include "app/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace qb {

FocusRing::FocusRing(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusRing::watch(QWidget* control) {
    control->setProperty("qbFocusRing", true);
    control->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    // The ring goes with its control when it moves, hides or loses the right to the focus.
    if (watched == m_target &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::Hide || event->type() == QEvent::EnabledChange))
        follow(QApplication::focusWidget());
    return QWidget::eventFilter(watched, event);
}

void FocusRing::follow(QWidget* focused) {
    const bool ours = focused && focused->property("qbFocusRing").toBool() &&
                      focused->window() == window() && focused->isVisible() && focused->isEnabled();
    m_target = ours ? focused : nullptr;
    if (!ours) {
        hide();
        return;
    }
    const QRect area(focused->mapTo(window(), QPoint(0, 0)), focused->size());
    setGeometry(area.adjusted(-2, -2, 2, 2));
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*) {
    // Two tones, so the ring shows on the dark header as on the white panel below it.
    QPainter painter(this);
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    painter.setPen(QPen(QColor(0x10, 0x20, 0x40), 1));
    painter.drawRoundedRect(outer, 3, 3);
    QPen dotted(QColor(0xFF, 0xD8, 0x40), 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawRoundedRect(outer.adjusted(1, 1, -1, -1), 2, 2);
}

}  // namespace qb
