#include "app/picture_button_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace qb {

namespace {

class PictureButtonAccessible : public QAccessibleWidget {
  public:
    explicit PictureButtonAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        // The window presses a picture button on Space, as for the keyboard user; a disabled
        // button stays unpressed.
        if (!widget()->isEnabled()) return;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(widget(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(widget(), &release);
    }
};

QAccessibleInterface* pictureButtonFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("qb::TPNGButton") && className != QLatin1String("qb::TImgBtn"))
        return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    return widget ? new PictureButtonAccessible(widget) : nullptr;
}

}  // namespace

void installPictureButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(pictureButtonFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace qb
