// The window's list of text files: adding, removing, reordering and drops.

#include "app/tform1.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidgetItem>

#include <algorithm>

namespace qb {

void TForm1::addSourceFiles(const QStringList& files) {
    for (const QString& file : files) {
        auto* row = new QTreeWidgetItem(m_listView1);
        row->setText(1, file);
        row->setToolTip(1, file);
    }
    renumberRows();
}

// The "Page" column always tells the page each row becomes.
void TForm1::renumberRows() {
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row)
        m_listView1->topLevelItem(row)->setText(0, QString::number(row + 1));
}

namespace {

bool isTextFile(const QFileInfo& file) {
    return file.isFile() && file.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
}

// File names in the order a file manager shows them: case ignored, and runs of digits compared
// as numbers, so that "2 two.txt" comes before "10 ten.txt" whatever the locale's collation.
bool nameOrder(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit()) ++i;
            while (j < b.size() && b[j].isDigit()) ++j;
            QStringView na = QStringView(a).mid(startA, i - startA);
            QStringView nb = QStringView(b).mid(startB, j - startB);
            while (na.size() > 1 && na.front() == u'0') na = na.mid(1);
            while (nb.size() > 1 && nb.front() == u'0') nb = nb.mid(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0) return c < 0;
            continue;
        }
        const QChar x = a[i].toCaseFolded();
        const QChar y = b[j].toCaseFolded();
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    return a < b;
}

}  // namespace

void TForm1::addDroppedFiles(const QList<QUrl>& urls) {
    QStringList files;
    QStringList skipped;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            skipped << url.toDisplayString();
            continue;
        }
        const QString path = QDir::cleanPath(url.toLocalFile());
        const QFileInfo info(path);
        if (info.isDir()) {
            QStringList inFolder;
            for (const QFileInfo& entry :
                 QDir(path).entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
                if (isTextFile(entry)) inFolder << entry.absoluteFilePath();
            }
            std::sort(inFolder.begin(), inFolder.end(), [](const QString& a, const QString& b) {
                return nameOrder(QFileInfo(a).fileName(), QFileInfo(b).fileName());
            });
            if (inFolder.isEmpty()) skipped << path + QStringLiteral(" (no .txt files in it)");
            files << inFolder;
        } else if (isTextFile(info)) {
            files << path;
        } else {
            skipped << path;
        }
    }
    addSourceFiles(files);
    if (skipped.isEmpty()) return;

    constexpr int kNamed = 10;
    QString text =
        QStringLiteral("Only .txt files and folders holding them can be added. Skipped:");
    for (int i = 0; i < std::min<int>(kNamed, int(skipped.size())); ++i) text += u'\n' + skipped[i];
    if (skipped.size() > kNamed)
        text += QStringLiteral("\n... and %1 more.").arg(skipped.size() - kNamed);
    // Not inside the drop itself: the file manager waits for the drop to finish.
    QTimer::singleShot(0, this, [this, text] { m_ui->showNote(text); });
}

void TForm1::PNGButton2Click() {
    addSourceFiles(m_ui->openTextFiles(this));
}

void TForm1::PNGButton1Click() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    renumberRows();
}

void TForm1::PNGButton3Click() {
    m_listView1->clear();
}

// Delete removes the selected row and selects the one that takes its place, so that rows can
// be removed one after another from the keyboard.
void TForm1::deleteKeyPressed() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    QTreeWidgetItem* row = selected.isEmpty() ? m_listView1->currentItem() : selected.first();
    if (!row) return;
    const int at = m_listView1->indexOfTopLevelItem(row);
    delete row;
    renumberRows();
    const int count = m_listView1->topLevelItemCount();
    if (count > 0) m_listView1->setCurrentItem(m_listView1->topLevelItem(std::min(at, count - 1)));
}

void TForm1::moveCurrentRow(int step) {
    QTreeWidgetItem* row = m_listView1->currentItem();
    if (!row) return;
    const int from = m_listView1->indexOfTopLevelItem(row);
    const int to = from + step;
    if (to < 0 || to >= m_listView1->topLevelItemCount()) return;
    m_listView1->takeTopLevelItem(from);
    m_listView1->insertTopLevelItem(to, row);
    renumberRows();
    m_listView1->setCurrentItem(row);
}

void TForm1::ListView1DragOver(QObject*) {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    m_draggedRow = selected.isEmpty()
                       ? QPersistentModelIndex()
                       : QPersistentModelIndex(m_listView1->indexFromItem(selected.first()));
}

void TForm1::ListView1DragDrop(QObject* source, QPoint viewportPos) {
    if (!qobject_cast<QTreeWidget*>(source)) return;
    // A drag that began on no row carries no row: nothing moves.
    if (!m_draggedRow.isValid()) return;
    const int s = m_draggedRow.row();
    const int count = m_listView1->topLevelItemCount();
    QTreeWidgetItem* target = m_listView1->itemAt(viewportPos);
    if (!target) {
        // Below the last row is the end of the list: the only way to drag a row there.
        QTreeWidgetItem* last = m_listView1->topLevelItem(count - 1);
        if (!last || viewportPos.y() <= m_listView1->visualItemRect(last).bottom()) return;
        m_listView1->addTopLevelItem(m_listView1->takeTopLevelItem(s));
    } else {
        // The dragged row lands in front of the row it was dropped on.
        const int t = m_listView1->indexOfTopLevelItem(target);
        QTreeWidgetItem* moved = m_listView1->topLevelItem(s)->clone();
        m_listView1->insertTopLevelItem(t, moved);
        delete m_listView1->takeTopLevelItem(s < t ? s : s + 1);
    }
    renumberRows();
    m_listView1->clearSelection();
    m_draggedRow = QPersistentModelIndex();
}

}  // namespace qb
