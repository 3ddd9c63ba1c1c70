// The window itself: its shape and layout, the sprite buttons, the keyboard, its colours on a
// dark desktop, the settings file, the places it works in, and what closing it does.

#include <QBitmap>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>
#include <utime.h>

#include "app/app_places.h"
#include "app/book_options_dialog.h"
#include "app/focus_ring.h"
#include "app/skin.h"
#include "app/work_folder_claim.h"
#include "app_fixture.h"

using namespace qbtest;

class WindowTest : public QObject {
    Q_OBJECT

    static QRect placement(const qb::TForm1& form, const char* name) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(name));
        if (!widget) qFatal("no control %s", name);
        return widget->geometry();
    }

  private slots:
    void shapeAndPlacements() {
        WindowPlace place;
        auto form = place.makeForm();
        QCOMPARE(form->size(), QSize(697, 482));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->pos(), QPoint(310, 112));
        QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(form->windowTitle(), QStringLiteral("Quirebind 3.3"));
        // Rounded corners: the very corner pixels are cut, the edges between them are not.
        const QRegion shape = form->mask();
        QVERIFY(!shape.contains(QPoint(0, 0)) && !shape.contains(QPoint(696, 481)));
        QVERIFY(shape.contains(QPoint(348, 0)) && shape.contains(QPoint(0, 240)));
        QVERIFY(shape.contains(QPoint(696, 240)) && shape.contains(QPoint(348, 481)));

        const auto* list = form->ListView1();
        QCOMPARE(list->mapTo(form.get(), QPoint(0, 0)), QPoint(171, 135));
        QCOMPARE(list->size(), QSize(511, 154));
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Page"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("Path"));
        QCOMPARE(list->columnWidth(0), 80);
        QCOMPARE(list->columnWidth(1), 410);

        QCOMPARE(placement(*form, "PNGButton2"), QRect(8, 40, 58, 58));
        QCOMPARE(placement(*form, "PNGButton1"), QRect(64, 40, 58, 58));
        QCOMPARE(placement(*form, "PNGButton3"), QRect(120, 40, 73, 58));
        QCOMPARE(placement(*form, "PNGButton4"), QRect(192, 40, 58, 58));
        QCOMPARE(placement(*form, "PNGButton5"), QRect(264, 40, 58, 58));
        QCOMPARE(placement(*form, "PNGButton8"), QRect(445, 16, 57, 57));
        QCOMPARE(placement(*form, "PNGButton9"), QRect(445, 80, 57, 57));
        QCOMPARE(form->PNGButton(4)->Caption(), QStringLiteral("Convert"));
        QCOMPARE(form->PNGButton(4)->fontColor(), QColor(Qt::yellow));
        QVERIFY(form->PNGButton(4)->font().bold());
        QCOMPARE(placement(*form, "Edit1"), QRect(8, 38, 121, 21));
        QCOMPARE(placement(*form, "Edit2"), QRect(8, 92, 121, 21));
        QCOMPARE(placement(*form, "LabeledEdit3"), QRect(85, 36, 340, 21));
        QCOMPARE(placement(*form, "LabeledEdit4"), QRect(88, 100, 337, 21));
        QCOMPARE(placement(*form, "Image12"), QRect(1, 64, 140, 24));
        QCOMPARE(placement(*form, "Image14"), QRect(1, 88, 140, 213));

        // The labels of the two fields end three pixels before them, with their spaces.
        for (const auto* edit : {form->LabeledEdit3(), form->LabeledEdit4()})
            QCOMPARE(edit->EditLabel()->geometry().right() + 1 + 3, edit->x());
        QCOMPARE(form->LabeledEdit3()->EditLabel()->text(), QStringLiteral("Cover Image:  "));
        QCOMPARE(form->LabeledEdit4()->EditLabel()->text(), QStringLiteral("Save  Epub  To:  "));
        QCOMPARE(form->findChild<QLabel*>("Label2")->text(),
                 QStringLiteral("Drag items to  adjust the order of txt list."));
        QCOMPARE(form->findChild<QLabel*>("Label7")->pos(), QPoint(6, 272));

        QVERIFY(form->findChild<QWidget*>("PanelImage")->isHidden());
    }

    void tabWalksTheWindowInScreenOrder() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const QStringList expected = {
            "PNGButton2", "PNGButton1",   "PNGButton3", "PNGButton4",   "PNGButton5",
            "ImgBtnMin",  "ImgBtnClose",  "Edit1",      "Edit2",        "OptionsButton",
            "ListView1",  "LabeledEdit3", "PNGButton8", "LabeledEdit4", "PNGButton9",
            "PNGButton2"};  // Cancel is there only during a run
        form->PNGButton(2)->setFocus(Qt::TabFocusReason);
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(seen, expected);

        // The picture buttons draw no focus of their own: the ring shows it.
        form->PNGButton(4)->setFocus(Qt::TabFocusReason);
        QCOMPARE(form->focusRing()->target(), form->PNGButton(4));
        QVERIFY(form->focusRing()->geometry().contains(
            QRect(form->PNGButton(4)->mapTo(form.get(), QPoint(0, 0)), QSize(58, 58))));
        form->Edit1()->setFocus(Qt::TabFocusReason);
        QCOMPARE(form->focusRing()->target(), nullptr);
        QVERIFY(form->focusRing()->isHidden());
        // A click on a picture button leaves the focus where the user was typing.
        QTest::mouseClick(form->PNGButton(1), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form->Edit1());
    }

    void enterAndSpacePressTheButtons() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        place.ui->textFiles.push_back({"/t/A.txt", "/t/B.txt"});
        form->PNGButton(2)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form->PNGButton(2), Qt::Key_Return);  // Add
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt", "2:/t/B.txt"}));
        form->ListView1()->setCurrentItem(form->ListView1()->topLevelItem(0));
        form->PNGButton(1)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form->PNGButton(1), Qt::Key_Space);  // Remove
        QCOMPARE(rows(*form), QStringList({"1:/t/B.txt"}));
        QTest::keyClick(form->PNGButton(9), Qt::Key_Enter);  // the folder chooser
        QCOMPARE(place.ui->folderInitials.size(), 1);
        QTest::keyClick(form->OptionsButton(), Qt::Key_Return);
        QTest::keyClick(form->OptionsButton(), Qt::Key_Space);
        QCOMPARE(place.ui->bookOptionsShown.size(), 2);
        QTest::keyClick(form->ImgBtnClose(), Qt::Key_Return);
        QVERIFY(!form->isVisible());
        QCOMPARE(place.ui->boxCount(), 0);
    }

    // A dark desktop theme must not reach inside the skin: the window looks the same, pixel for
    // pixel, as under a light one.
    void skinLooksTheSameOnADarkDesktop() {
        const QPalette desktop = QApplication::palette();
        WindowPlace place;
        const auto shoot = [&] {
            auto form = place.makeForm();
            form->addSourceFiles({"/t/A.txt"});
            form->Edit1()->setText("Title");
            form->show();
            return form->grab().toImage();
        };
        QApplication::setPalette(QPalette(QColor(0xF0, 0xF0, 0xF0)));
        const QImage light = shoot();
        QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2B, 0x2B, 0x2B));
        dark.setColor(QPalette::WindowText, QColor(0xDD, 0xDD, 0xDD));
        dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
        QApplication::setPalette(dark);
        auto form = place.makeForm();
        form->addSourceFiles({"/t/A.txt"});
        form->Edit1()->setText("Title");
        form->show();
        const QImage shot = form->grab().toImage();
        for (const char* name : {"LabeledEdit3Label", "LabeledEdit4Label", "Label1", "Label2"})
            QCOMPARE(form->findChild<QLabel*>(name)->palette().color(QPalette::WindowText),
                     QColor(Qt::black));
        for (QWidget* field : std::initializer_list<QWidget*>{
                 form->Edit1(), form->Edit2(), form->LabeledEdit3(), form->ListView1()}) {
            QCOMPARE(field->palette().color(QPalette::Base), QColor(Qt::white));
            QCOMPARE(field->palette().color(QPalette::Text), QColor(Qt::black));
        }
        QApplication::setPalette(desktop);
        QCOMPARE(shot.size(), light.size());
        QCOMPARE(shot, light);
        // And the light look is the skin's: a white field, dark label text.
        const QRect edit(form->LabeledEdit3()->mapTo(form.get(), QPoint(0, 0)), QSize(340, 21));
        QCOMPARE(QColor(shot.pixel(edit.center())), QColor(Qt::white));
        const QLabel* label = form->LabeledEdit3()->EditLabel();
        int darkest = 255;
        for (int y = 0; y < label->height(); ++y)
            for (int x = 0; x < label->width(); ++x)
                darkest =
                    std::min(darkest, qGray(shot.pixel(label->mapTo(form.get(), QPoint(x, y)))));
        QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
    }

    void windowButtonsAreCutFromTheSpriteSheet() {
        WindowPlace place;
        auto form = place.makeForm();
        const qb::TImgBtn* buttons[] = {form->ImgBtnMin(), form->ImgBtnClose()};
        QCOMPARE(buttons[0]->pos(), QPoint(627, 8));
        QCOMPARE(buttons[1]->pos(), QPoint(651, 8));
        const qb::Bitmap sheet = qb::skinSpriteSheet();
        const int lefts[] = {0, 68};
        const int widths[] = {40, 24};
        for (int b = 0; b < 2; ++b) {
            QCOMPARE(buttons[b]->size(), QSize(25, 31));
            QCOMPARE(buttons[b]->Pic().width(), widths[b]);
            QCOMPARE(buttons[b]->Pic().height(), 20);
            const qb::Bitmap* rowsOf[] = {&buttons[b]->Pic(), &buttons[b]->PicUp(),
                                          &buttons[b]->PicDown()};
            for (int row = 0; row < 3; ++row) {
                QVERIFY(rowsOf[row]->transparent());
                QCOMPARE(rowsOf[row]->pixel(5, 10), sheet.pixel(lefts[b] + 5, row * 20 + 10));
            }
        }
        // The sheet's background is the key colour, so the header shows through around the
        // glyphs: the window's pixel just inside the minimise button is the header's own.
        form->show();
        const QImage shot = form->grab().toImage();
        const QImage header = qb::skinJpeg("header_right.jpg");
        const QPoint inButton(627 + 24, 8 + 19);
        QCOMPARE(QColor(shot.pixel(inButton)),
                 QColor(header.pixel(inButton - QPoint(697 - 180, 0))));
        // The close button closes without a question.
        QTest::mouseClick(form->ImgBtnClose(), Qt::LeftButton, {}, QPoint(12, 10));
        QVERIFY(!form->isVisible());
        QCOMPARE(place.ui->boxCount(), 0);
    }

    void settingsRememberTheOutputFolder() {
        WindowPlace place;
        {
            auto form = place.makeForm();
            QVERIFY(form->LabeledEdit4()->text().isEmpty());  // not the design text
            form->LabeledEdit4()->setText("/home/reader/Books");
        }
        QVERIFY(readFile(place.path("config.ini")).contains("SavePath=/home/reader/Books"));
        {
            auto form = place.makeForm();
            QCOMPARE(form->LabeledEdit4()->text(), QStringLiteral("/home/reader/Books"));
            form->LabeledEdit4()->clear();
        }
        {
            auto form = place.makeForm();
            QVERIFY(form->LabeledEdit4()->text().isEmpty());
        }

        // Other lines of the file are the user's and survive.
        writeText(place.path("config.ini"),
                  "; mine\n[Window]\nLeft=4\n[options]\nsavepath=/old\nTheme=dark\n");
        {
            auto form = place.makeForm();
            QCOMPARE(form->LabeledEdit4()->text(), QStringLiteral("/old"));
            form->LabeledEdit4()->setText("/new");
        }
        const QByteArray saved = readFile(place.path("config.ini"));
        for (const char* line : {"; mine", "[Window]", "Left=4", "Theme=dark", "=/new"})
            QVERIFY2(saved.contains(line), line);
        QVERIFY(!saved.contains("/old"));
        QVERIFY(place.ui->errors.isEmpty());
    }

    void unwritableSettingsAreReportedAtClose() {
        WindowPlace place;
        writeText(place.path("blocker"), "a file, not a folder");
        qb::AppPlaces places = place.places();
        places.configFile = QFile::encodeName(place.path("blocker/config.ini")).toStdString();
        { qb::TForm1 form(places, place.ui); }
        QCOMPARE(place.ui->errors.size(), 1);
        QCOMPARE(place.ui->errors.first(), qb::applicationTitle() + "|Unable to write to " +
                                               place.path("blocker/config.ini") + ".");
    }

    void closingRemovesTheContentFolderOnly() {
        WindowPlace place;
        {
            auto form = place.makeForm();
            place.ui->textFiles.push_back({writeText(place.path("a.txt"), "line\n")});
            QTest::mouseClick(form->PNGButton(2), Qt::LeftButton);
            form->Edit1()->setText("Book");
            form->Edit2()->setText("Author");
            form->LabeledEdit4()->setText(place.path("out"));
            convertAndWait(*form);
            QCOMPARE(place.ui->successes.size(), 1);
            QVERIFY(QFile::exists(place.path("epubfiles/OEBPS/page1.html")));
            QCOMPARE(form->contentFolder(),
                     QFile::encodeName(place.path("epubfiles/OEBPS")).toStdString());
        }
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QVERIFY(QFile::exists(place.path("epubfiles/mimetype")));
        QVERIFY(QFile::exists(place.path("epubfiles/META-INF/container.xml")));
    }

    void bookOptionsAreRememberedInConfigIni() {
        WindowPlace place;
        writeText(place.path("config.ini"),
                  "[Options]\nSavePath=/books\nParagraphs=Blocks\nChapters=^Chapter \\d+\n"
                  "TocLabels=first-line\nLanguage=de-DE\nMaxPageKB=512\nEncoding=windows-1252\n"
                  "EpubVersion=3\n");
        qb::BookOptions chosen;
        chosen.paragraphs = qb::ParagraphMode::Blocks;
        chosen.chapters = "^Chapter \\d+";
        chosen.tocLabels = qb::TocLabels::FirstLine;
        chosen.language = "de-DE";
        chosen.maxPageBytes = 512 * 1024;
        chosen.charset = "windows-1252";
        chosen.epubVersion = 3;
        {
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions(), chosen);
            // The dialog opens on what is set; Cancel changes nothing.
            QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
            QCOMPARE(place.ui->bookOptionsShown, QList<qb::BookOptions>({chosen}));
            QCOMPARE(form->bookOptions(), chosen);
            qb::BookOptions other;
            other.chapters = "auto";
            other.language = "auto";
            other.maxPageBytes = 0;
            place.ui->bookOptions.push_back(other);
            QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
            QCOMPARE(form->bookOptions(), other);
        }
        const QByteArray saved = readFile(place.path("config.ini"));
        for (const char* line :
             {"SavePath=/books", "Paragraphs=lines", "Chapters=auto", "TocLabels=page",
              "Language=auto", "MaxPageKB=0", "Encoding=auto", "EpubVersion=2"})
            QVERIFY2(saved.contains(line), line);
        {
            auto form = place.makeForm();
            qb::BookOptions other;
            other.chapters = "auto";
            other.language = "auto";
            other.maxPageBytes = 0;
            QCOMPARE(form->bookOptions(), other);
        }

        // Values that cannot be used fall back to each option's default.
        writeText(place.path("config.ini"),
                  "[Options]\nParagraphs=sideways\nChapters=(unclosed\nTocLabels=chapter\n"
                  "Language=system\nMaxPageKB=12abc\nEncoding=no-such-charset\nEpubVersion=4\n");
        {
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions(), qb::BookOptions());
        }
        for (const char* cap : {"-4", "99999999", "", "1e3", "65537"}) {
            writeText(place.path("config.ini"), QByteArray("[Options]\nMaxPageKB=") + cap + "\n");
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions().maxPageBytes, qb::kDefaultMaxPageBytes);
        }
        QVERIFY(place.ui->errors.isEmpty());
    }

    void optionsDialogChecksWhatIsTyped() {
        qb::BookOptionsDialog dialog{qb::BookOptions()};
        QPushButton* ok = dialog.buttons()->button(QDialogButtonBox::Ok);
        QVERIFY(ok->isEnabled());
        QVERIFY(!dialog.patternEdit()->isEnabled());
        QCOMPARE(dialog.options(), qb::BookOptions());

        dialog.chaptersBox()->setCurrentIndex(2);
        QVERIFY(dialog.patternEdit()->isEnabled());
        QVERIFY(!ok->isEnabled());  // no pattern yet
        dialog.patternEdit()->setText("^(Chapter");
        QVERIFY(!ok->isEnabled());
        QVERIFY2(dialog.problem().contains("not valid"), qPrintable(dialog.problem()));
        dialog.patternEdit()->setText("auto");  // names another choice
        QVERIFY(!ok->isEnabled());
        dialog.patternEdit()->setText("^Chapter \\d+");
        QVERIFY(ok->isEnabled());
        QCOMPARE(dialog.options().chapters, std::string("^Chapter \\d+"));

        dialog.encodingBox()->setCurrentIndex(1);
        dialog.charsetEdit()->setText("no-such-charset");
        QVERIFY(!ok->isEnabled());
        dialog.charsetEdit()->setText(" windows-1252 ");
        QVERIFY(ok->isEnabled());
        QCOMPARE(dialog.options().charset, std::string("windows-1252"));

        dialog.languageBox()->setCurrentIndex(2);
        QVERIFY(!ok->isEnabled());  // no tag yet
        dialog.languageEdit()->setText("pt-BR");
        QVERIFY(ok->isEnabled());

        dialog.pageCapBox()->setValue(0);
        QCOMPARE(dialog.pageCapBox()->text(), QStringLiteral("No limit"));
        dialog.versionBox()->setCurrentIndex(1);
        dialog.paragraphsBox()->setCurrentIndex(1);
        dialog.tocLabelsBox()->setCurrentIndex(1);
        const qb::BookOptions chosen = dialog.options();
        QCOMPARE(chosen.maxPageBytes, std::size_t(0));
        QCOMPARE(chosen.epubVersion, 3);
        QCOMPARE(chosen.language, std::string("pt-BR"));
        QVERIFY(chosen.paragraphs == qb::ParagraphMode::Blocks);
        QVERIFY(chosen.tocLabels == qb::TocLabels::File);
        // A dialog opened on those choices shows them again.
        QCOMPARE(qb::BookOptionsDialog(chosen).options(), chosen);
    }

    // Two programs at once: the second works in a private copy of the template, so the first
    // closing (and removing its content folder) cannot touch the book the second is making.
    void secondProgramGetsAWorkFolderOfItsOwn() {
        WindowPlace place;
        const std::string shared = place.places().workFolder;
        const std::string privateRoot = QFile::encodeName(place.path("private")).toStdString();
        auto firstClaim = std::make_unique<qb::WorkFolderClaim>(shared, privateRoot);
        QVERIFY(!firstClaim->isPrivate());
        QCOMPARE(firstClaim->folder(), shared);
        qb::WorkFolderClaim secondClaim(shared, privateRoot);
        QVERIFY(secondClaim.isPrivate());
        const QString second = QString::fromStdString(secondClaim.folder());
        QVERIFY(second.startsWith(place.path("private/work-")));
        QCOMPARE(readFile(second + "/mimetype"), readFile(place.path("epubfiles/mimetype")));
        QVERIFY(QFile::exists(second + "/META-INF/container.xml"));

        const auto prepare = [&](const std::string& work, const QString& title) {
            auto form = std::make_unique<qb::TForm1>(
                qb::AppPlaces{work, QFile::encodeName(place.path("config.ini")).toStdString()},
                place.ui);
            form->Edit1()->setText(title);
            form->Edit2()->setText("Author");
            form->LabeledEdit4()->setText(place.path("out"));
            return form;
        };
        auto first = prepare(shared, "First");
        first->addSourceFiles({writeText(place.path("src/one.txt"), "one\n")});
        convertAndWait(*first);
        QVERIFY(QFile::exists(place.path("epubfiles/OEBPS/page1.html")));

        auto secondForm = prepare(secondClaim.folder(), "Second");
        QStringList pages;
        for (int i = 1; i <= 60; ++i)
            pages << writeText(place.path("src/p%1.txt").arg(i), QByteArray(30000, 'p') + "\n");
        secondForm->addSourceFiles(pages);
        // The first program closes while the second writes its pages.
        connect(secondForm.get(), &qb::TForm1::statusChanged, [&](const QString& text) {
            if (first && text.startsWith("Page ")) {
                first.reset();
                firstClaim.reset();
            }
        });
        convertAndWait(*secondForm);
        QVERIFY(!first);
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QCOMPARE(place.ui->errors, QStringList());
        QCOMPARE(place.ui->successes.size(), 2);

        const QString book = place.path("out/Second.epub");
        QProcess list;
        list.start("unzip", {"-Z1", book});
        QVERIFY(list.waitForFinished(60000));
        const QStringList members =
            QString::fromUtf8(list.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& member :
             {QStringLiteral("mimetype"), QStringLiteral("META-INF/container.xml"),
              QStringLiteral("OEBPS/fb.opf"), QStringLiteral("OEBPS/fb.ncx"),
              QStringLiteral("OEBPS/stylesheet.css"), QStringLiteral("OEBPS/page1.html"),
              QStringLiteral("OEBPS/page60.html")})
            QVERIFY2(members.contains(member), qPrintable(member));
        QVERIFY(members.filter(QStringLiteral("lock")).isEmpty());

        // The shared folder is free again for the next program to start.
        qb::WorkFolderClaim next(shared, privateRoot);
        QVERIFY(!next.isPrivate());
    }

    void privateFoldersGoWithTheirProgramAndStaleOnesAtTheNextStart() {
        WindowPlace place;
        const std::string shared = place.places().workFolder;
        const QString root = place.path("private");
        const std::string privateRoot = QFile::encodeName(root).toStdString();
        qb::WorkFolderClaim owner(shared, privateRoot);
        std::string alive;
        {
            qb::WorkFolderClaim mine(shared, privateRoot);
            QVERIFY(mine.isPrivate());
            QVERIFY(QFileInfo(QString::fromStdString(mine.folder())).isDir());
            alive = mine.folder();
        }
        QVERIFY(!QFileInfo::exists(QString::fromStdString(alive)));

        // What programs that died left behind, beside one that still runs.
        qb::WorkFolderClaim running(shared, privateRoot);
        writeText(root + "/work-dead01/.quirebind.lock", "");
        writeText(root + "/work-dead01/OEBPS/page1.html", "old");
        writeText(root + "/work-nolock/mimetype", "x");
        writeText(root + "/new-abandoned/mimetype", "x");
        writeText(root + "/new-settingup/mimetype", "x");
        writeText(root + "/notes/readme.txt", "not ours");
        const QByteArray abandoned = QFile::encodeName(root + "/new-abandoned");
        struct utimbuf old {};
        old.actime = old.modtime = time(nullptr) - 3 * 3600;
        QCOMPARE(::utime(abandoned.constData(), &old), 0);

        qb::WorkFolderClaim next(shared, privateRoot);
        QVERIFY(next.isPrivate());
        QVERIFY(!QFileInfo::exists(root + "/work-dead01"));
        QVERIFY(!QFileInfo::exists(root + "/work-nolock"));
        QVERIFY(!QFileInfo::exists(root + "/new-abandoned"));
        QVERIFY(QFileInfo::exists(root + "/new-settingup"));
        QVERIFY(QFileInfo::exists(root + "/notes/readme.txt"));
        QVERIFY(QFileInfo::exists(QString::fromStdString(running.folder()) + "/mimetype"));

        // A private folder that cannot be made is an error naming the place.
        writeText(place.path("blocker"), "a file");
        const std::string blocked = QFile::encodeName(place.path("blocker/private")).toStdString();
        try {
            qb::WorkFolderClaim failing(shared, blocked);
            QFAIL("no error for a private folder below a file");
        } catch (const std::exception& e) {
            QVERIFY2(
                QString(e.what()).startsWith("Cannot create folder \"" + place.path("blocker")),
                e.what());
        }
    }

    void applicationTitleFromTheProgramFile() {
        QCOMPARE(qb::applicationTitle("/usr/local/bin/quirebind"), QStringLiteral("Quirebind"));
        QCOMPARE(qb::applicationTitle("C:/Tools/CONVERT.EXE"), QStringLiteral("Convert"));
        QCOMPARE(qb::applicationTitle("/opt/my.tool.bin"), QStringLiteral("My"));
    }

    void placesBesideTheProgramOrPerUser() {
        QTemporaryDir dir;
        const std::string root = QFile::encodeName(dir.path()).toStdString();
        // Built tree: a writable template beside the program keeps everything there.
        QDir(dir.path()).mkpath("build/epubfiles");
        auto env = [&](const char* name) -> std::string {
            if (std::string(name) == "HOME") return root + "/home";
            if (std::string(name) == "XDG_CONFIG_HOME") return "relative/ignored";
            return "";
        };
        qb::AppPlaces places = qb::resolvePlaces(root + "/build", env, {});
        QCOMPARE(places.workFolder, root + "/build/epubfiles");
        QCOMPARE(places.configFile, root + "/build/config.ini");

        // Installed copy: no template beside the program, so the per-user folders, the work
        // folder made from the installed template without a stale content folder.
        copyTree(QStringLiteral(QB_TEST_TEMPLATE_DIR), dir.path() + "/share/quirebind/epubfiles");
        writeText(dir.path() + "/share/quirebind/epubfiles/OEBPS/stale.html", "x");
        QDir(dir.path()).mkpath("bin");
        places = qb::resolvePlaces(root + "/bin", env,
                                   {root + "/missing", root + "/share/quirebind/epubfiles"});
        QCOMPARE(places.workFolder, root + "/home/.cache/quirebind/epubfiles");
        QCOMPARE(places.configFile, root + "/home/.config/quirebind/config.ini");
        QVERIFY(QFile::exists(dir.path() + "/home/.cache/quirebind/epubfiles/mimetype"));
        QVERIFY(
            QFile::exists(dir.path() + "/home/.cache/quirebind/epubfiles/META-INF/container.xml"));
        QVERIFY(!QFile::exists(dir.path() + "/home/.cache/quirebind/epubfiles/OEBPS"));
        QVERIFY(QFileInfo(dir.path() + "/home/.config/quirebind").isDir());

        // Starting again leaves unchanged files alone (another program may be packing them)
        // and replaces changed ones whole.
        const QString cached = dir.path() + "/home/.cache/quirebind/epubfiles";
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(cached + "/mimetype").constData(), &before), 0);
        writeText(dir.path() + "/share/quirebind/epubfiles/META-INF/container.xml", "new\n");
        qb::resolvePlaces(root + "/bin", env, {root + "/share/quirebind/epubfiles"});
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(cached + "/mimetype").constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtime, before.st_mtime);
        QCOMPARE(readFile(cached + "/META-INF/container.xml"), QByteArray("new\n"));
        QCOMPARE(QDir(cached + "/META-INF").entryList(QDir::Files | QDir::Hidden),
                 QStringList({"container.xml"}));

        auto xdg = [&](const char* name) -> std::string {
            if (std::string(name) == "XDG_CACHE_HOME") return root + "/cache";
            if (std::string(name) == "XDG_CONFIG_HOME") return root + "/config";
            return "";
        };
        places = qb::resolvePlaces(root + "/bin", xdg, {root + "/share/quirebind/epubfiles"});
        QCOMPARE(places.workFolder, root + "/cache/quirebind/epubfiles");
        QCOMPARE(places.configFile, root + "/config/quirebind/config.ini");

        // Private work folders of second programs go to the cache folder too.
        QCOMPARE(qb::privateWorkRoot(xdg), root + "/cache/quirebind");
        QCOMPARE(qb::privateWorkRoot(env), root + "/home/.cache/quirebind");
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
