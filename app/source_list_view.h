#pragma once
// The list of source text files: a report-style list whose rows can be dragged onto each other
// and onto which files can be dropped from a file manager. It only reports where a drag passes
// and where it ends, which files were dropped and which keys ask for a change; what that does
// with the rows is the window's business.

#include <QList>
#include <QPoint>
#include <QTreeWidget>
#include <QUrl>

class QMimeData;

namespace qb {

class SourceListView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit SourceListView(QWidget* parent = nullptr);

    // Where something dropped at viewportPos lands: in front of the row at that height, or at
    // the end (the row count) below the last row. The drop line shows the same place.
    int dropRow(QPoint viewportPos) const;
    // The row a drop line is drawn in front of while a drag passes; -1 when none is drawn.
    int dropLine() const { return m_dropLine; }

  signals:
    // source: the object the drag came from (null when it came from another program).
    void OnDragOver(QObject* source, QPoint viewportPos);
    void OnDragDrop(QObject* source, QPoint viewportPos);
    // Local files or folders dropped from outside the list, in the order the drag gave them,
    // to go in front of row `at` (the row count: at the end).
    void OnFilesDropped(const QList<QUrl>& urls, int at);
    // Delete pressed on the list.
    void OnDeleteKey();
    // Alt (or Ctrl) with Up (-1) or Down (+1): move the current row.
    void OnMoveKey(int step);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool ownDrag(const QDropEvent* event) const;
    void setDropLine(int row);

    int m_dropLine = -1;
};

// True when the drag carries at least one local file or folder.
bool carriesLocalFiles(const QMimeData* data);

}  // namespace qb
