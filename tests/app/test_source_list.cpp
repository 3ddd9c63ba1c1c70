// The source file list and the two choosers, driven through the window's buttons with
// scripted dialogs; drags are replayed through the list's drag handlers, drops from a file
// manager as drag events carrying file URLs.

#include <QFileInfo>
#include <QMimeData>
#include <QScrollBar>
#include <QTreeWidgetItem>
#include <QtTest>

#include "app_fixture.h"

using namespace qbtest;

class SourceListTest : public QObject {
    Q_OBJECT

    static void click(qb::TForm1& form, int button) {
        QTest::mouseClick(form.PNGButton(button), Qt::LeftButton);
    }
    // Adds A, B, C, D through "Add".
    static void addFour(WindowPlace& place, qb::TForm1& form) {
        place.ui->textFiles.push_back({"/t/A.txt", "/t/B.txt", "/t/C.txt", "/t/D.txt"});
        click(form, 2);
    }
    // Selects row `from` (as pressing on it would), passes the drag over the list and drops it
    // on the point `at` of the list's viewport.
    static void drag(qb::TForm1& form, int from, QPoint at) {
        auto* list = form.ListView1();
        list->setCurrentItem(list->topLevelItem(from));
        form.ListView1DragOver(list);
        form.ListView1DragDrop(list, at);
    }
    static QPoint rowPoint(qb::TForm1& form, int row) {
        auto* list = form.ListView1();
        return list->visualItemRect(list->topLevelItem(row)).center();
    }

