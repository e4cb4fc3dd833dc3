// The pictures are drawn, at the stated sizes, sharp at 100 % and 200 %.
#include "Pictures.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

struct Counts {
    int opaque = 0, blue = 0, green = 0, dark = 0;
};

Counts Count(const QImage& image) {
    Counts c;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.alpha() < 128) continue;
            ++c.opaque;
            if (p.blue() > 150 && p.red() < 100) ++c.blue;
            if (p.green() > 120 && p.red() < 120 && p.blue() < 120) ++c.green;
            if (p.lightness() < 60) ++c.dark;
        }
    return c;
}

TEST(Pictures, ConvertFaceAtBothRatios) {
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const QPixmap face = zel::ui::ConvertFacePixmap(ratio);
        EXPECT_EQ(face.deviceIndependentSize().toSize(), QSize(94, 24));
        EXPECT_EQ(face.size(), QSize(94, 24) * ratio);
        const QImage image = face.toImage();
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << "background is transparent";
        const Counts c = Count(image);
        EXPECT_GT(c.blue, 20 * ratio * ratio) << "the spiral";
        EXPECT_GT(c.dark, 60 * ratio * ratio) << "the words";
        EXPECT_LT(c.opaque, image.width() * image.height() / 2);
    }
}

TEST(Pictures, AppIconIsAGreenArrowOnTransparent) {
    for (int size : {16, 32}) {
        for (qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(std::to_string(size) + " at " + std::to_string(ratio));
            const QImage image = zel::ui::AppIconPixmap(size, ratio).toImage();
            EXPECT_EQ(image.size(), QSize(size, size) * ratio);
            EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
            const Counts c = Count(image);
            EXPECT_GT(c.green, image.width() * image.height() / 8);
        }
    }
    EXPECT_FALSE(zel::ui::AppIcon().pixmap(32).isNull());
}

} // namespace
