#include "app/source_list_view.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

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
    // A drop puts the row before the one under the pointer. Qt's own indicator would also offer
    // "onto" and "after" a row; the list draws its own line where the row will go instead.
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

int SourceListView::dropRow(QPoint viewportPos) const {
    // By height only: a drop right of the columns still means the row beside it.
    const QModelIndex index = indexAt(QPoint(columnViewportPosition(0) + 1, viewportPos.y()));
    return index.isValid() ? index.row() : topLevelItemCount();
}

void SourceListView::setDropLine(int row) {
    if (row == m_dropLine) return;
    m_dropLine = row;
    viewport()->update();
}

void SourceListView::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    const int count = topLevelItemCount();
    if (m_dropLine < 0 || m_dropLine > count) return;
    int y = 0;
    if (m_dropLine < count)
        y = visualItemRect(topLevelItem(m_dropLine)).top();
    else if (count > 0)
        y = visualItemRect(topLevelItem(count - 1)).bottom() + 1;
    QPainter painter(viewport());
    painter.fillRect(QRect(0, std::max(0, y - 1), viewport()->width(), 2),
                     palette().color(QPalette::Highlight));
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
    setDropLine(dropRow(event->position().toPoint()));
    if (!ownDrag(event) && carriesLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    emit OnDragOver(event->source(), event->position().toPoint());
    event->acceptProposedAction();
}

void SourceListView::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropLine(-1);
    QTreeWidget::dragLeaveEvent(event);
}

void SourceListView::dropEvent(QDropEvent* event) {
    setDropLine(-1);
    if (!ownDrag(event) && carriesLocalFiles(event->mimeData())) {
        const QList<QUrl> urls = event->mimeData()->urls();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit OnFilesDropped(urls, dropRow(event->position().toPoint()));
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
