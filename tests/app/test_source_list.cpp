// The source file list and the two choosers, driven through the window's buttons with
// scripted dialogs; drags are replayed through the list's drag handlers.

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
        QCOMPARE(rows(*form).mid(3), QStringList({"4:/t/D.txt", "5:/t/A.txt"}));
        // A cancelled dialog adds nothing.
        click(*form, 2);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 5);
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
        drag(*form, from, rowPoint(*form, onto));
        QCOMPARE(rows(*form), expected);
        QVERIFY(form->ListView1()->selectedItems().isEmpty());
    }

    void dropRenumbersFromTheHigherRowOnly() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        auto* list = form->ListView1();
        list->setCurrentItem(list->topLevelItem(1));
        click(*form, 1);  // remove B: captions 1, 3, 4
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "3:/t/C.txt", "4:/t/D.txt"}));
        // D onto itself renumbers D only: C keeps the caption it had.
        drag(*form, 2, rowPoint(*form, 2));
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "3:/t/C.txt", "3:/t/D.txt"}));
        // D onto C renumbers from C's place on.
        drag(*form, 2, rowPoint(*form, 1));
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/D.txt", "3:/t/C.txt"}));
    }

    void dropsThatMoveNothing() {
        WindowPlace place;
        auto form = place.makeForm();
        addFour(place, *form);
        const QStringList before = rows(*form);
        auto* list = form->ListView1();
        // Below the last row.
        const QRect last = list->visualItemRect(list->topLevelItem(3));
        drag(*form, 0, QPoint(last.center().x(), last.bottom() + 20));
        QCOMPARE(rows(*form), before);
        // A drag that did not come from a list view.
        list->setCurrentItem(list->topLevelItem(2));
        form->ListView1DragOver(nullptr);
        form->ListView1DragDrop(form->Edit1(), rowPoint(*form, 0));
        QCOMPARE(rows(*form), before);
        // No row selected while the drag passed: no row is gained or lost.
        list->clearSelection();
        form->ListView1DragOver(list);
        form->ListView1DragDrop(list, rowPoint(*form, 0));
        QCOMPARE(rows(*form), before);
    }

    void removeLeavesCaptionsAlone() {
        WindowPlace place;
        auto form = place.makeForm();
        place.ui->textFiles.push_back({"/t/A.txt", "/t/B.txt", "/t/C.txt"});
        place.ui->textFiles.push_back({"/t/D.txt"});
        click(*form, 2);
        click(*form, 1);  // nothing selected: nothing removed
        QCOMPARE(form->ListView1()->topLevelItemCount(), 3);
        form->ListView1()->setCurrentItem(form->ListView1()->topLevelItem(1));
        click(*form, 1);
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "3:/t/C.txt"}));
        click(*form, 2);
        QCOMPARE(rows(*form).last(), QStringLiteral("3:/t/D.txt"));
        click(*form, 3);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
        click(*form, 3);
        QCOMPARE(form->ListView1()->topLevelItemCount(), 0);
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

        place.ui->coverPictures.push_back("/pictures/cover one.jpg");
        click(*form, 8);
        QCOMPARE(form->LabeledEdit3()->text(), QStringLiteral("/pictures/cover one.jpg"));
        click(*form, 8);
        QCOMPARE(form->LabeledEdit3()->text(), QStringLiteral("/pictures/cover one.jpg"));
        QCOMPARE(place.ui->boxCount(), 0);

        click(*form, 5);
        QCOMPARE(place.ui->openedUrls, QList<QUrl>({QUrl(QString::fromLatin1(qb::kHomePage))}));
    }
};

QTEST_MAIN(SourceListTest)
#include "test_source_list.moc"
