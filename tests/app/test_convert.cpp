// Converting from the window: the "Convert" button with scripted boxes, down to a book that
// epubcheck accepts, and a window that stays sane while the book is packed.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "app_fixture.h"

using namespace qbtest;

class ConvertTest : public QObject {
    Q_OBJECT

    // A window holding A and B in its list, an author and an output folder; no title.
    static std::unique_ptr<qb::TForm1> preparedForm(WindowPlace& place) {
        auto form = place.makeForm();
        place.ui->textFiles.push_back({writeText(place.path("src/A.txt"), "Alpha one\nAlpha two\n"),
                                       writeText(place.path("src/B.txt"), "Beta\n")});
        QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
        form->Edit2()->setText("Ann Author");
        form->LabeledEdit4()->setText(place.path("out"));
        return form;
    }
    static void convert(qb::TForm1& form) { QTest::mouseClick(form.PNGButton(4), Qt::LeftButton); }

  private slots:
    void emptyListDoesNothing() {
        WindowPlace place;
        auto form = place.makeForm();
        form->Edit1()->setText("Title");
        convert(*form);
        QCOMPARE(place.ui->boxCount(), 0);
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
    }

    void missingTitleIsNotedAfterTheBookIsUnpacked() {
        WindowPlace place;
        auto form = preparedForm(place);
        convert(*form);
        QCOMPARE(place.ui->notes, QStringList({"Please set the book title!"}));
        QCOMPARE(place.ui->boxCount(), 1);
        for (const char* name : {"page1.html", "page2.html", "fb.opf", "fb.ncx"})
            QVERIFY2(QFile::exists(place.path("epubfiles/OEBPS/") + name), name);
        QVERIFY(readFile(place.path("epubfiles/OEBPS/page1.html")).contains("Alpha two"));
        QVERIFY(QDir(place.path("out")).entryList(QDir::Files).isEmpty());
    }

    void refusedOverwriteKeepsTheOldBook() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        writeText(place.path("out/Book.epub"), "the old book");
        convert(*form);
        QCOMPARE(place.ui->overwriteQuestions, QStringList({"The file is existing. Overwrite?"}));
        QCOMPARE(place.ui->boxCount(), 1);
        QCOMPARE(readFile(place.path("out/Book.epub")), QByteArray("the old book"));
        QVERIFY(QFile::exists(place.path("epubfiles/OEBPS/fb.opf")));
    }

    void finishedBookFollowsTheListAndPassesEpubcheck() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Night Train");
        // Rows A, B, C with B removed: the book has A as page 1 and C as page 2.
        place.ui->textFiles.push_back({writeText(place.path("src/C.txt"), "Gamma\n")});
        QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
        form->ListView1()->setCurrentItem(form->ListView1()->topLevelItem(1));
        QTest::mouseClick(form->PNGButton(1), Qt::LeftButton);
        QFile::copy(QStringLiteral(QB_TEST_SKIN_DIR "/header_left.jpg"),
                    place.path("src/cover.jpg"));
        form->LabeledEdit3()->setText(place.path("src/cover.jpg"));

        convert(*form);
        const QString book = place.path("out/Night Train.epub");
        QCOMPARE(place.ui->errors, QStringList());
        QCOMPARE(place.ui->successes, QStringList({"Successed to build: " + book}));
        QCOMPARE(place.ui->openedUrls, QList<QUrl>({QUrl::fromLocalFile(place.path("out"))}));
        QVERIFY(readFile(place.path("epubfiles/OEBPS/page2.html")).contains("Gamma"));
        QVERIFY(!readFile(place.path("epubfiles/OEBPS/page2.html")).contains("Beta"));

        const QString epubcheck = QStandardPaths::findExecutable("epubcheck");
        if (epubcheck.isEmpty()) QSKIP("epubcheck is not installed");
        // Debian installs it as a bare jar, which only a registered binfmt handler could run.
        const QString jar = QFileInfo(epubcheck).canonicalFilePath();
        QProcess check;
        if (jar.endsWith(".jar"))
            check.start("java", {"-Xshare:auto", "-XX:TieredStopAtLevel=1", "-jar", jar, book});
        else
            check.start(epubcheck, {book});
        QVERIFY(check.waitForFinished(240000));
        QVERIFY2(check.exitCode() == 0,
                 check.readAllStandardOutput() + check.readAllStandardError());
    }

    // The packing lets the window handle events: a second "Convert" in the middle is ignored,
    // and a close request is carried out only when the run has ended.
    void clicksWhilePackingWaitForTheRun() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Busy");
        form->show();
        bool sawRunning = false;
        bool stillVisible = false;
        place.ui->whilePacking = [&] {
            sawRunning = form->converting();
            convert(*form);
            form->close();
            stillVisible = form->isVisible();
        };
        convert(*form);
        QVERIFY(sawRunning);
        QVERIFY(stillVisible);
        QCOMPARE(place.ui->successes.size(), 1);
        QCOMPARE(place.ui->boxCount(), 1);
        QVERIFY(!form->isVisible());
        QVERIFY(QFile::exists(place.path("out/Busy.epub")));
    }
};

QTEST_MAIN(ConvertTest)
#include "test_convert.moc"
