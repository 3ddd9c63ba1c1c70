#pragma once
// A single-line edit with its label to its left, the label's right edge three pixels before the
// edit and its middle level with the edit's middle. The label is a sibling of the edit so that
// it can lie outside the edit's own rectangle.

#include <QLabel>
#include <QLineEdit>

namespace qb {

class LabeledEdit : public QLineEdit {
    Q_OBJECT

  public:
    static constexpr int kLabelSpacing = 3;

    explicit LabeledEdit(QWidget* parent);

    QLabel* EditLabel() const { return m_label; }
    void setLabelText(const QString& text);

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeLabel();

    QLabel* m_label;
};

}  // namespace qb
