// Writes the convert button's face, as the Qt window draws it, at 100 % and 200 % into the 32-bit
// bitmaps that the Win32 window shows, so that both windows show the same picture:
//
//   zelconv-render-pictures <folder>   writes <folder>/convert-face-96.bmp and convert-face-192.bmp
//
// scripts/render-pictures.sh builds and runs it after ui/pictures/convert-face.svg has changed; the
// window tests fail while the committed bitmaps differ from the drawing.
#include "ui/qt/Pictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <cstdio>

namespace {

// A bottom-up 32-bit BI_RGB bitmap file with premultiplied alpha in its fourth byte, which
// LoadImage keeps and AlphaBlend and image lists expect.
QByteArray BitmapFile(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int rowBytes = image.width() * 4;
    const quint32 headersSize = 14 + 40;
    QByteArray file(static_cast<qsizetype>(headersSize) + rowBytes * image.height(), '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, file.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, file.data() + at); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<quint32>(file.size()));
    put32(10, headersSize);
    put32(14, 40);
    put32(18, static_cast<quint32>(image.width()));
    put32(22, static_cast<quint32>(image.height()));
    put16(26, 1);  // planes
    put16(28, 32); // bits per pixel; compression 0 = BI_RGB
    put32(34, static_cast<quint32>(rowBytes * image.height()));
    for (int y = 0; y < image.height(); ++y) {
        char* row = file.data() + headersSize + static_cast<qsizetype>(image.height() - 1 - y) * rowBytes;
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            qToLittleEndian<quint32>(pixels[x], row + x * 4);
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (auto [ratio, dpi] : {std::pair{1.0, 96}, {2.0, 192}}) {
        QFile out(folder.filePath(QStringLiteral("convert-face-%1.bmp").arg(dpi)));
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(BitmapFile(zel::ui::ConvertFacePixmap(ratio).toImage())) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.fileName()));
            return 1;
        }
    }
    return 0;
}
