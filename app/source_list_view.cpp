#include "app/source_list_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

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
    // The file's name is what tells rows apart; the tooltip gives the whole path.
    setTextElideMode(Qt::ElideMiddle);
}

bool carriesLocalFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return true;
    return false;
}

bool SourceListView::ownDrag(const QDropEvent* event) const {
    return event->source() == this;
}

// Rows dragged inside the list are moved; files from a file manager are copied into the list,
// and the copy action is what the file manager is told, so that it leaves its files alone.
void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    if (ownDrag(event) || (event->source() && !carriesLocalFiles(event->mimeData()))) {
        event->acceptProposedAction();
    } else if (carriesLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);  // scrolls the list near its edges
    if (!ownDrag(event) && carriesLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    emit OnDragOver(event->source(), event->position().toPoint());
    event->acceptProposedAction();
}

void SourceListView::dropEvent(QDropEvent* event) {
    if (!ownDrag(event) && carriesLocalFiles(event->mimeData())) {
        const QList<QUrl> urls = event->mimeData()->urls();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit OnFilesDropped(urls);
        return;
    }
    emit OnDragDrop(event->source(), event->position().toPoint());
    // The window has already rearranged the rows. Reporting no action keeps the list from also
    // removing the "moved" rows as a finished move drag would.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
}

void SourceListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        emit OnDeleteKey();
        return;
    }
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
        (mods == Qt::AltModifier || mods == Qt::ControlModifier)) {
        emit OnMoveKey(event->key() == Qt::Key_Up ? -1 : 1);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

}  // namespace qb
