// Converting from the window: the "Convert" button with scripted boxes, down to a book that
// epubcheck accepts; the run on its worker thread with progress and Cancel, and a window that
// stays sane while the book is made.

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include "app/book_details_dialog.h"
#include "app_fixture.h"
#include "book/metadata_values.h"

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
    static QStringList namesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

  private slots:
    void emptyListDoesNothing() {
        WindowPlace place;
        auto form = place.makeForm();
        form->Edit1()->setText("Title");
        convert(*form);
        QCOMPARE(place.ui->boxCount(), 0);
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
    }

    void missingTitleIsNotedBeforeAnythingIsWritten_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral(" \t ");
        QTest::newRow("ideographic space") << QStringLiteral("\u3000\u3000");
    }
    void missingTitleIsNotedBeforeAnythingIsWritten() {
        QFETCH(QString, title);
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText(title);
        convertAndWait(*form);
        QCOMPARE(place.ui->notes, QStringList({"Please set the book title!"}));
        QCOMPARE(place.ui->boxCount(), 1);
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QVERIFY(!QFile::exists(place.path("out")));
        QVERIFY(form->ProgressBar()->isHidden());
        QVERIFY(form->PNGButton(4)->isEnabled());
    }

    void refusedOverwriteKeepsTheOldBook() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        writeText(place.path("out/Book.epub"), "the old book");
        convertAndWait(*form);
        QCOMPARE(place.ui->overwriteQuestions, QStringList({"The file is existing. Overwrite?"}));
        QCOMPARE(place.ui->boxCount(), 1);
        QCOMPARE(readFile(place.path("out/Book.epub")), QByteArray("the old book"));
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QCOMPARE(form->lastRunResult(), qb::RunResult::Stopped);
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

        convertAndWait(*form);
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

    // The run goes on while the window handles events: a second "Convert" in the middle is
    // ignored (the button shows disabled), and closing asks whether to stop the run and quit:
    // kept working, the window stays; stopped, the run ends as cancelled and the window goes.
    void clicksDuringARunWaitForIt() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Busy");
        writeText(place.path("out/Busy.epub"), "the old book");
        place.ui->overwriteAnswers = {true};
        form->show();
        bool sawRunning = false;
        bool convertEnabled = true;
        bool stillVisible = false;
        place.ui->whileAsking = [&] {
            sawRunning = form->converting();
            convertEnabled = form->PNGButton(4)->isEnabled();
            convert(*form);
            form->close();
            stillVisible = form->isVisible();
        };
        convert(*form);
        QVERIFY(form->converting());  // the click returned while the run goes on
        QVERIFY(waitForRun(*form));
        QVERIFY(sawRunning);
        QVERIFY(!convertEnabled);
        QVERIFY(stillVisible);
        QCOMPARE(place.ui->overwriteQuestions.size(), 1);
        QCOMPARE(place.ui->successes.size(), 1);
        QCOMPARE(place.ui->stopRunQuestions, 1);
        QCOMPARE(place.ui->boxCount(), 3);
        QVERIFY(form->isVisible());

        place.ui->overwriteAnswers = {true};
        place.ui->stopRunAnswers = {true};
        place.ui->whileAsking = [&] {
            form->close();
            form->close();  // asked once only: the run is already stopping
            stillVisible = form->isVisible();
        };
        convertAndWait(*form);
        QVERIFY(stillVisible);
        QCOMPARE(place.ui->stopRunQuestions, 2);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QVERIFY(!form->isVisible());
        QCOMPARE(place.ui->successes.size(), 1);
        QVERIFY(readFile(place.path("out/Busy.epub")).startsWith("PK"));
    }

    void progressTellsPagesThenPacking() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Three");
        place.ui->textFiles.push_back({writeText(place.path("src/C.txt"), "Gamma\n")});
        QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
        QStringList seen;
        connect(form.get(), &qb::TForm1::statusChanged, [&](const QString& text) { seen << text; });
        convertAndWait(*form);
        QCOMPARE(place.ui->successes.size(), 1);
        // Packing reports its share once the packer counts its bytes; before that it is busy.
        QStringList packing = seen.filter(QStringLiteral("Packing the book"));
        QVERIFY(!packing.isEmpty());
        for (const QString& text : seen) {
            if (text.startsWith(QStringLiteral("Packing the book (")))
                QVERIFY2(text.endsWith(QStringLiteral("%)")), qPrintable(text));
        }
        // The share of the texts' bytes made into pages; reports that pile up while the window
        // is busy are folded into the latest, so only the last one is certain.
        const QStringList pages = seen.filter(QStringLiteral("File "));
        QVERIFY(!pages.isEmpty());
        int last = -1;
        for (const QString& text : pages) {
            const QRegularExpressionMatch match =
                QRegularExpression(QStringLiteral("^File [1-3] of 3 \\((\\d+)%\\)$")).match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text));
            QVERIFY2(match.captured(1).toInt() >= last, qPrintable(text));
            last = match.captured(1).toInt();
        }
        QCOMPARE(pages.last(), QStringLiteral("File 3 of 3 (100%)"));
        QVERIFY(seen.indexOf(pages.last()) < seen.indexOf(packing.first()));
        QCOMPARE(seen.last(), QString());  // the footer is clear again
        QVERIFY(form->ProgressBar()->isHidden() && form->CancelButton()->isHidden());
    }

    void cancelKeepsTheOldBookAndLeavesNothingBehind() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        writeText(place.path("out/Book.epub"), "the old book");
        form->show();
        place.ui->overwriteAnswers = {true};
        bool cancelShown = false;
        place.ui->whileAsking = [&] {
            cancelShown = form->CancelButton()->isVisible();
            QTest::mouseClick(form->CancelButton(), Qt::LeftButton);
        };
        convertAndWait(*form);
        QVERIFY(cancelShown);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QCOMPARE(place.ui->boxCount(), 1);  // the question; no error, no success
        QCOMPARE(readFile(place.path("out/Book.epub")), QByteArray("the old book"));
        QCOMPARE(namesIn(place.path("out")), QStringList({"Book.epub"}));
        // The pages written before the cancel go when the run ends, not when the window closes.
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QVERIFY(form->PNGButton(4)->isEnabled());
        QVERIFY(form->CancelButton()->isHidden());
        QCOMPARE(form->footerNote(), QStringLiteral("Cancelled; the book already there was kept"));

        // Escape cancels too, pressed wherever the focus is.
        place.ui->overwriteAnswers = {true};
        place.ui->whileAsking = [&] { QTest::keyClick(form->Edit1(), Qt::Key_Escape); };
        convertAndWait(*form);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QCOMPARE(readFile(place.path("out/Book.epub")), QByteArray("the old book"));

        // With no book there before, the footer says only that the run was cancelled.
        QFile::remove(place.path("out/Book.epub"));
        QStringList many;
        for (int i = 0; i < 30; ++i)
            many << writeText(place.path("src/m%1.txt").arg(i), QByteArray(2000, 'm') + "\n");
        form->addSourceFiles(many);
        const auto stop = connect(form.get(), &qb::TForm1::statusChanged, [&](const QString& text) {
            if (text.startsWith("File ")) form->CancelButtonClick();
        });
        convertAndWait(*form);
        disconnect(stop);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Cancelled);
        QCOMPARE(form->footerNote(), QStringLiteral("Cancelled"));
        QCOMPARE(namesIn(place.path("out")), QStringList());
    }

    // The window going away mid-run takes the run with it, without hanging on a question
    // nobody will answer and without leaving an unfinished archive.
    void destroyingTheWindowMidRunEndsTheRun() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        QStringList many;
        for (int i = 0; i < 200; ++i)
            many << writeText(place.path("src/m%1.txt").arg(i), QByteArray(20000, 'x') + "\n");
        place.ui->textFiles.push_back(many);
        QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
        convert(*form);
        QVERIFY(form->converting());
        form.reset();
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QVERIFY(namesIn(place.path("out")).filter(QRegularExpression("^\\.")).isEmpty());

        // A run waiting on the overwrite question when the window goes.
        writeText(place.path("out/Book.epub"), "the old book");
        form = preparedForm(place);
        form->Edit1()->setText("Book");
        convert(*form);
        form.reset();
        QCOMPARE(readFile(place.path("out/Book.epub")), QByteArray("the old book"));
        QCOMPARE(namesIn(place.path("out")), QStringList({"Book.epub"}));
    }

    void noteAboutAnEmptyEntryFocusesItsField_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("note");
        QTest::newRow("title") << "Edit1"
                               << "Please set the book title!";
        QTest::newRow("author") << "Edit2"
                                << "Please set the author name!";
        QTest::newRow("saving path") << "LabeledEdit4"
                                     << "Please set the saving path!";
    }
    void noteAboutAnEmptyEntryFocusesItsField() {
        QFETCH(QString, field);
        QFETCH(QString, note);
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        auto* edit = form->findChild<QLineEdit*>(field);
        edit->clear();
        form->ListView1()->setFocus();
        convertAndWait(*form);
        QCOMPARE(place.ui->notes, QStringList({note}));
        QCOMPARE(form->focusWidget(), static_cast<QWidget*>(edit));
    }

    // A text that went after it was listed ends the run with an error; its row is marked, and
    // the mark goes once the file is back and a book is made.
    void rowOfAVanishedFileIsMarked() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        const QString gone = place.path("src/B.txt");
        QVERIFY(QFile::rename(gone, gone + ".away"));
        convertAndWait(*form);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Failed);
        QCOMPARE(rows(*form), QStringList({"1:" + place.path("src/A.txt"), "2 (missing):" + gone}));
        auto* row = form->ListView1()->topLevelItem(1);
        QVERIFY(row->foreground(1) != form->ListView1()->topLevelItem(0)->foreground(1));
        QVERIFY(QFile::rename(gone + ".away", gone));
        place.ui->overwriteAnswers = {true};
        convertAndWait(*form);
        QCOMPARE(form->lastRunResult(), qb::RunResult::Built);
        QCOMPARE(rows(*form).last(), "2:" + gone);
    }

    // "~/x" and a relative path land below the home folder, and both the field and the
    // success box then name that folder in full.
    void savePathsAreTakenFromTheHomeFolder() {
        WindowPlace place;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", place.path("home").toLocal8Bit());
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        // The folder chooser opens where the book would go.
        form->LabeledEdit4()->setText("~/qbbooks");
        QTest::mouseClick(form->PNGButton(9), Qt::LeftButton);
        QCOMPARE(place.ui->folderInitials, QStringList({place.path("home/qbbooks")}));
        for (const QString& typed : {QStringLiteral("~/qbbooks"), QStringLiteral("relbooks")}) {
            form->LabeledEdit4()->setText(typed);
            convertAndWait(*form);
            const QString folder = place.path("home/") + typed.mid(typed.startsWith(u'~') ? 2 : 0);
            QCOMPARE(form->LabeledEdit4()->text(), folder);
            QCOMPARE(place.ui->successes.takeLast(),
                     "Successed to build: " + folder + "/Book.epub");
            QVERIFY(QFile::exists(folder + "/Book.epub"));
        }
        form->LabeledEdit4()->setText("~nobody-here-at-all/x");
        convertAndWait(*form);
        QCOMPARE(place.ui->notes.size(), 1);
        QVERIFY(place.ui->notes.first().contains("nobody-here-at-all"));
        QCOMPARE(form->focusWidget(), static_cast<QWidget*>(form->LabeledEdit4()));
        qputenv("HOME", oldHome);
    }

    void successBoxSaysWhenNoFileBrowserCouldStart() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        place.ui->openUrlWorks = false;
        convertAndWait(*form);
        const QString book = place.path("out/Book.epub");
        QCOMPARE(place.ui->successes,
                 QStringList({"Successed to build: " + book +
                              "\n\nNo file browser could be started to show the folder \"" +
                              place.path("out") + "\"."}));
    }

    // The book options reach the run: here the text charset, which decides how bytes read.
    void bookOptionsReachTheRun() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Book");
        place.ui->textFiles.push_back({writeText(place.path("src/latin.txt"), "caf\xE9\n")});
        QTest::mouseClick(form->PNGButton(3), Qt::LeftButton);
        QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
        qb::BookOptions latin1;
        latin1.charset = "ISO-8859-1";
        place.ui->bookOptions.push_back(latin1);
        QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
        QCOMPARE(form->bookOptions(), latin1);
        convertAndWait(*form);
        QVERIFY(readFile(place.path("epubfiles/OEBPS/page1.html")).contains("caf\xC3\xA9"));
    }

    // The details dialog, filled as a user fills it, gives the next book its metadata; the
    // window keeps them in memory only, so config.ini names none of them.
    void bookDetailsReachTheBookButNotTheSettings() {
        WindowPlace place;
        auto form = preparedForm(place);
        form->Edit1()->setText("Night Train");
        qb::BookDetailsDialog dialog{qb::BookDetails{}};
        dialog.authorsEdit()->setPlainText("Tolkien, J. R. R.\n\n  Bea Second \n");
        dialog.descriptionEdit()->setPlainText("Sleepers roll by.\nA second paragraph.");
        dialog.subjectsEdit()->setText("Railways, , Nighttime ");
        dialog.publisherEdit()->setText("Pica Press");
        dialog.dateEdit()->setText("1897-05-26");
        dialog.rightsEdit()->setText("Public domain in Freedonia.");
        dialog.isbnEdit()->setText("ISBN 978-0-14-143951-8");
        dialog.seriesEdit()->setText("Iron Roads");
        dialog.seriesIndexEdit()->setText("2.5");
        dialog.titleSortEdit()->setText("Night Train, The");
        dialog.authorSortEdit()->setText("Author, Ann");
        QCOMPARE(dialog.problem(), QString());
        QVERIFY(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
        place.ui->bookDetails.push_back(dialog.details());
        QTest::mouseClick(form->DetailsButton(), Qt::LeftButton);
        QCOMPARE(form->Edit2()->text(), QStringLiteral("Ann Author"));

        convertAndWait(*form);
        QCOMPARE(place.ui->errors, QStringList());
        const QByteArray opf = readFile(place.path("epubfiles/OEBPS/fb.opf"));
        const char* const expected[] = {
            ">Ann Author</dc:creator>",
            ">Tolkien, J. R. R.</dc:creator>",
            ">Bea Second</dc:creator>",
            "<dc:subject>Railways</dc:subject>",
            "<dc:subject>Nighttime</dc:subject>",
            "<dc:description>Sleepers roll by.\nA second paragraph.</dc:description>",
            "<dc:publisher>Pica Press</dc:publisher>",
            ">1897-05-26</dc:date>",
            "<dc:rights>Public domain in Freedonia.</dc:rights>",
            ">9780141439518</dc:identifier>",
            "\"Iron Roads\"",
            "\"2.5\"",
            "\"Night Train, The\"",
            "\"Author, Ann\""};
        for (const char* text : expected) QVERIFY2(opf.contains(text), text);
        QCOMPARE(opf.count("</dc:subject>"), 2);
        // A cancelled dialog leaves them as they were.
        QTest::mouseClick(form->DetailsButton(), Qt::LeftButton);
        QCOMPARE(form->bookDetails().isbn, std::string("9780141439518"));

        form.reset();  // the window writes its settings as it closes
        const QByteArray settings = readFile(place.path("config.ini"));
        QVERIFY(!settings.isEmpty());
        for (const char* value : {"Tolkien", "Sleepers", "Railways", "Pica", "1897", "Freedonia",
                                  "143951", "Iron Roads", "Night Train, The", "Author, Ann"})
            QVERIFY2(!settings.contains(value), value);
    }

    // A bad value leaves OK disabled and says what the run would say.
    void badDetailsAreRefusedWithTheRunsOwnWords_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("problem");
        const auto core = [](auto set) {
            qb::BookDetails details;
            set(details);
            return QString::fromStdString(qb::detailsProblem(details));
        };
        QTest::newRow("check digit")
            << QStringLiteral("isbn") << QStringLiteral("978-0-14-143951-9")
            << core([](auto& d) { d.isbn = "978-0-14-143951-9"; });
        QTest::newRow("ISBN length") << QStringLiteral("isbn") << QStringLiteral("12345")
                                     << core([](auto& d) { d.isbn = "12345"; });
        QTest::newRow("not a leap year") << QStringLiteral("date") << QStringLiteral("1900-02-29")
                                         << core([](auto& d) { d.date = "1900-02-29"; });
        QTest::newRow("series number") << QStringLiteral("index") << QStringLiteral("two")
                                       << core([](auto& d) { d.seriesIndex = "two"; });
    }
    void badDetailsAreRefusedWithTheRunsOwnWords() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, problem);
        QVERIFY(!problem.isEmpty());
        qb::BookDetailsDialog dialog{qb::BookDetails{}};
        dialog.seriesEdit()->setText("Iron Roads");
        QLineEdit* edit = field == "isbn"   ? dialog.isbnEdit()
                          : field == "date" ? dialog.dateEdit()
                                            : dialog.seriesIndexEdit();
        edit->setText(typed);
        QCOMPARE(dialog.problem(), problem);
        QCOMPARE(dialog.problemLabel()->text(), problem);
        QVERIFY(!dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
        edit->clear();
        QVERIFY(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
    }

    void numberWithoutSeriesIsRefused() {
        qb::BookDetailsDialog dialog{qb::BookDetails{}};
        dialog.seriesIndexEdit()->setText("3");
        QVERIFY(!dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
        dialog.seriesEdit()->setText("Iron Roads");
        QVERIFY(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
    }
};

QTEST_MAIN(ConvertTest)
#include "test_convert.moc"
