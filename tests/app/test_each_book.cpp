// "One book per text file": Convert makes a book of each row, each with its own title and
// author, with one question for the books already there and one box at the end.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_places.h"
#include "app/window_library_run.h"
#include "app_fixture.h"

using namespace qbtest;

class EachBookTest : public QObject {
    Q_OBJECT

    static std::unique_ptr<qb::TForm1> formFor(WindowPlace& place, const QStringList& files) {
        auto form = place.makeForm();
        form->addSourceFiles(files);
        // Each book takes its own: what these fields say goes into none of them.
        form->Edit1()->setText("One Title");
        form->Edit2()->setText("One Author");
        form->LabeledEdit4()->setText(place.path("out"));
        qb::BookOptions options;
        options.oneBookPerFile = true;
        form->setBookOptions(options);
        return form;
    }
    static QStringList namesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // "title|author" of each book in the folder, sorted; fails on anything but a whole book.
    static QStringList titlesIn(const QString& folder) {
        QStringList titles;
        for (const QString& name : namesIn(folder)) {
            QProcess unzip;
            unzip.start("unzip", {"-p", folder + u'/' + name, "OEBPS/fb.opf"});
            if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0) return {"bad: " + name};
            const QString opf = QString::fromUtf8(unzip.readAllStandardOutput());
            const auto field = [&](const char* tag) {
                return QRegularExpression(QStringLiteral("<dc:%1[^>]*>([^<]*)<").arg(tag))
                    .match(opf)
                    .captured(1);
            };
            titles << field("title") + u'|' + field("creator");
        }
        titles.sort();
        return titles;
    }

  private slots:
    // Three rows give three books titled from their own texts or file names; books already
    // there are asked about once for all; unchecked, Convert makes one book again.
    void eachRowIsABookOfItsOwn() {
        WindowPlace place;
        auto form = formFor(
            place, {writeText(place.path("src/pg345.txt"),
                              "Title: Dracula\nAuthor: Bram Stoker\n\n*** START OF THE PROJECT "
                              "GUTENBERG EBOOK DRACULA ***\nJonathan Harker's journal.\n"),
                    writeText(place.path("src/Walden.txt"), "I went to the woods.\n"),
                    writeText(place.path("src/《希灵帝国》作者：远瞳.txt"), "第一章\n")});
        QStringList seen;
        connect(form.get(), &qb::TForm1::statusChanged, [&](const QString& text) { seen << text; });
        convertAndWait(*form);
        const QString out = place.path("out");
        QCOMPARE(place.ui->errors, QStringList());
        QCOMPARE(place.ui->successes, QStringList({"3 books made, 0 failed\nFolder: " + out}));
        QCOMPARE(place.ui->openedUrls, QList<QUrl>({QUrl::fromLocalFile(out)}));
        QCOMPARE(form->lastRunResult(), qb::RunResult::Built);
        QCOMPARE(titlesIn(out),
                 QStringList({"Dracula|Bram Stoker", "Walden|Unknown", "希灵帝国|远瞳"}));
        QCOMPARE(seen.filter("Book "), QStringList({"Book 1 of 3", "Book 2 of 3", "Book 3 of 3"}));
        QCOMPARE(seen.last(), QString());
        // The window's own work folder stays; the other workers' go.
        QCOMPARE(QDir(place.root()).entryList({"quirebind-work-*"}, QDir::AllEntries), {});

        // One question for all the books there; refused, they are kept and the others made.
        writeText(place.path("out/Walden.epub"), "the old book");
        for (const QString& name : namesIn(out))
            if (name != "Walden.epub") QFile::remove(out + u'/' + name);
        convertAndWait(*form);
        QCOMPARE(place.ui->overwriteQuestions, QStringList({"1 book already exists. Replace it?"}));
        QCOMPARE(place.ui->successes.last(),
                 "2 books made, 0 failed; 1 book was there already and kept\nFolder: " + out +
                     "\n\nKept as they were:\nWalden.epub");
        QCOMPARE(readFile(place.path("out/Walden.epub")), QByteArray("the old book"));
        place.ui->overwriteAnswers = {true};
        convertAndWait(*form);
        QCOMPARE(place.ui->overwriteQuestions.last(), "3 books already exist. Replace them?");
        QCOMPARE(place.ui->successes.size(), 3);
        QCOMPARE(titlesIn(out).size(), 3);
        QVERIFY(readFile(place.path("out/Walden.epub")).startsWith("PK"));

        form->setBookOptions(qb::BookOptions());
        QFile::remove(place.path("out/Walden.epub"));
        place.ui->overwriteAnswers = {};
        convertAndWait(*form);
        QCOMPARE(place.ui->successes.last(), "Successed to build: " + out + "/One Title.epub");
        QVERIFY(titlesIn(out).contains("One Title|One Author"));
        QCOMPARE(titlesIn(out).size(), 3);
    }

    // The details shared by a shelf reach every book; those naming one book (ISBN, title as
    // filed, number in the series) reach none, as the title field does not.
    void sharedDetailsReachEveryBook() {
        WindowPlace place;
        auto form = formFor(place, {writeText(place.path("src/Walden.txt"), "The woods.\n"),
                                    writeText(place.path("src/Pond.txt"), "The pond.\n")});
        qb::BookDetails details;
        details.publisher = "Pica Press";
        details.series = "Iron Roads";
        details.seriesIndex = "2.5";
        details.isbn = "9780141439518";
        details.titleSort = "Walden, The";
        place.ui->bookDetails.push_back(details);
        QTest::mouseClick(form->DetailsButton(), Qt::LeftButton);
        convertAndWait(*form);
        QCOMPARE(place.ui->errors, QStringList());
        for (const QString& name : namesIn(place.path("out"))) {
            QProcess unzip;
            unzip.start("unzip", {"-p", place.path("out/") + name, "OEBPS/fb.opf"});
            QVERIFY(unzip.waitForFinished(60000));
            const QByteArray opf = unzip.readAllStandardOutput();
            QVERIFY2(opf.contains("Pica Press") && opf.contains("Iron Roads"), opf);
            for (const char* one : {"9780141439518", "Walden, The", "2.5"})
                QVERIFY2(!opf.contains(one), one);
        }
        QCOMPARE(namesIn(place.path("out")).size(), 2);
    }

    // A text that cannot be read fails alone: the others are made and one error box lists it
    // with its cause. A missing output folder is one note before any book starts.
    void aBadTextFailsAloneInTheSummary() {
        WindowPlace place;
        const QString bad = writeText(place.path("src/binary.txt"), QByteArray("\x7f"
                                                                               "ELF\x02\x01\x01",
                                                                               7) +
                                                                        QByteArray(4096, '\0'));
        auto form = formFor(place, {writeText(place.path("src/Emma.txt"), "Emma Woodhouse.\n"), bad,
                                    writeText(place.path("src/Walden.txt"), "The woods.\n")});
        // Empty fields are no problem: no book takes its title or author from them.
        form->Edit1()->clear();
        form->Edit2()->clear();
        convertAndWait(*form);
        QCOMPARE(place.ui->errors,
                 QStringList({qb::applicationTitle() +
                              "|2 books made, 1 failed\nFolder: " + place.path("out") + "\n\n" +
                              bad + ": Not a text file \"" + bad + "\"."}));
        QCOMPARE(place.ui->successes, QStringList());
        QCOMPARE(form->lastRunResult(), qb::RunResult::Failed);
        QCOMPARE(titlesIn(place.path("out")), QStringList({"Emma|Unknown", "Walden|Unknown"}));

        form->LabeledEdit4()->clear();
        convertAndWait(*form);
        QCOMPARE(place.ui->notes, QStringList({"Please set the saving path!"}));
        QCOMPARE(place.ui->boxCount(), 2);
    }

    // The box stays on the screen however many books failed.
    void longSummariesAreCut() {
        qb::LibrarySummary summary;
        summary.made = 1;
        summary.failed = 24;
        qb::LibraryListing listing;
        for (int i = 1; i <= 23; ++i)
            listing.failures.push_back("/t/" + std::to_string(i) + ".txt: Not a text file.");
        listing.kept = {"Kept.epub"};
        listing.warnings = {"Made.epub: Some lines were not UTF-8"};
        const std::string text = qb::librarySummaryText(summary, listing, "/out");
        QVERIFY(
            text.starts_with("1 book made, 23 failed; 1 book was there already and kept\n"
                             "Folder: /out\n\n/t/1.txt: Not a text file.\n"));
        QVERIFY(text.ends_with("\n/t/19.txt: Not a text file.\n... and 6 more"));
    }

    // Cancel stops every worker: the books made stay, the one being made leaves nothing, and
    // no worker's folder stays. The third text is a pipe, so that its book is surely under way
    // when the other two have ended and Cancel is pressed.
    void cancelLeavesOnlyWholeBooks() {
        WindowPlace place;
        const QString pipe = place.path("src/C.txt");
        auto form = formFor(place, {writeText(place.path("src/A.txt"), "Alpha\n"),
                                    writeText(place.path("src/B.txt"), "Beta\n"), pipe});
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        connect(form.get(), &qb::TForm1::statusChanged, [&](const QString& text) {
            if (text == "Book 3 of 3") form->CancelButtonClick();
        });
        QTest::mouseClick(form->PNGButton(4), Qt::LeftButton);
        // Once cancelled, the pipe's book is given its text, and then sees the cancel.
        QElapsedTimer timer;
        timer.start();
        while (form->converting() && timer.elapsed() < 60000) {
            if (form->footerNote().isEmpty() && form->statusText() == "Cancelling") {
                const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    QCOMPARE(::write(fd, "Gamma\n", 6), ssize_t(6));
                    ::close(fd);
                }
            }
            QTest::qWait(5);
        }
        QVERIFY(!form->converting());
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QCOMPARE(form->footerNote(), QStringLiteral("Cancelled; 2 of 3 books made"));
        QCOMPARE(place.ui->boxCount(), 0);
        QCOMPARE(namesIn(place.path("out")), QStringList({"A.epub", "B.epub"}));
        QCOMPARE(titlesIn(place.path("out")), QStringList({"A|Unknown", "B|Unknown"}));
        QCOMPARE(QDir(place.root()).entryList({"quirebind-work-*"}, QDir::AllEntries), {});
    }
};

QTEST_MAIN(EachBookTest)
#include "test_each_book.moc"
