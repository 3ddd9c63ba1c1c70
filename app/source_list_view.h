#pragma once
// The list of source text files: a report-style list whose rows can be dragged onto each other.
// It only reports where a drag passes and where it ends; what a drop does with the rows is the
// window's business.

#include <QPoint>
#include <QTreeWidget>

namespace qb {

class SourceListView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit SourceListView(QWidget* parent = nullptr);

  signals:
    // source: the object the drag came from (null when it came from another program).
    void OnDragOver(QObject* source, QPoint viewportPos);
    void OnDragDrop(QObject* source, QPoint viewportPos);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace qb
