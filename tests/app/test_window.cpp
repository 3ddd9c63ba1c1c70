// The window itself: its shape and layout, the sprite buttons, the keyboard, its colours on a
// dark desktop, the settings file, the places it works in, and what closing it does.

#include <QAccessible>
#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>
#include <algorithm>
#include <iterator>

#include "app/app_places.h"
#include "app/book_options_dialog.h"
#include "app/desktop_open.h"
#include "app/focus_ring.h"
#include "app/qt_window_ui.h"
#include "app/save_path.h"
#include "app/skin.h"
#include "app/skin_image.h"
#include "app/window_placement.h"
#include "app_fixture.h"
#include "convert/work_folder.h"
#include "platform/build_info.h"
#include "tests/support/env_guard.h"

using namespace qbtest;

namespace {

// Runs `act` on the modal dialog of type Dialog once it is open.
template <typename Dialog, typename Act>
void whenDialogOpens(Act act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start(10);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    static QWidget* control(const qb::TForm1& form, const char* name) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    // Where a control lies, in the window's coordinates.
    static QRect onForm(const QWidget* widget) {
        return {widget->mapTo(widget->window(), QPoint(0, 0)), widget->size()};
    }
    // Every place of the sheet whose pixels are exactly those of `cut`.
    static QList<QPoint> placesOnSheet(const qb::Bitmap& sheet, const qb::Bitmap& cut) {
        QList<QPoint> places;
        for (int y = 0; y + cut.height() <= sheet.height(); ++y)
            for (int x = 0; x + cut.width() <= sheet.width(); ++x)
                if (sheet.image().copy(QRect(QPoint(x, y), cut.image().size())) == cut.image())
                    places << QPoint(x, y);
        return places;
    }

  private slots:
    void choosersOfferWhatTheBookTakes() {
        qb::QtWindowUi ui;
        QTemporaryDir folder;
        QString title;
        QStringList filters;
        whenDialogOpens<QFileDialog>([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            filters = dialog.nameFilters();
            dialog.setDirectory(folder.path());
            auto* addFolder = dialog.findChild<QPushButton*>();
            for (auto* button : dialog.findChildren<QPushButton*>())
                if (button->text() == QLatin1String("Add &Folder")) addFolder = button;
            addFolder->click();
        });
        QCOMPARE(ui.openTextFiles(nullptr), QStringList({folder.path()}));
        QCOMPARE(title, QStringLiteral("Add text files"));
        QCOMPARE(filters, QStringList({"TXT file (*.txt)"}));

        whenDialogOpens<QFileDialog>([&](QFileDialog& dialog) {
            filters = dialog.nameFilters();
            dialog.reject();
        });
        QCOMPARE(ui.openCoverPicture(nullptr), QString());
        QCOMPARE(filters, QStringList({"Pictures (*.jpg *.jpeg *.png *.gif)"}));
    }

    // Closing during a run: Enter and Esc keep the work; only the Stop button stops it.
    void stopQuestionKeepsWorkingUnlessStopIsChosen() {
        qb::QtWindowUi ui;
        for (const QString& press :
             {QStringLiteral("enter"), QStringLiteral("esc"), QStringLiteral("&Stop and Quit")}) {
            whenDialogOpens<QMessageBox>([press](QMessageBox& box) {
                if (press == QLatin1String("enter"))
                    QTest::keyClick(&box, Qt::Key_Return);
                else if (press == QLatin1String("esc"))
                    QTest::keyClick(&box, Qt::Key_Escape);
                for (QAbstractButton* button : box.buttons())
                    if (button->text() == press) button->click();
            });
            QCOMPARE(ui.askStopRun(), press.startsWith(u'&'));
        }
    }

    // The desktop's answer counts, not only that the opener started: xdg-open on a machine
    // with no desktop starts and then fails. Folders and the documentation go as plain paths.
    void openingOnTheDesktopHeedsTheOpenersExitStatus() {
        QTemporaryDir folder;
        const QString said = folder.filePath(QStringLiteral("said"));
        const struct {
            const char* body;  // the opener's shell script; empty: there is no opener
            bool opened;
        } cases[] = {
            {"printf %s \"$1\" >\"$(dirname \"$0\")/said\"", true},
            {"exit 4", false},
            {"kill -9 $$", false},
            {"", false},
        };
        for (const auto& c : cases) {
            const QString opener = folder.filePath(QStringLiteral("opener"));
            QFile::remove(opener);
            if (*c.body) {
                QFile script(opener);
                QVERIFY(script.open(QIODevice::WriteOnly));
                script.write(QByteArray("#!/bin/sh\n") + c.body + '\n');
                script.close();
                QVERIFY(
                    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            }
            qb::test::EnvGuard env;
            env.set("QB_DESKTOP_OPENER", opener.toStdString());
            qb::QtWindowUi ui;
            const QString target = folder.filePath(QStringLiteral("Book folder é"));
            QCOMPARE(ui.openUrl(QUrl::fromLocalFile(target)), c.opened);
            if (!c.opened) continue;
            QFile heard(said);
            QVERIFY(heard.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(heard.readAll()), target);
        }
    }

    // "Home" shows the README installed below share/doc beside bin/, or the build tree's copy
    // beside the program.
    void documentationIsFoundWhereItIsInstalled() {
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("bin"));
        const QString installed = root.filePath(QStringLiteral("share/doc/quirebind/README.html"));
        const QString beside = bin + QStringLiteral("/README.html");
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(QFileInfo(installed).path()));
        QCOMPARE(qb::findDocumentation(bin), QString());
        QCOMPARE(qb::installedDocumentation(bin), installed);
        QVERIFY(QFile(beside).open(QIODevice::WriteOnly));
        QCOMPARE(qb::findDocumentation(bin), beside);
        QVERIFY(QFile(installed).open(QIODevice::WriteOnly));
        QCOMPARE(qb::findDocumentation(bin), installed);
    }

