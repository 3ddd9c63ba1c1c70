#include "app/skin.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include "controls/jpeg_image.h"

// The resources live in a static library; the program must register them itself.
static void registerSkin() {
    Q_INIT_RESOURCE(skin);
}

namespace qb {

namespace {

QString resourcePath(const char* name) {
    static const bool registered = (registerSkin(), true);
    (void)registered;
    return QStringLiteral(":/skin/") + QLatin1String(name);
}

}  // namespace

QImage skinJpeg(const char* name) {
    // The screen the window opens on is not known yet; the highest ratio of all screens keeps
    // words sharp wherever the window goes.
    return skinJpeg(name, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QImage skinJpeg(const char* name, qreal pixelRatio) {
    if (pixelRatio > 1.0) {
        QString twin = resourcePath(name);
        twin.insert(twin.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
        if (QFile::exists(twin)) {
            QImage image = loadJpeg(twin);
            image.setDevicePixelRatio(2.0);
            return image;
        }
    }
    return loadJpeg(resourcePath(name));
}

PngImage skinPng(const char* name) {
    return PngImage::fromFile(resourcePath(name));
}

Bitmap skinSpriteSheet() {
    return Bitmap(skinPng("window_buttons.png").toImage());
}

QIcon programIcon() {
    QIcon icon;
    for (const char* name : {"quirebind_16.png", "quirebind_32.png", "quirebind_48.png"})
        icon.addPixmap(QPixmap::fromImage(skinPng(name).toImage()));
    return icon;
}

QPalette skinPalette() {
    // The skin's pictures are light; the controls between them must be too, whatever the
    // desktop's theme says: the classic light button face, white fields, black text.
    const QColor face(0xF0, 0xF0, 0xF0);
    const QColor text(Qt::black);
    const QColor grey(0x6D, 0x6D, 0x6D);
    QPalette palette(face);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        palette.setColor(group, QPalette::Window, face);
        palette.setColor(group, QPalette::Button, face);
        palette.setColor(group, QPalette::Base, disabled ? face : QColor(Qt::white));
        palette.setColor(group, QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF5));
        palette.setColor(group, QPalette::WindowText, disabled ? grey : text);
        palette.setColor(group, QPalette::Text, disabled ? grey : text);
        palette.setColor(group, QPalette::ButtonText, disabled ? grey : text);
        palette.setColor(group, QPalette::PlaceholderText, grey);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Light, Qt::white);
        palette.setColor(group, QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
        palette.setColor(group, QPalette::Mid, QColor(0xA0, 0xA0, 0xA0));
        palette.setColor(group, QPalette::Dark, QColor(0x80, 0x80, 0x80));
        palette.setColor(group, QPalette::Shadow, QColor(0x40, 0x40, 0x40));
        palette.setColor(
            group, QPalette::Highlight,
            group == QPalette::Active ? QColor(0x00, 0x78, 0xD7) : QColor(0xCC, 0xE4, 0xF7));
        palette.setColor(group, QPalette::HighlightedText,
                         group == QPalette::Active ? QColor(Qt::white) : text);
        palette.setColor(group, QPalette::Link, QColor(0x1A, 0x4E, 0x8A));
        palette.setColor(group, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
        palette.setColor(group, QPalette::ToolTipText, text);
    }
    return palette;
}

}  // namespace qb