  private slots:
    void addCaptionsRowsByCount() {
        WindowPlace place;
        auto form = place.makeForm();
        place.ui->textFiles.push_back({"/t/A.txt", "/t/B.txt", "/t/C.txt"});
        place.ui->textFiles.push_back({"/t/D.txt", "/t/A.txt"});
        click(*form, 2);
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/B.txt", "3:/t/C.txt"}));
        click(*form, 2);
        // A file already listed is named in a note and not added twice.
        QCOMPARE(rows(*form).mid(3), QStringList({"4:/t/D.txt"}));
        QCOMPARE(place.ui->notes,
                 QStringList({"Already in the list, so not added again:\n/t/A.txt"}));
        // A cancelled dialog adds nothing.
        click(*form, 2);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 4);
        QCOMPARE(place.ui->boxCount(), 1);
    }

    void dragMovesRowInFrontOfTarget_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("onto");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("C onto A") << 2 << 0
                                  << QStringList(
                                         {"1:/t/C.txt", "2:/t/A.txt", "3:/t/B.txt", "4:/t/D.txt"});
        QTest::newRow("A onto D") << 0 << 3
                                  << QStringList(
                                         {"1:/t/B.txt", "2:/t/C.txt", "3:/t/A.txt", "4:/t/D.txt"});
        QTest::newRow("B onto itself")
            << 1 << 1 << QStringList({"1:/t/A.txt", "2:/t/B.txt", "3:/t/C.txt", "4:/t/D.txt"});
    }
    void dragMovesRowInFrontOfTarget() {
        QFETCH(int, from);
        QFETCH(int, onto);
        QFETCH(QStringList, expected);
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        const QString moved = list->topLevelItem(from)->text(1);
        list->verticalScrollBar()->setValue(0);
        drag(*form, from, rowPoint(*form, onto));
        QCOMPARE(rows(*form), expected);
        QCOMPARE(list->verticalScrollBar()->value(), 0);
        // The moved row is the one selected and current: Delete removes it, not another.
        QCOMPARE(list->currentItem()->text(1), moved);
        QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem*>({list->currentItem()}));
        QTest::keyClick(list, Qt::Key_Delete);
        QVERIFY(!rows(*form).join(u' ').contains(moved));
        QCOMPARE(list->topLevelItemCount(), 3);
    }

    void rowsAreRenumberedAfterEveryChange() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        list->setCurrentItem(list->topLevelItem(1));
        click(*form, 1);  // remove B
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/C.txt", "3:/t/D.txt"}));
        place.ui->textFiles.push_back({"/t/E.txt"});
        click(*form, 2);
        QCOMPARE(rows(*form).last(), QStringLiteral("4:/t/E.txt"));
        drag(*form, 3, rowPoint(*form, 1));  // E onto C
        QCOMPARE(rows(*form),
                 QStringList({"1:/t/A.txt", "2:/t/E.txt", "3:/t/C.txt", "4:/t/D.txt"}));
    }

    void dropBelowTheLastRowMovesTheRowToTheEnd() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        const QRect last = list->visualItemRect(list->topLevelItem(3));
        drag(*form, 0, QPoint(last.center().x(), last.bottom() + 20));
        QCOMPARE(rows(*form),
                 QStringList({"1:/t/B.txt", "2:/t/C.txt", "3:/t/D.txt", "4:/t/A.txt"}));
        // The last row dropped below itself stays last.
        drag(*form, 3, QPoint(last.center().x(), last.bottom() + 20));
        QCOMPARE(rows(*form).last(), QStringLiteral("4:/t/A.txt"));
        // Onto the last row it still lands in front of it.
        drag(*form, 0, rowPoint(*form, 3));
        QCOMPARE(rows(*form),
                 QStringList({"1:/t/C.txt", "2:/t/D.txt", "3:/t/B.txt", "4:/t/A.txt"}));
    }

    void dropsThatMoveNothing() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        const QStringList before = rows(*form);
        auto* list = form->ListView1();
        // A drag that did not come from a list view.
        list->setCurrentItem(list->topLevelItem(2));
        form->ListView1DragOver(nullptr);
        form->ListView1DragDrop(form->Edit1(), rowPoint(*form, 0));
        QCOMPARE(rows(*form), before);
        // No row selected while the drag passed: no row is gained or lost, below the last
        // row either.
        list->clearSelection();
        form->ListView1DragOver(list);
        form->ListView1DragDrop(list, rowPoint(*form, 0));
        const QRect last = list->visualItemRect(list->topLevelItem(3));
        form->ListView1DragOver(list);
        form->ListView1DragDrop(list, QPoint(last.center().x(), last.bottom() + 20));
        QCOMPARE(rows(*form), before);
    }

    void removeRenumbersAndRemoveAllEmpties() {
        WindowPlace place;
        auto form = place.makeForm();
        place.ui->textFiles.push_back({"/t/A.txt", "/t/B.txt", "/t/C.txt"});
        place.ui->textFiles.push_back({"/t/D.txt"});
        click(*form, 2);
        click(*form, 1);  // nothing selected: nothing removed
        QCOMPARE(form->ListView1()->topLevelItemCount(), 3);
        form->ListView1()->setCurrentItem(form->ListView1()->topLevelItem(1));
        click(*form, 1);
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/C.txt"}));
        click(*form, 2);
        QCOMPARE(rows(*form).last(), QStringLiteral("3:/t/D.txt"));
        click(*form, 3);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
        click(*form, 3);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
    }

    void keysRemoveAndMoveRows() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        list->setCurrentItem(list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Delete);  // B goes, C takes its place and is selected
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/C.txt", "3:/t/D.txt"}));
        QCOMPARE(list->selectedItems().value(0), list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(rows(*form), QStringList({"1:/t/C.txt", "2:/t/A.txt", "3:/t/D.txt"}));
        QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);  // already first
        QCOMPARE(rows(*form).first(), QStringLiteral("1:/t/C.txt"));
        QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/D.txt", "3:/t/C.txt"}));
        QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);  // already last
        QCOMPARE(list->currentItem(), list->topLevelItem(2));
        QVERIFY(list->currentItem()->isSelected());
        // The last row deleted: the new last one is selected; then the rest, to empty.
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->selectedItems().value(0), list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Delete);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->topLevelItemCount(), 0);
        QTest::keyClick(list, Qt::Key_Delete);  // nothing left: nothing happens
        QCOMPARE(place.ui->boxCount(), 0);
    }

    // A file manager's drag: sent to the list as the desktop would, with no source inside
    // this program. Answers the action the list reports back and whether it accepted.
    // Dropped at the foot of the list unless `row` names the row to drop on.
    static std::pair<Qt::DropAction, bool> dropUrls(qb::TForm1& form, const QList<QUrl>& urls,
                                                    int row = -1) {
        QMimeData data;
        data.setUrls(urls);
        QWidget* viewport = form.ListView1()->viewport();
        const QPoint at = row < 0 ? QPoint(20, viewport->height() - 2) : rowPoint(form, row);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(Qt::MoveAction);  // what a file manager proposes with Shift, say
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted()) return {Qt::IgnoreAction, false};
        QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        move.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted() || move.dropAction() != Qt::CopyAction)
            return {move.dropAction(), false};
        QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(viewport, &drop);
        return {drop.dropAction(), drop.isAccepted()};
    }

    void filesDroppedFromAFileManagerAreCopiedIn() {
        WindowPlace place;
        auto form = place.makeForm();
        const QString a = writeText(place.path("drop/a.txt"), "a\n");
        const QString upper = writeText(place.path("drop/UPPER.TXT"), "b\n");
        for (const char* name : {"10 ten.txt", "2 two.txt", "Notes.txt", "cover.jpg"})
            writeText(place.path("drop/book/") + name, "x\n");
        QDir().mkpath(place.path("drop/book/sub"));
        writeText(place.path("drop/book/sub/deep.txt"), "x\n");
        const QString picture = writeText(place.path("drop/picture.png"), "png");
        QDir().mkpath(place.path("drop/empty"));

        const auto [action, accepted] = dropUrls(
            *form, {QUrl::fromLocalFile(upper), QUrl::fromLocalFile(place.path("drop/book")),
                    QUrl::fromLocalFile(picture), QUrl::fromLocalFile(a),
                    QUrl(QStringLiteral("https://example.org/c.txt")),
                    QUrl::fromLocalFile(place.path("drop/missing.txt")),
                    QUrl::fromLocalFile(place.path("drop/empty"))});
        QVERIFY(accepted);
        QCOMPARE(action, Qt::CopyAction);  // never "move": the file manager keeps its files
        QCOMPARE(rows(*form), QStringList({"1:" + upper, "2:" + place.path("drop/book/2 two.txt"),
                                           "3:" + place.path("drop/book/10 ten.txt"),
                                           "4:" + place.path("drop/book/Notes.txt"), "5:" + a}));
        // One note, after the drop has finished, naming what was left out.
        QCOMPARE(place.ui->notes.size(), 0);
        QTRY_COMPARE(place.ui->notes.size(), 1);
        const QString note = place.ui->notes.first();
        QVERIFY2(note.startsWith("Only .txt files and folders holding them can be added."),
                 qPrintable(note));
        for (const QString& name : {picture, QStringLiteral("https://example.org/c.txt"),
                                    place.path("drop/missing.txt"), place.path("drop/empty")})
            QVERIFY2(note.contains(name), qPrintable(name));
        QVERIFY(!note.contains("cover.jpg"));

        // Only .txt files: no note at all.
        const QString b = writeText(place.path("drop/b.txt"), "b\n");
        dropUrls(*form, {QUrl::fromLocalFile(b)});
        QTest::qWait(20);
        QCOMPARE(place.ui->notes.size(), 1);
        QCOMPARE(rows(*form).last(), "6:" + b);

        // Dropped on a row, files go in front of it; one already listed is named, not added.
        const QString c = writeText(place.path("drop/c.txt"), "c\n");
        dropUrls(*form, {QUrl::fromLocalFile(c), QUrl::fromLocalFile(a)}, 1);
        QCOMPARE(rows(*form).mid(0, 3),
                 QStringList({"1:" + upper, "2:" + c, "3:" + place.path("drop/book/2 two.txt")}));
        QCOMPARE(form->ListView1()->topLevelItemCount(), 7);
        QTRY_COMPARE(place.ui->notes.size(), 2);
        QCOMPARE(place.ui->notes.last(), "Already in the list, so not added again:\n" + a);
    }

    // While a row is dragged a line shows where it will land: in front of the row under the
    // pointer, after the last row below it; it goes when the drag leaves.
    void dropLineShowsWhereTheRowLands() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        list->resize(list->width(), 400);
        QWidget* viewport = list->viewport();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(writeText(place.path("x.txt"), "x\n"))});
        const auto moveTo = [&](QPoint at) {
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
        };
        QDragEnterEvent enter(rowPoint(*form, 2), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QCOMPARE(list->dropLine(), -1);
        moveTo(rowPoint(*form, 2));
        QCOMPARE(list->dropLine(), 2);
        const QRect last = list->visualItemRect(list->topLevelItem(3));
        moveTo(QPoint(last.right() + 15, last.center().y()));  // right of the columns
        QCOMPARE(list->dropLine(), 3);
        moveTo(QPoint(20, last.bottom() + 30));
        QCOMPARE(list->dropLine(), 4);
        QDragLeaveEvent leave;
        QApplication::sendEvent(viewport, &leave);
        QCOMPARE(list->dropLine(), -1);
    }

    void removeAllIsUndoneByCtrlZ() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(form->footerNote(), QString());
        click(*form, 3);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
        QCOMPARE(form->footerNote(),
                 QStringLiteral("Removed 4 files from the list; Ctrl+Z puts them back"));
        // Files added since stay, after the ones put back; one added again is not doubled.
        place.ui->textFiles.push_back({"/t/E.txt", "/t/B.txt"});
        click(*form, 2);
        form->ListView1()->setFocus();
        QTest::keyClick(form->ListView1(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/C.txt", "3:/t/D.txt", "4:/t/E.txt",
                                           "5:/t/B.txt"}));
        QCOMPARE(form->footerNote(), QStringLiteral("Put 3 files back"));  // B was there again
        // Only once; in a field, Ctrl+Z is the field's own.
        QTest::keyClick(form->ListView1(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 5);
        click(*form, 3);
        form->Edit1()->setFocus();
        QTest::keyClicks(form->Edit1(), "Title");
        QTest::keyClick(form->Edit1(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(form->Edit1()->text() != "Title");
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
        QCOMPARE(place.ui->boxCount(), 0);
    }

    // The Add chooser can hand back a folder: its text files go in, in a file manager's order.
    void addTakesAFoldersTextFiles() {
        WindowPlace place;
        auto form = place.makeForm();
        for (const char* name : {"10 ten.txt", "2 two.txt", "cover.jpg"})
            writeText(place.path("book/") + name, "x\n");
        place.ui->textFiles.push_back({place.path("book"), "/t/A.txt"});
        click(*form, 2);
        QCOMPARE(rows(*form), QStringList({"1:" + place.path("book/2 two.txt"),
                                           "2:" + place.path("book/10 ten.txt"), "3:/t/A.txt"}));
    }

    // "quirebind a.txt README book/": files in the order given, relative to the current
    // folder, whatever their name ends in; folders give their .txt files.
    void commandLineFilesAreListed() {
        WindowPlace place;
        auto form = place.makeForm();
        writeText(place.path("a.txt"), "a\n");
        writeText(place.path("README"), "r\n");
        writeText(place.path("book/2.txt"), "x\n");
        writeText(place.path("book/1.txt"), "x\n");
        const QString old = QDir::currentPath();
        QDir::setCurrent(place.root());
        form->addCommandLineFiles({"a.txt", "./README", "book", "missing.txt", "a.txt"});
        QDir::setCurrent(old);
        QCOMPARE(rows(*form),
                 QStringList({"1:" + place.path("a.txt"), "2:" + place.path("README"),
                              "3:" + place.path("book/1.txt"), "4:" + place.path("book/2.txt")}));
        QTRY_COMPARE(place.ui->notes.size(), 1);
        QCOMPARE(place.ui->notes.first(),
                 "Not added:\nmissing.txt (no such file)\n\nAlready in the list, so not added "
                 "again:\n" +
                     place.path("a.txt"));
    }

    void dragsWithoutLocalFilesAreRefused() {
        WindowPlace place;
        auto form = place.makeForm();
        const auto [action, accepted] =
            dropUrls(*form, {QUrl(QStringLiteral("https://example.org/a.txt"))});
        QVERIFY(!accepted);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
        QTest::qWait(20);
        QCOMPARE(place.ui->boxCount(), 0);
    }

    void longPathsAreElidedWithTheWholePathAsTooltip() {
        WindowPlace place;
        auto form = place.makeForm();
        const QString path = "/home/reader/" + QString(300, u'd') + "/chapter.txt";
        place.ui->textFiles.push_back({path});
        click(*form, 2);
        QCOMPARE(form->ListView1()->textElideMode(), Qt::ElideMiddle);
        QCOMPARE(form->ListView1()->topLevelItem(0)->toolTip(1), path);
        QCOMPARE(form->ListView1()->topLevelItem(0)->text(1), path);
    }

    void choosersFillTheirFieldsUnlessCancelled() {
        WindowPlace place;
        auto form = place.makeForm();
        QVERIFY(form->LabeledEdit4()->text().isEmpty());
        click(*form, 9);  // cancelled while empty
        QVERIFY(form->LabeledEdit4()->text().isEmpty());
        QCOMPARE(place.ui->folderInitials, QStringList({QString()}));
        place.ui->folders.push_back("/home/reader/Books");
        click(*form, 9);
        QCOMPARE(form->LabeledEdit4()->text(), QStringLiteral("/home/reader/Books"));
        click(*form, 9);
        QCOMPARE(form->LabeledEdit4()->text(), QStringLiteral("/home/reader/Books"));
        // The chooser opens at the folder in the field.
        QCOMPARE(place.ui->folderInitials.last(), QStringLiteral("/home/reader/Books"));
        QVERIFY(!form->PNGButton(8)->toolTip().isEmpty());
        QVERIFY(!form->PNGButton(9)->toolTip().isEmpty());

        place.ui->coverPictures.push_back("/pictures/cover one.jpg");
        click(*form, 8);
        QCOMPARE(form->LabeledEdit3()->text(), QStringLiteral("/pictures/cover one.jpg"));
        click(*form, 8);
        QCOMPARE(form->LabeledEdit3()->text(), QStringLiteral("/pictures/cover one.jpg"));
        QCOMPARE(place.ui->boxCount(), 0);

        // "Home": the README built beside this test, as beside the program; when the desktop
        // opens nothing, a note names the file.
        const QString readme =
            QCoreApplication::applicationDirPath() + QStringLiteral("/README.html");
        QVERIFY(QFileInfo(readme).isFile());
        click(*form, 5);
        QCOMPARE(place.ui->openedUrls, QList<QUrl>({QUrl::fromLocalFile(readme)}));
        QCOMPARE(place.ui->boxCount(), 0);
        place.ui->openUrlWorks = false;
        click(*form, 5);
        QCOMPARE(place.ui->notes.size(), 1);
        QVERIFY(place.ui->notes.first().contains(u'"' + readme + u'"'));
    }
};

QTEST_MAIN(SourceListTest)
#include "test_source_list.moc"
