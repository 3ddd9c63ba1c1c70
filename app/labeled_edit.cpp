#include "app/labeled_edit.h"

namespace qb {

LabeledEdit::LabeledEdit(QWidget* parent) : QLineEdit(parent), m_label(new QLabel(parent)) {
    m_label->setBuddy(this);
    m_label->setFocusPolicy(Qt::NoFocus);
}

void LabeledEdit::setLabelText(const QString& text) {
    m_label->setText(text);
    placeLabel();
}

void LabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    placeLabel();
}

void LabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeLabel();
}

void LabeledEdit::placeLabel() {
    m_label->adjustSize();
    const QRect edit = geometry();
    m_label->move(edit.left() - m_label->width() - kLabelSpacing,
                  edit.top() + (edit.height() - m_label->height()) / 2);
}

}  // namespace qb