    void savePathsResolveAsAFileManagerReadsThem() {
        struct Case {
            const char* typed;
            const char* path;  // empty: nothing, or (with problem) no folder
            bool problem;
        };
        const Case cases[] = {
            {"", "", false},
            {"~", "/home/ann", false},
            {"~/qbbooks/", "/home/ann/qbbooks", false},
            {"~bob/x", "/srv/bob/x", false},
            {"~bob", "/srv/bob", false},
            {"~nobody/x", "", true},
            {"relbooks/./a/../b", "/home/ann/relbooks/b", false},
            {"a/~/b", "/home/ann/a/~/b", false},
            {"/data//books/", "/data/books", false},
            {"/data/~bob", "/data/~bob", false},
        };
        const auto userHome = [](const QString& user) {
            return user == QLatin1String("bob") ? QStringLiteral("/srv/bob") : QString();
        };
        for (const Case& c : cases) {
            const qb::SavePath resolved = qb::resolveSavePath(
                QString::fromUtf8(c.typed), QStringLiteral("/home/ann"), userHome);
            QCOMPARE(resolved.path, QString::fromUtf8(c.path));
            QVERIFY2(resolved.problem.isEmpty() != c.problem, c.typed);
        }
        QVERIFY(qb::resolveSavePath("~nobody/x", "/home/ann", userHome)
                    .problem.contains("\"~nobody/x\""));
    }

