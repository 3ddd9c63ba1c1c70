// quirebind: the window that turns plain-text files into one EPUB book.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

#include "app/app_places.h"
#include "app/qt_window_ui.h"
#include "app/tform1.h"
#include "convert/conversion_run.h"
#include "convert/work_folder.h"
#include "platform/build_info.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace {

// The window as it looks on screen, its rounded corners left transparent, for the README.
bool saveScreenshot(qb::TForm1& form, const QString& file) {
    QImage shot = form.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QImage outside(shot.size(), QImage::Format_ARGB32);
    outside.fill(Qt::transparent);
    {
        QPainter painter(&outside);
        painter.setClipRegion(QRegion(shot.rect()).subtracted(form.mask()));
        painter.fillRect(shot.rect(), Qt::white);
    }
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (qAlpha(outside.pixel(x, y)) != 0) shot.setPixel(x, y, qRgba(0, 0, 0, 0));
    return shot.save(file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString title = qb::applicationTitle();
    auto ui = std::make_shared<qb::QtWindowUi>();

    // "quirebind FILE..." starts with those text files (or folders of them) listed, as a file
    // manager's "Open with" asks. "--screenshot FILE [text files...]" shows the window with
    // those files listed, saves a picture of it and quits: how the README's screenshot is made.
    QStringList args = QApplication::arguments();
    QString screenshot;
    if (args.size() >= 3 && args.at(1) == QLatin1String("--screenshot")) screenshot = args.at(2);
    QStringList files = args.mid(1);
    // "--" ends the options, for a file whose name starts with "-".
    if (!files.isEmpty() && files.first() == QLatin1String("--")) files.removeFirst();

    try {
        qb::AppPlaces places = qb::currentPlaces();
        if (places.templateFolder.empty()) {
            std::string text =
                "The book template (epubfiles/mimetype) is in none of these folders:";
            for (const std::string& folder :
                 qb::templateFolderCandidates(qb::programFolder(), qb::kConfiguredTemplateFolder))
                text += "\n" + folder;
            throw qb::Error(text);
        }
        // Every window has a work folder of its own, so that two of them never pack, or
        // delete, each other's pages.
        const qb::WorkFolder work(places.templateFolder, qb::privateWorkRoot());
        places.workFolder = work.path();
        qb::TForm1 form(places, ui);
        ui->setOwner(&form);
        form.show();
        if (screenshot.isEmpty() && !files.isEmpty()) form.addCommandLineFiles(files);
        if (!screenshot.isEmpty()) {
            form.addSourceFiles(args.mid(3));
            QTimer::singleShot(500, &form, [&] {
                if (!saveScreenshot(form, screenshot))
                    std::fprintf(stderr, "quirebind: cannot write %s\n", qPrintable(screenshot));
                form.close();
            });
        }
        return app.exec();
    } catch (const std::exception& e) {
        ui->setOwner(nullptr);  // the window is gone
        ui->showError(title, QString::fromStdString(qb::errorBoxText(e.what())));
        return 1;
    }
}
