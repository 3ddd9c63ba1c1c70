// "One book per text file": Convert makes a book of each row, each with its own title and
// author, with one question for the books already there and one box at the end.

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "app/app_places.h"
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

        // Refused, every book there is kept and nothing else is said; agreed, all are made.
        writeText(place.path("out/Walden.epub"), "the old book");
        const int boxes = place.ui->boxCount();
        convertAndWait(*form);
        QCOMPARE(place.ui->overwriteQuestions,
                 QStringList({"3 books already exist. Replace them?"}));
        QCOMPARE(place.ui->boxCount(), boxes + 1);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Stopped);
        QCOMPARE(readFile(place.path("out/Walden.epub")), QByteArray("the old book"));
        place.ui->overwriteAnswers = {true};
        convertAndWait(*form);
        QCOMPARE(place.ui->successes.size(), 2);
        QCOMPARE(titlesIn(out).size(), 3);

        form->setBookOptions(qb::BookOptions());
        QFile::remove(place.path("out/Walden.epub"));
        place.ui->overwriteAnswers = {};
        convertAndWait(*form);
        QCOMPARE(place.ui->successes.last(), "Successed to build: " + out + "/One Title.epub");
        QVERIFY(titlesIn(out).contains("One Title|One Author"));
        QCOMPARE(titlesIn(out).size(), 3);
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

    // Cancel stops every worker: no unfinished archive stays, nor any worker's folder.
    void cancelLeavesOnlyWholeBooks() {
        WindowPlace place;
        QStringList files;
        for (int i = 0; i < 8; ++i)
            files << writeText(place.path("src/Book %1.txt").arg(i),
                               QByteArray(400000, 'x') + "\n");
        auto form = formFor(place, files);
        connect(form.get(), &qb::TForm1::statusChanged, [&](const QString& text) {
            if (text == "Book 2 of 8") form->CancelButtonClick();
        });
        convertAndWait(*form);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QCOMPARE(place.ui->boxCount(), 0);
        const QStringList made = namesIn(place.path("out"));
        QVERIFY(made.size() < 8);
        QCOMPARE(form->footerNote(),
                 made.isEmpty() ? QStringLiteral("Cancelled")
                                : QStringLiteral("Cancelled; %1 of 8 books made").arg(made.size()));
        QCOMPARE(titlesIn(place.path("out")).filter("bad: "), QStringList());
        QCOMPARE(QDir(place.root()).entryList({"quirebind-work-*"}, QDir::AllEntries), {});
    }
};

QTEST_MAIN(EachBookTest)
#include "test_each_book.moc"