    // What must hold wherever the controls are put.
    void shapeAndPlacements() {
        WindowPlace place;
        auto form = place.makeForm();
        QCOMPARE(form->size(), form->minimumSize());
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(form->windowTitle(), QStringLiteral("Quirebind 3.3"));
        // Rounded corners: the very corner pixels are cut, the edges between them are not.
        const QRect r = form->rect();
        const QPoint c = r.center();
        const QRegion shape = form->mask();
        for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            QVERIFY(!shape.contains(corner));
        for (const QPoint edge : {QPoint(c.x(), 0), QPoint(0, c.y()), QPoint(r.right(), c.y()),
                                  QPoint(c.x(), r.bottom())})
            QVERIFY(shape.contains(edge));
        // The header, by which the window is moved, starts on the screen.
        QVERIFY(form->screen()->geometry().contains(form->pos()));
        const QRect header = onForm(control(*form, "PanelTop"));
        const QRect footer = onForm(control(*form, "PanelBtm"));
        QVERIFY(header.top() == 0 && header.width() == r.width());
        QVERIFY(footer.bottom() == r.bottom() && footer.width() == r.width());
        const QWidget* sheetHolder = control(*form, "PanelImage");
        QVERIFY(sheetHolder->isHidden());

        // Every control lies wholly inside its panel, also the footer's progress and Cancel
        // that wait hidden for a run; the skin's pictures may run under a panel's edge, never
        // out of the window.
        for (const QWidget* widget : form->findChildren<QWidget*>()) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
                sheetHolder->isAncestorOf(widget) || widget == form->focusRing())
                continue;
            QVERIFY2(!widget->size().isEmpty() && r.contains(onForm(widget)), qPrintable(name));
            QVERIFY2(qobject_cast<const qb::SkinImage*>(widget) ||
                         widget->parentWidget()->rect().contains(widget->geometry()),
                     qPrintable(name));
        }

        // The toolbar reads Add, Remove, Remove All, Convert, Home left to right on one row.
        // Neighbours may overlap by a few pixels, but no control of the header covers a
        // button's picture or caption.
        QList<const qb::TPNGButton*> toolbar;
        for (int number : {1, 2, 3, 4, 5}) toolbar << form->PNGButton(number);
        std::sort(toolbar.begin(), toolbar.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList captions;
        for (const qb::TPNGButton* button : toolbar) {
            captions << button->Caption();
            QVERIFY(button->parentWidget() == control(*form, "PanelTop") &&
                    button->y() == toolbar[0]->y() && button->height() == toolbar[0]->height());
            const QFontMetrics metrics(button->font());
            const QRect face =
                QRect(button->picturePosition(),
                      QSize(button->ImageNormal().width(), button->ImageNormal().height())) |
                QRect(button->captionPosition(),
                      QSize(metrics.horizontalAdvance(button->Caption()), metrics.height()));
            QVERIFY2(button->rect().contains(face), qPrintable(button->Caption()));
            for (const QWidget* other :
                 button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY2(other == button || qobject_cast<const qb::SkinImage*>(other) ||
                             !other->geometry().intersects(face.translated(button->pos())),
                         qPrintable(button->Caption() + " under " + other->objectName()));
        }
        QCOMPARE(captions, QStringList({"Add", "Remove", "Remove All", "Convert", "Home"}));
        QCOMPARE(form->PNGButton(4)->Caption(), QStringLiteral("Convert"));
        QCOMPARE(form->PNGButton(4)->fontColor(), QColor(Qt::yellow));
        QVERIFY(form->PNGButton(4)->font().bold());

        // The option column reads top down: each heading above its field, the options link,
        // then the three steps line by line.
        const char* column[] = {"Image13", "Edit1",  "Image12", "Edit2",  "OptionsButton",
                                "Label1",  "Label3", "Label4",  "Label8", "Label9",
                                "Label10", "Label5", "Label6",  "Label7"};
        for (std::size_t i = 1; i < std::size(column); ++i)
            QVERIFY2(onForm(control(*form, column[i - 1])).bottom() <
                         onForm(control(*form, column[i])).top(),
                     column[i]);
        // Details sits on the options link's row, right of it, and ends inside the column.
        const QRect options = onForm(form->OptionsButton());
        const QRect details = onForm(form->DetailsButton());
        QCOMPARE(details.top(), options.top());
        QVERIFY(options.right() < details.left());
        QVERIFY(details.right() <= onForm(control(*form, "Image14")).right());
        for (const QPushButton* link : {form->OptionsButton(), form->DetailsButton()})
            QVERIFY2(link->fontMetrics().horizontalAdvance(link->text()) + 2 <= link->width(),
                     qPrintable(link->text()));
        // Right of the column and below the header the list; under it the hint and the cover
        // and folder fields, each with its chooser button to its right and level with it.
        auto* list = form->ListView1();
        const QRect listArea = onForm(list);
        QVERIFY(header.bottom() < listArea.top());
        QVERIFY(onForm(control(*form, "PanelLeft")).right() < listArea.left());
        for (const char* name : {"Label2", "LabeledEdit3Label", "LabeledEdit3", "PNGButton8",
                                 "LabeledEdit4Label", "LabeledEdit4", "PNGButton9"}) {
            const QRect area = onForm(control(*form, name));
            QVERIFY2(listArea.bottom() < area.top() && area.bottom() < footer.top(), name);
        }
        for (const int k : {3, 4}) {
            const qb::LabeledEdit* edit = k == 3 ? form->LabeledEdit3() : form->LabeledEdit4();
            const QRect field = onForm(edit);
            const QRect chooser = onForm(form->PNGButton(k + 5));
            QVERIFY(field.right() < chooser.left());
            QVERIFY(chooser.top() <= field.center().y() && field.center().y() <= chooser.bottom());
            // The labels of the two fields end three pixels before them, with their spaces.
            QCOMPARE(edit->EditLabel()->geometry().right() + 1 + 3, edit->x());
        }
        QVERIFY(onForm(form->PNGButton(8)).bottom() < onForm(form->PNGButton(9)).top());
        QCOMPARE(form->LabeledEdit3()->EditLabel()->text(), QStringLiteral("Cover Image:  "));
        QCOMPARE(form->LabeledEdit4()->EditLabel()->text(), QStringLiteral("Save  Epub  To:  "));
        QCOMPARE(form->findChild<QLabel*>("Label2")->text(),
                 QStringLiteral("Drag items to  adjust the order of txt list."));

        // Both columns of the list show whole, each wider than its heading, also when a scroll
        // bar takes its share.
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Page"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("Path"));
        for (int i = 0; i < 40; ++i) form->addSourceFiles({QStringLiteral("/t/%1.txt").arg(i)});
        form->show();
        QVERIFY(list->verticalScrollBar()->isVisible());
        const QFontMetrics headings = list->header()->fontMetrics();
        for (int c = 0; c < 2; ++c)
            QVERIFY(list->columnWidth(c) > headings.horizontalAdvance(list->headerItem()->text(c)));
        QVERIFY(list->columnWidth(0) + list->columnWidth(1) <= list->viewport()->width());
    }

    void tabWalksTheWindowInScreenOrder() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const QStringList expected = {
            "PNGButton2",    "PNGButton1",  "PNGButton3",   "PNGButton4", "PNGButton5",
            "ImgBtnMin",     "ImgBtnClose", "Edit1",        "Edit2",      "OptionsButton",
            "DetailsButton", "ListView1",   "LabeledEdit3", "PNGButton8", "LabeledEdit4",
            "PNGButton9",    "PNGButton2"};  // Cancel is there only during a run
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
        QVERIFY(form->focusRing()->geometry().contains(onForm(form->PNGButton(4))));
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

    // F1 opens the About box wherever the focus is, with the version the build was given.
    void f1ShowsTheAboutBox() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form->Edit1(), Qt::Key_F1);
        QCOMPARE(place.ui->abouts.size(), 1);
        QVERIFY(place.ui->abouts[0].contains(QString::fromLatin1(qb::kVersion)));
        QVERIFY(place.ui->abouts[0].contains(QStringLiteral("LGPL-3")));
        QCOMPARE(place.ui->boxCount(), 0);
    }

    // A screen reader says each control's name: whatever the user can reach by keyboard or
    // click has one, and the picture buttons, which draw their words, also say what they do.
    void everyReachableControlHasAnAccessibleName() {
        WindowPlace place;
        auto form = place.makeForm();
        form->show();
        QStringList unnamed;
        int pictureButtons = 0;
        for (QWidget* widget : form->findChildren<QWidget*>()) {
            const bool picture = qobject_cast<qb::TImgBtn*>(widget) != nullptr ||
                                 qobject_cast<qb::TPNGButton*>(widget) != nullptr;
            const bool reachable = picture || widget->focusPolicy() != Qt::NoFocus ||
                                   qobject_cast<QAbstractButton*>(widget) != nullptr;
            if (!reachable) continue;
            pictureButtons += picture ? 1 : 0;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty() ||
                (picture && face->text(QAccessible::Description).trimmed().isEmpty())) {
                unnamed << widget->objectName();
            }
        }
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(pictureButtons, 9);  // seven picture buttons and the two window buttons

        // They are push buttons to the reader, and its "press" works as a click does.
        QAccessibleInterface* add = QAccessible::queryAccessibleInterface(form->PNGButton(2));
        QCOMPARE(add->role(), QAccessible::Button);
        QVERIFY(add->actionInterface());
        place.ui->textFiles.push_back({"/t/A.txt"});
        add->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(rows(*form), QStringList({"1:/t/A.txt"}));
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
        QCOMPARE(QColor(shot.pixel(onForm(form->LabeledEdit3()).center())), QColor(Qt::white));
        const QLabel* label = form->LabeledEdit3()->EditLabel();
        int darkest = 255;
        for (int y = 0; y < label->height(); ++y)
            for (int x = 0; x < label->width(); ++x)
                darkest =
                    std::min(darkest, qGray(shot.pixel(label->mapTo(form.get(), QPoint(x, y)))));
        QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
    }

    // On screens of ratio 1.5 and 2 the pieces carrying words come from the twice-size drawing
    // yet keep the 1x piece's place; a piece without a twin stays as it is.
    void scaledScreensUseTheTwiceSizeSkin() {
        for (const char* name :
             {"header_left.jpg", "footer_left.jpg", "heading_title.jpg", "border_divider.jpg"}) {
            const QImage one = qb::skinJpeg(name, 1.0);
            QCOMPARE(one.devicePixelRatio(), 1.0);
            for (const qreal ratio : {1.5, 2.0}) {
                const QImage used = qb::skinJpeg(name, ratio);
                QCOMPARE(used.size(), one.size() * 2);
                QCOMPARE(used.deviceIndependentSize(), QSizeF(one.size()));
            }
        }
        QCOMPARE(qb::skinJpeg("white.jpg", 1.5).size(), qb::skinJpeg("white.jpg", 1.0).size());

        // Painted at 1.5 the twin fills exactly the 1x place: the words end where they did.
        qb::SkinImage piece;
        piece.setPicture(qb::skinJpeg("heading_title.jpg", 1.5));
        piece.resize(140, 24);
        QImage surface(210, 36, QImage::Format_RGB32);
        surface.setDevicePixelRatio(1.5);
        surface.fill(Qt::magenta);
        piece.render(&surface);
        // ... and smoothly: sampling without smoothing drops every fourth column of the strokes.
        const QImage twin = qb::skinJpeg("heading_title.jpg", 2.0);
        const QImage reference =
            twin.scaled(twin.size() * 3 / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int worst = 0;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                worst = std::max(
                    worst, std::abs(qGray(surface.pixel(x, y)) - qGray(reference.pixel(x, y))));
        QVERIFY2(worst < 48, qPrintable(QString::number(worst)));
    }

    void windowButtonsAreCutFromTheSpriteSheet() {
        WindowPlace place;
        auto form = place.makeForm();
        qb::TImgBtn* buttons[] = {form->ImgBtnMin(), form->ImgBtnClose()};
        const QRect min = onForm(buttons[0]);
        const QRect close = onForm(buttons[1]);
        // In the header's top-right quarter, close right of minimise, neither over the other's
        // middle.
        const QPoint middle = onForm(control(*form, "PanelTop")).center();
        QVERIFY(middle.x() < min.left() && min.center().x() < close.center().x());
        QVERIFY(std::max(min.bottom(), close.bottom()) < middle.y());
        QVERIFY(!min.contains(close.center()) && !close.contains(min.center()));

        // Pic is the one place of the sheet's top row that holds its pixels, PicUp and PicDown
        // the same place one and two rows lower. What the button shows of a row holds ink with
        // no glyph cut at its edges, minimise's left of close's.
        const qb::Bitmap sheet = qb::skinSpriteSheet();
        const int band = sheet.height() / 3;
        const auto ink = [&](int x, int top) {
            for (int y = top; x >= 0 && x < sheet.width() && y < top + band; ++y)
                if (sheet.pixel(x, y) != sheet.transparentColor()) return true;
            return false;
        };
        int leftEnd = -1;
        for (const auto* button : buttons) {
            const qb::Bitmap* rowsOf[] = {&button->Pic(), &button->PicUp(), &button->PicDown()};
            const QList<QPoint> cut = placesOnSheet(sheet, *rowsOf[0]);
            QVERIFY(cut.size() == 1 && cut[0].y() == 0 && band <= button->height());
            const int from = cut[0].x();
            const int to = from + std::min(rowsOf[0]->width(), button->width()) - 1;
            QVERIFY(leftEnd < from);
            leftEnd = to;
            for (int top = 0; top < sheet.height(); top += band) {
                const qb::Bitmap& picture = *rowsOf[top / band];
                QVERIFY(picture.transparent() && picture.height() == band);
                QVERIFY(placesOnSheet(sheet, picture).contains(QPoint(from, top)));
                QVERIFY(!ink(from - 1, top) && !ink(to + 1, top));
                int inked = 0;
                for (int x = from; x <= to; ++x) inked += ink(x, top);
                QVERIFY2(inked > 0, qPrintable(button->objectName()));
            }
        }

        // The sheet's background is the key colour, so the header shows through around the
        // glyphs: on screen each button is its glyph's pixels over the bare header.
        form->show();
        const QImage shot = form->grab().toImage();
        for (auto* button : buttons) button->hide();
        const QImage bare = form->grab().toImage();
        for (auto* button : buttons) button->show();
        for (int b = 0; b < 2; ++b) {
            const qb::Bitmap& pic = buttons[b]->Pic();
            const QRect area = onForm(buttons[b]);
            for (int y = 0; y < area.height(); ++y)
                for (int x = 0; x < area.width(); ++x) {
                    const QPoint at = area.topLeft() + QPoint(x, y);
                    const bool drawn = pic.image().rect().contains(x, y) &&
                                       pic.pixel(x, y) != pic.transparentColor();
                    const QColor expected(drawn ? pic.pixel(x, y) : bare.pixel(at));
                    QVERIFY2(onForm(buttons[1 - b]).contains(at) ||  // where the two meet
                                 QColor(shot.pixel(at)) == expected,
                             qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
                }
        }
        // The close button closes without a question.
        QTest::mouseClick(form->ImgBtnClose(), Qt::LeftButton);
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
        {
            qb::TForm1 form(places, place.ui);
            form.LabeledEdit4()->setText("/books");
        }
        QCOMPARE(place.ui->errors.size(), 1);
        QCOMPARE(place.ui->errors.first(), qb::applicationTitle() + "|Unable to write to " +
                                               place.path("blocker/config.ini") +
                                               ". Not a directory.");
    }

    // Book options are kept when the dialog is confirmed, not only at close; and each of two
    // windows writes only what it changed, so neither undoes the other's choice.
    void twoWindowsKeepEachOthersSettings() {
        WindowPlace place;
        writeText(place.path("config.ini"), "[Options]\nSavePath=/old\nEpubVersion=2\n");
        auto first = place.makeForm();
        auto second = place.makeForm();
        qb::BookOptions chosen;
        chosen.epubVersion = 3;
        place.ui->bookOptions.push_back(chosen);
        QTest::mouseClick(second->OptionsButton(), Qt::LeftButton);
        QVERIFY(readFile(place.path("config.ini")).contains("EpubVersion=3"));
        first->LabeledEdit4()->setText("/new");
        second.reset();
        first.reset();
        const QByteArray saved = readFile(place.path("config.ini"));
        QVERIFY2(saved.contains("SavePath=/new") && saved.contains("EpubVersion=3"), saved);
        QVERIFY(!saved.contains("Paragraphs="));  // nobody changed it
        QVERIFY(place.ui->errors.isEmpty());
    }

    // What cannot be settings (a FIFO, which would hang a read; a file over 1 MiB) is named in
    // a note, the window starts with its defaults, and the file is never written over.
    void unreadableSettingsAreLeftAsTheyAre() {
        WindowPlace place;
        const QString fifo = place.path("fifo.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QByteArray big = "[Options]\nSavePath=/x\n; " + QByteArray(1 << 20, 'x') + "\n";
        const QString large = writeText(place.path("large.ini"), big);
        const std::pair<QString, QString> cases[] = {
            {fifo, "Cannot open file \"" + fifo + "\". Not a regular file. "},
            {large, "File too large \"" + large +
                        "\". It holds more than 1 MiB, the most read "
                        "from one file. "}};
        for (const auto& [file, problem] : cases) {
            place.ui->notes.clear();
            qb::AppPlaces places = place.places();
            places.configFile = QFile::encodeName(file).toStdString();
            {
                qb::TForm1 form(places, place.ui);
                QVERIFY(form.LabeledEdit4()->text().isEmpty());
                form.LabeledEdit4()->setText("/new");
                QTRY_COMPARE(place.ui->notes.size(), 1);
                QCOMPARE(place.ui->notes.first(),
                         problem +
                             "The window starts with its default settings and leaves that "
                             "file as it is.");
            }
            QVERIFY(place.ui->errors.isEmpty());
        }
        QVERIFY(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));
        QCOMPARE(readFile(large), big);
    }

    // The output folder's name is bytes: one that is not UTF-8, or longer than any cut once
    // made, is shown whole and goes back to the file unchanged when other settings are saved.
    void outputFolderKeepsItsBytes() {
        WindowPlace place;
        for (const QByteArray& folder : {QByteArray("/home/ann/B\xfc"
                                                    "cher"),
                                         "/" + QByteArray(3004, 'x')}) {
            writeText(place.path("config.ini"), "[Options]\nSavePath=" + folder + "\n");
            {
                auto form = place.makeForm();
                QCOMPARE(form->LabeledEdit4()->text(), QFile::decodeName(folder));
                qb::BookOptions chosen;
                chosen.titlePage = true;
                place.ui->bookOptions.push_back(chosen);
                QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
            }
            const QByteArray saved = readFile(place.path("config.ini"));
            QVERIFY(saved.contains("\nSavePath=" + folder + "\n"));
            QVERIFY(saved.contains("TitlePage=yes"));
        }
    }

    void placementKeepsTheWindowOnScreen() {
        const QSize window(697, 482);
        const struct {
            QPoint wanted;
            QRect available;
            int aside;  // windows already open
            QPoint placed;
        } rows[] = {
            {{310, 112}, {0, 0, 1920, 1080}, 0, {310, 112}},  // fits: stays
            {{310, 112}, {0, 0, 911, 512}, 0, {214, 30}},     // 1366x768 at scale 1.5
            {{310, 112}, {0, 27, 911, 450}, 0, {214, 27}},    // too tall: at the top, under a panel
            {{-500, -40}, {0, 0, 1024, 768}, 0, {0, 0}},      // left and above the screen
            {{3000, 100}, {1920, 0, 1280, 1024}, 0, {2503, 100}},  // past a second screen's edge
            {{50, 50}, {10, 20, 600, 400}, 0, {10, 20}},  // larger than the area: its start
            {{10, 20}, {0, 0, 1920, 1080}, 1, {42, 52}},  // the second window a step aside
            {{10, 20}, {0, 0, 1920, 1080}, 2, {74, 84}},
            // The first pushed to the far edge: the second goes back, as far as there is room.
            {{310, 112}, {0, 0, 911, 512}, 1, {182, 0}},
            {{50, 50}, {10, 20, 600, 400}, 1, {10, 20}},  // no room at all
        };
        for (const auto& row : rows)
            QCOMPARE(qb::placeWindow(row.wanted, window, row.available, row.aside), row.placed);
    }

    // The window opens where it was, inside the screen; a second one a step aside; and where it
    // was moved to is remembered.
    void windowOpensWhereItWasAndASecondOneBeside() {
        WindowPlace place;
        writeText(place.path("config.ini"), "[Options]\nWindowLeft=5000\nWindowTop=-300\n");
        {
            auto form = place.makeForm();
            const QRect available = form->screen()->availableGeometry();
            QVERIFY(available.contains(form->geometry()));
            QCOMPARE(form->geometry().right(), available.right());
            QCOMPARE(form->y(), available.y());
        }
        // Put back only for this start: not moved, so nothing is written.
        QCOMPARE(readFile(place.path("config.ini")),
                 QByteArray("[Options]\nWindowLeft=5000\nWindowTop=-300\n"));
        writeText(place.path("config.ini"), "[Options]\nWindowLeft=10\nWindowTop=20\n");
        {
            auto first = place.makeForm();
            auto second = place.makeForm();
            QCOMPARE(first->pos(), QPoint(10, 20));
            QCOMPARE(second->pos(), QPoint(42, 52));
            first->move(60, 70);
        }
        const QByteArray saved = readFile(place.path("config.ini"));
        QVERIFY2(saved.contains("WindowLeft=60\nWindowTop=70\n"), saved);
        QCOMPARE(QDir(place.root()).entryList({"*.lock"}, QDir::Hidden | QDir::Files), {});
        auto again = place.makeForm();
        QCOMPARE(again->pos(), QPoint(60, 70));
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
                  "EpubVersion=3\nParagraphStyle=Spaced\nTitlePage=yes\nStylesheet=/books/my.css\n"
                  "WritingMode=vertical\nGeneratedCover=yes\nFont=/fonts/serif.ttc#2\n"
                  "OneBookPerFile=yes\n");
        qb::BookOptions chosen;
        chosen.oneBookPerFile = true;
        chosen.generatedCover = true;
        chosen.fontPath = "/fonts/serif.ttc#2";
        chosen.paragraphs = qb::ParagraphMode::Blocks;
        chosen.chapterMode = qb::ChapterMode::Pattern;
        chosen.chapterPattern = "^Chapter \\d+";
        chosen.tocLabels = qb::TocLabels::FirstLine;
        chosen.language = "de-DE";
        chosen.maxPageBytes = 512 * 1024;
        chosen.charset = "windows-1252";
        chosen.epubVersion = 3;
        chosen.style = qb::BookStyle::Spaced;
        chosen.titlePage = true;
        chosen.stylesheetPath = "/books/my.css";
        chosen.writingMode = qb::WritingMode::Vertical;
        {
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions(), chosen);
            // The dialog opens on what is set; Cancel changes nothing.
            QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
            QCOMPARE(place.ui->bookOptionsShown, QList<qb::BookOptions>({chosen}));
            QCOMPARE(form->bookOptions(), chosen);
            qb::BookOptions other;
            other.chapterMode = qb::ChapterMode::Auto;
            other.language = "auto";
            other.maxPageBytes = 0;
            place.ui->bookOptions.push_back(other);
            QTest::mouseClick(form->OptionsButton(), Qt::LeftButton);
            QCOMPARE(form->bookOptions(), other);
        }
        const QByteArray saved = readFile(place.path("config.ini"));
        for (const char* line :
             {"SavePath=/books", "Paragraphs=lines", "Chapters=auto", "TocLabels=page",
              "Language=auto", "MaxPageKB=0", "Encoding=auto", "EpubVersion=2",
              "ParagraphStyle=plain", "TitlePage=no", "Stylesheet=", "WritingMode=horizontal",
              "GeneratedCover=no", "OneBookPerFile=no"})
            QVERIFY2(saved.contains(line), line);
        {
            auto form = place.makeForm();
            qb::BookOptions other;
            other.chapterMode = qb::ChapterMode::Auto;
            other.language = "auto";
            other.maxPageBytes = 0;
            QCOMPARE(form->bookOptions(), other);
        }

        // Values that cannot be used fall back to each option's default.
        writeText(place.path("config.ini"),
                  "[Options]\nParagraphs=sideways\nChapters=(unclosed\nTocLabels=chapter\n"
                  "Language=system\nMaxPageKB=12abc\nEncoding=no-such-charset\nEpubVersion=4\n"
                  "ParagraphStyle=fancy\nTitlePage=maybe\nWritingMode=vertical\n");
        {
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions(), qb::BookOptions());
        }
        for (const char* cap : {"-4", "99999999", "", "1e3", "65537"}) {
            writeText(place.path("config.ini"), QByteArray("[Options]\nMaxPageKB=") + cap + "\n");
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions().maxPageBytes, qb::kDefaultMaxPageBytes);
        }
        // A pattern keeps a key of its own, so that every word can be one; "off" and "auto"
        // in the Chapters key name those choices, as the window always wrote them.
        for (const char* word : {"off", "auto", "pattern", "OFF"}) {
            qb::BookOptions options;
            options.chapterMode = qb::ChapterMode::Pattern;
            options.chapterPattern = word;
            {
                auto form = place.makeForm();
                form->setBookOptions(options);
            }
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions(), options);
        }
        // Detecting the paragraphs and the text's conventions is remembered too.
        writeText(place.path("config.ini"), "[Options]\nParagraphs=auto\nConventions=auto\n");
        {
            auto form = place.makeForm();
            QCOMPARE(form->bookOptions().paragraphs, qb::ParagraphMode::Auto);
            QVERIFY(form->bookOptions().conventions);
        }
        QVERIFY(place.ui->errors.isEmpty());
    }

    // Alt and each underlined letter of Book options moves to that letter's own control: no
    // letter is shared (a shared one only cycles between its controls) and every label's reaches
    // its field, even where the field shares its row with another control.
    void bookOptionsMnemonicsMoveToTheirFields() {
        qb::BookOptionsDialog dialog{qb::BookOptions()};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const auto letter = [](const QString& text) {
            const qsizetype at = QString(text).replace("&&", "").indexOf(u'&');
            return at < 0 || at + 1 >= text.size() ? QChar() : text.at(at + 1).toLower();
        };
        QMap<QChar, QWidget*> targets;
        const auto add = [&](const QString& text, QWidget* target) {
            const QChar key = letter(text);
            if (key.isNull()) return;
            QVERIFY2(!targets.contains(key), qPrintable("shared: " + text));
            targets.insert(key, target);
        };
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!letter(label->text()).isNull())
                QVERIFY2(label->buddy(), qPrintable(label->text()));
            add(label->text(), label->buddy());
        }
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
            add(button->text(), button);
        QCOMPARE(targets.size(), 17);
        for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
            // The choosers would open a file dialog: their letters count as taken only.
            if (qobject_cast<QPushButton*>(it.value())) continue;
            QTest::keyClick(&dialog, it.key().toLatin1(), Qt::AltModifier);
            QVERIFY2(QApplication::focusWidget() == it.value(), qPrintable(QString(it.key())));
        }
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
        // The command line's words, after the choice's label.
        QCOMPARE(dialog.problem(),
                 QStringLiteral("Chapters: invalid pattern \"^(Chapter\": missing closing "
                                "parenthesis at offset 9"));
        dialog.patternEdit()->setText("auto");  // a pattern is only a pattern
        QVERIFY(ok->isEnabled());
        QCOMPARE(dialog.options().chapterPattern, std::string("auto"));
        dialog.patternEdit()->setText("^Chapter \\d+");
        QVERIFY(ok->isEnabled());
        QCOMPARE(dialog.options().chapterPattern, std::string("^Chapter \\d+"));

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
        // Vertical pages wait for EPUB 3.
        dialog.writingModeBox()->setCurrentIndex(1);
        QVERIFY(!ok->isEnabled());
        dialog.versionBox()->setCurrentIndex(1);
        QVERIFY(ok->isEnabled());
        dialog.paragraphsBox()->setCurrentIndex(1);
        dialog.tocLabelsBox()->setCurrentIndex(1);

        QTemporaryDir folder;
        const QString css = folder.filePath("mine.css");
        dialog.stylesheetEdit()->setText(css);
        QVERIFY(!ok->isEnabled());  // not there yet
        writeText(css, "p { color: #333 }\n");
        dialog.stylesheetEdit()->clear();
        dialog.stylesheetEdit()->setText(css);
        QVERIFY(ok->isEnabled());
        dialog.styleBox()->setCurrentIndex(1);
        dialog.titlePageBox()->setChecked(true);
        dialog.generatedCoverBox()->setChecked(true);
        dialog.oneBookPerFileBox()->setChecked(true);
        dialog.fontEdit()->setText("/fonts/a\tb.ttf");
        QVERIFY(!ok->isEnabled());  // the settings file could not keep it
        dialog.fontEdit()->setText("/fonts/Serif CJK.ttc#2");
        QVERIFY(ok->isEnabled());
        const qb::BookOptions chosen = dialog.options();
        QVERIFY(chosen.style == qb::BookStyle::Indent);
        QVERIFY(chosen.titlePage);
        QCOMPARE(chosen.stylesheetPath, css.toStdString());
        QVERIFY(chosen.generatedCover);
        QVERIFY(chosen.oneBookPerFile);
        QCOMPARE(chosen.fontPath, std::string("/fonts/Serif CJK.ttc#2"));
        QCOMPARE(chosen.maxPageBytes, std::size_t(0));
        QCOMPARE(chosen.epubVersion, 3);
        QVERIFY(chosen.writingMode == qb::WritingMode::Vertical);
        QCOMPARE(chosen.language, std::string("pt-BR"));
        QVERIFY(chosen.paragraphs == qb::ParagraphMode::Blocks);
        QVERIFY(chosen.tocLabels == qb::TocLabels::File);
        // A dialog opened on those choices shows them again.
        QCOMPARE(qb::BookOptionsDialog(chosen).options(), chosen);
    }

    // Two windows at once, each in a work folder of its own: the first closing (and removing
    // its folder) cannot touch the book the second is making.
    void secondProgramGetsAWorkFolderOfItsOwn() {
        WindowPlace place;
        const std::string templateFolder = place.places().workFolder;
        const std::string root = QFile::encodeName(place.path("private")).toStdString();
        auto firstFolder = std::make_unique<qb::WorkFolder>(templateFolder, root);
        qb::WorkFolder secondFolder(templateFolder, root);
        QVERIFY(firstFolder->path() != secondFolder.path());
        const QString firstPath = QString::fromStdString(firstFolder->path());
        const QString second = QString::fromStdString(secondFolder.path());
        QVERIFY(second.startsWith(place.path("private/quirebind-work-")));
        QCOMPARE(readFile(second + "/mimetype"), readFile(place.path("epubfiles/mimetype")));
        QVERIFY(QFile::exists(second + "/META-INF/container.xml"));

        const auto prepare = [&](const std::string& work, const QString& title) {
            auto form = std::make_unique<qb::TForm1>(
                qb::AppPlaces{work, QFile::encodeName(place.path("config.ini")).toStdString(),
                              templateFolder},
                place.ui);
            form->Edit1()->setText(title);
            form->Edit2()->setText("Author");
            form->LabeledEdit4()->setText(place.path("out"));
            return form;
        };
        auto first = prepare(firstFolder->path(), "First");
        first->addSourceFiles({writeText(place.path("src/one.txt"), "one\n")});
        convertAndWait(*first);
        QVERIFY(QFile::exists(firstPath + "/OEBPS/page1.html"));

        auto secondForm = prepare(secondFolder.path(), "Second");
        QStringList pages;
        for (int i = 1; i <= 60; ++i)
            pages << writeText(place.path("src/p%1.txt").arg(i), QByteArray(30000, 'p') + "\n");
        secondForm->addSourceFiles(pages);
        // The first program closes while the second writes its pages.
        connect(secondForm.get(), &qb::TForm1::statusChanged, [&](const QString& text) {
            if (first && text.startsWith("File ")) {
                first.reset();
                firstFolder.reset();
            }
        });
        convertAndWait(*secondForm);
        QVERIFY(!first);
        QVERIFY(!QFile::exists(firstPath));
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
    }

    void applicationTitleFromTheProgramFile() {
        QCOMPARE(qb::applicationTitle("/usr/local/bin/quirebind"), QStringLiteral("Quirebind"));
        QCOMPARE(qb::applicationTitle("C:/Tools/CONVERT.EXE"), QStringLiteral("Convert"));
        QCOMPARE(qb::applicationTitle("/opt/my.tool.bin"), QStringLiteral("My"));
    }

    void placesBesideTheProgramOrPerUser() {
        QTemporaryDir dir;
        const std::string root = QFile::encodeName(dir.path()).toStdString();
        // Built tree: a writable template beside the program keeps the settings there.
        QDir(dir.path()).mkpath("build/epubfiles");
        auto env = [&](const char* name) -> std::string {
            if (std::string(name) == "HOME") return root + "/home";
            if (std::string(name) == "XDG_CONFIG_HOME") return "relative/ignored";
            return "";
        };
        qb::AppPlaces places = qb::resolvePlaces(root + "/build", env, {root + "/build/epubfiles"});
        QCOMPARE(places.templateFolder, root + "/build/epubfiles");
        QCOMPARE(places.configFile, root + "/build/config.ini");

        // Installed copy: no template beside the program, so the per-user settings and the
        // first template that is there. Nothing goes below the cache before a window makes its
        // work folder there.
        QDir(dir.path()).mkpath("share/quirebind/epubfiles");
        QDir(dir.path()).mkpath("bin");
        places = qb::resolvePlaces(root + "/bin", env,
                                   {root + "/missing", root + "/share/quirebind/epubfiles"});
        QCOMPARE(places.templateFolder, root + "/share/quirebind/epubfiles");
        QCOMPARE(places.configFile, root + "/home/.config/quirebind/config.ini");
        QVERIFY(QFileInfo(dir.path() + "/home/.config/quirebind").isDir());
        QVERIFY(!QFile::exists(dir.path() + "/home/.cache"));

        auto xdg = [&](const char* name) -> std::string {
            if (std::string(name) == "XDG_CACHE_HOME") return root + "/cache";
            if (std::string(name) == "XDG_CONFIG_HOME") return root + "/config";
            return "";
        };
        places = qb::resolvePlaces(root + "/bin", xdg, {root + "/share/quirebind/epubfiles"});
        QCOMPARE(places.configFile, root + "/config/quirebind/config.ini");

        // The windows' work folders go to the cache folder.
        QCOMPARE(qb::privateWorkRoot(xdg), root + "/cache/quirebind");
        QCOMPARE(qb::privateWorkRoot(env), root + "/home/.cache/quirebind");
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
