#include "app/skin.h"

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

}  // namespace qb
