#include "app/source_list_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>

namespace qb {

SourceListView::SourceListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    // A drop puts the row before the one under the pointer; lines between rows would promise
    // something else.
    setDropIndicatorShown(false);
}

void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);  // scrolls the list near its edges
    emit OnDragOver(event->source(), event->position().toPoint());
    event->acceptProposedAction();
}

void SourceListView::dropEvent(QDropEvent* event) {
    emit OnDragDrop(event->source(), event->position().toPoint());
    // The window has already rearranged the rows. Reporting no action keeps the list from also
    // removing the "moved" rows as a finished move drag would.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
}

}  // namespace qb
