// The window's list of text files: adding, removing, reordering and drops.

#include "app/tform1.h"

#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QTreeWidgetItem>

#include <algorithm>

namespace qb {

QStringList TForm1::insertSourceFiles(const QStringList& files, int at) {
    // A text listed twice would become two copies of its pages; the second is left out.
    QSet<QString> listed;
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row)
        listed.insert(QDir::cleanPath(m_listView1->topLevelItem(row)->text(1)));
    const int count = m_listView1->topLevelItemCount();
    int next = at < 0 || at > count ? count : at;
    QStringList already;
    for (const QString& file : files) {
        const QString key = QDir::cleanPath(file);
        if (listed.contains(key)) {
            if (!already.contains(file)) already << file;
            continue;
        }
        listed.insert(key);
        auto* row = new QTreeWidgetItem;
        row->setText(1, file);
        row->setToolTip(1, file);
        m_listView1->insertTopLevelItem(next++, row);
    }
    renumberRows();
    return already;
}

void TForm1::addSourceFiles(const QStringList& files) {
    const QStringList already = insertSourceFiles(files, -1);
    if (!already.isEmpty()) m_ui->showNote(alreadyListedNote(already));
}

namespace {

// Set on the page column of a row whose file has gone.
constexpr int kMissingRole = Qt::UserRole + 1;

}  // namespace

// The "Page" column always tells the page each row becomes.
void TForm1::renumberRows() {
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = m_listView1->topLevelItem(row);
        QString page = QString::number(row + 1);
        if (item->data(0, kMissingRole).toBool()) page += QStringLiteral(" (missing)");
        item->setText(0, page);
    }
}

void TForm1::markMissingRows() {
    const QBrush grey = m_listView1->palette().brush(QPalette::Disabled, QPalette::Text);
    for (int row = 0; row < m_listView1->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = m_listView1->topLevelItem(row);
        const QString path = item->text(1);
        const bool missing = !QFileInfo::exists(path);
        item->setData(0, kMissingRole, missing);
        for (int column = 0; column < 2; ++column)
            item->setData(column, Qt::ForegroundRole, missing ? QVariant(grey) : QVariant());
        item->setToolTip(1,
                         missing ? path + QStringLiteral("\nThis file is no longer there.") : path);
    }
    renumberRows();
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

// A note naming the first few of `names` under its heading.
QString namedList(const QString& heading, const QStringList& names) {
    constexpr int kNamed = 10;
    QString text = heading;
    for (int i = 0; i < std::min<int>(kNamed, int(names.size())); ++i) text += u'\n' + names[i];
    if (names.size() > kNamed)
        text += QStringLiteral("\n... and %1 more.").arg(names.size() - kNamed);
    return text;
}

// The text files of a folder, in the order a file manager shows them.
QStringList textFilesIn(const QString& folder) {
    QStringList files;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot))
        if (isTextFile(entry)) files << entry.absoluteFilePath();
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return nameOrder(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return files;
}

}  // namespace

QString TForm1::alreadyListedNote(const QStringList& files) {
    return namedList(QStringLiteral("Already in the list, so not added again:"), files);
}

void TForm1::addDroppedFiles(const QList<QUrl>& urls, int at) {
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
            const QStringList inFolder = textFilesIn(path);
            if (inFolder.isEmpty()) skipped << path + QStringLiteral(" (no .txt files in it)");
            files << inFolder;
        } else if (isTextFile(info)) {
            files << path;
        } else {
            skipped << path;
        }
    }
    const QStringList already = insertSourceFiles(files, at);
    QStringList parts;
    if (!skipped.isEmpty()) {
        parts << namedList(
            QStringLiteral("Only .txt files and folders holding them can be added. Skipped:"),
            skipped);
    }
    if (!already.isEmpty()) parts << alreadyListedNote(already);
    if (parts.isEmpty()) return;
    const QString text = parts.join(QStringLiteral("\n\n"));
    // Not inside the drop itself: the file manager waits for the drop to finish.
    QTimer::singleShot(0, this, [this, text] { m_ui->showNote(text); });
}

void TForm1::addCommandLineFiles(const QStringList& arguments) {
    // A file named on purpose goes in whatever its name ends in: a file manager offers
    // "Open with" for every plain text, README and notes.md as well as a.txt.
    QStringList files;
    QStringList skipped;
    for (const QString& argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir()) {
            const QStringList inFolder = textFilesIn(info.absoluteFilePath());
            if (inFolder.isEmpty()) skipped << argument + QStringLiteral(" (no .txt files in it)");
            files << inFolder;
        } else if (info.isFile()) {
            files << QDir::cleanPath(info.absoluteFilePath());
        } else {
            skipped << argument + QStringLiteral(" (no such file)");
        }
    }
    const QStringList already = insertSourceFiles(files, -1);
    QStringList parts;
    if (!skipped.isEmpty()) parts << namedList(QStringLiteral("Not added:"), skipped);
    if (!already.isEmpty()) parts << alreadyListedNote(already);
    if (parts.isEmpty()) return;
    const QString text = parts.join(QStringLiteral("\n\n"));
    // Once the window is up, so that the note opens over it.
    QTimer::singleShot(0, this, [this, text] { m_ui->showNote(text); });
}

void TForm1::PNGButton2Click() {
    // The chooser may hand back a folder: its text files go in, in the file manager's order.
    QStringList files;
    for (const QString& chosen : m_ui->openTextFiles(this)) {
        if (QFileInfo(chosen).isDir())
            files << textFilesIn(chosen);
        else
            files << chosen;
    }
    addSourceFiles(files);
}

void TForm1::PNGButton1Click() {
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    renumberRows();
}

void TForm1::PNGButton3Click() {
    // Kept until the next Remove All, so that a slip of the mouse costs nothing.
    const int count = m_listView1->topLevelItemCount();
    if (count == 0) return;
    m_removedFiles.clear();
    for (int row = 0; row < count; ++row) m_removedFiles << m_listView1->topLevelItem(row)->text(1);
    m_listView1->clear();
    showFooterNote(
        count == 1
            ? QStringLiteral("Removed 1 file from the list; Ctrl+Z puts it back")
            : QStringLiteral("Removed %1 files from the list; Ctrl+Z puts them back").arg(count));
}

void TForm1::undoRemoveAll() {
    if (m_removedFiles.isEmpty()) return;
    // In front of whatever was added since, as they were before; a file added again since stays
    // where it is now.
    const int before = m_listView1->topLevelItemCount();
    insertSourceFiles(m_removedFiles, 0);
    m_removedFiles.clear();
    const int count = m_listView1->topLevelItemCount() - before;
    showFooterNote(count == 1 ? QStringLiteral("Put 1 file back")
                              : QStringLiteral("Put %1 files back").arg(count));
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
    const int from = m_draggedRow.row();
    m_draggedRow = QPersistentModelIndex();
    // The dragged row lands in front of the row it was dropped on; below the last row is the
    // end of the list.
    int to = m_listView1->dropRow(viewportPos);
    if (to > from) --to;
    // The list stays where the user was looking; the moved row is the one selected and
    // current, so that Delete and Remove act on it.
    QScrollBar* scroll = m_listView1->verticalScrollBar();
    const int scrolled = scroll->value();
    QTreeWidgetItem* moved = m_listView1->takeTopLevelItem(from);
    m_listView1->insertTopLevelItem(to, moved);
    renumberRows();
    m_listView1->setCurrentItem(moved);
    scroll->setValue(scrolled);
}

}  // namespace qb
