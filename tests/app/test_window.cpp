// The window itself: its shape and layout, the sprite buttons, the settings file, the places it
// works in, and what closing it does.

#include <QBitmap>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

#include "app/app_places.h"
#include "app/skin.h"
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

    void focusOrderFollowsTheBookProject() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QWidget* expected[] = {form->ListView1(), form->LabeledEdit3(), form->LabeledEdit4(),
                               form->Edit1(),     form->Edit2(),        form->ListView1()};
        for (int i = 0; i + 1 < 6; ++i) {
            QWidget* next = expected[i]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus || !(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), expected[i + 1]->objectName());
        }
        QCOMPARE(form->PNGButton(4)->focusPolicy(), Qt::NoFocus);
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
            QTest::mouseClick(form->PNGButton(4), Qt::LeftButton);  // stops at the saving path
            QVERIFY(QFile::exists(place.path("epubfiles/OEBPS/page1.html")));
            QCOMPARE(form->contentFolder(),
                     QFile::encodeName(place.path("epubfiles/OEBPS")).toStdString());
        }
        QVERIFY(!QFile::exists(place.path("epubfiles/OEBPS")));
        QVERIFY(QFile::exists(place.path("epubfiles/mimetype")));
        QVERIFY(QFile::exists(place.path("epubfiles/META-INF/container.xml")));
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

        auto xdg = [&](const char* name) -> std::string {
            if (std::string(name) == "XDG_CACHE_HOME") return root + "/cache";
            if (std::string(name) == "XDG_CONFIG_HOME") return root + "/config";
            return "";
        };
        places = qb::resolvePlaces(root + "/bin", xdg, {root + "/share/quirebind/epubfiles"});
        QCOMPARE(places.workFolder, root + "/cache/quirebind/epubfiles");
        QCOMPARE(places.configFile, root + "/config/quirebind/config.ini");
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
