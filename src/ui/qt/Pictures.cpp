#include "ui/qt/Pictures.h"

#include "ui/qt/Fonts.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QSvgRenderer>
#include <QtMath>

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

// A spiral of two and a half turns around `centre`, growing to `radius`.
QPainterPath Spiral(QPointF centre, qreal radius) {
    constexpr qreal turns = 2.5;
    constexpr int steps = 160;
    QPainterPath path;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = static_cast<qreal>(i) / steps;
        const qreal angle = t * turns * 2 * M_PI;
        const qreal r = 0.6 + t * (radius - 0.6);
        const QPointF p(centre.x() + r * qCos(angle), centre.y() - r * qSin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

} // namespace

QPixmap AppIconPixmap(int size, qreal ratio) {
    static const bool registered = (RegisterPictures(), true);
    Q_UNUSED(registered);
    QPixmap pixmap = Transparent(size, size, ratio);
    QSvgRenderer renderer(QStringLiteral(":/zelconv/zelconv.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(AppIconPixmap(size, 1.0));
    return icon;
}

QPixmap ConvertFacePixmap(qreal ratio) {
    QPixmap pixmap = Transparent(kFaceWidth, kFaceHeight, ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QPen pen(QColor(0x1e, 0x4f, 0xd8), 1.6);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawPath(Spiral(QPointF(12.0, 12.0), 8.5));

    QFont font = GothicFont(9);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(25, 0, kFaceWidth - 25, kFaceHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("データ変換"));
    return pixmap;
}

QIcon ConvertFace() {
    QIcon icon;
    icon.addPixmap(ConvertFacePixmap(1.0));
    icon.addPixmap(ConvertFacePixmap(2.0));
    return icon;
}

} // namespace zel::ui
