#include "ui/qt/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

// The pictures live in a static library, whose resources must be registered by hand.
static void RegisterPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace zel::ui {

namespace {

// The face is drawn at this size in logical pixels, whatever the font size of the screen.
constexpr int kFaceWidth = 94;
constexpr int kFaceHeight = 24;

QPixmap Transparent(int width, int height, qreal ratio) {
    QPixmap pixmap(qRound(width * ratio), qRound(height * ratio));
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// The picture of the SVG file `resource`, drawn at `width` × `height` logical pixels for the pixel
// ratio `ratio`.
QPixmap Rendered(const char* resource, int width, int height, qreal ratio) {
    static const bool registered = (RegisterPictures(), true);
    Q_UNUSED(registered);
    QPixmap pixmap = Transparent(width, height, ratio);
    QSvgRenderer renderer(QString::fromLatin1(resource));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, width, height));
    return pixmap;
}

} // namespace

QPixmap AppIconPixmap(int size, qreal ratio) {
    return Rendered(":/zelconv/zelconv.svg", size, size, ratio);
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(AppIconPixmap(size, 1.0));
    return icon;
}

QPixmap ConvertFacePixmap(qreal ratio) {
    return Rendered(":/zelconv/convert-face.svg", kFaceWidth, kFaceHeight, ratio);
}

QIcon ConvertFace() {
    QIcon icon;
    icon.addPixmap(ConvertFacePixmap(1.0));
    icon.addPixmap(ConvertFacePixmap(2.0));
    return icon;
}

} // namespace zel::ui
