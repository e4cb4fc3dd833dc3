// The two Qt windows against their tables (names, places, texts, fonts, window flags, focus
// order), their placement, and the pictures.
#include "ui/ModalScript.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/TableWidgets.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"
#include "ui/table/WindowTable.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QtEndian>
#include <gtest/gtest.h>

#include <memory>

namespace {

namespace table = zel::ui::table;

// The text a control shows: a group frame's title, a picture button's accessible name, any other
// control's text.
QString TextOf(const QWidget* w) {
    if (auto* frame = qobject_cast<const QGroupBox*>(w)) return frame->title();
    if (auto* button = qobject_cast<const QPushButton*>(w); button && !button->icon().isNull())
        return button->text() + button->accessibleName();
    return w->property("text").toString();
}

void CheckWindow(QWidget& window, const table::Window& t) {
    EXPECT_EQ(window.objectName().toStdString(), t.name);
    EXPECT_EQ(window.windowTitle().toStdString(), t.title);
    EXPECT_EQ(window.minimumSize(), QSize(t.clientWidth, t.clientHeight));
    EXPECT_EQ(window.maximumSize(), QSize(t.clientWidth, t.clientHeight));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromStdString(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.parent.empty() ? t.name : c.parent);
        EXPECT_EQ(w->geometry(), QRect(c.position.left, c.position.top, c.position.width, c.position.height));
        EXPECT_EQ(TextOf(w).toStdString(), c.text);
        const table::Font& font = t.fontOf(c);
        EXPECT_EQ(w->font().family().toStdString(), font.face);
        EXPECT_EQ(w->font().pointSize(), font.points);
        EXPECT_EQ(w->font().bold(), font.bold);
        auto* button = qobject_cast<QPushButton*>(w);
        EXPECT_EQ(button && button->isDefault(), c.name == t.defaultButton);
        // Every character has a glyph in the font really used: no boxes.
        const QRawFont raw = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
        for (QChar ch : TextOf(w))
            EXPECT_TRUE(ch.isSpace() || raw.supportsCharacter(ch)) << int(ch.unicode());
    }
    // Tab visits exactly the focus chain, in its order, and starts at its first control.
    window.show();
    std::vector<std::string> visited;
    QWidget* w = window.focusWidget();
    for (std::size_t i = 0; w && i <= t.focusChain().size(); ++i) {
        visited.push_back(w->objectName().toStdString());
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
    }
    std::vector<std::string> expected;
    for (const table::Control* c : t.focusChain())
        expected.push_back(c->name);
    expected.push_back(expected.front());
    EXPECT_EQ(visited, expected);
}

TEST(Layout, WindowsAreBuiltFromTheirTables) {
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv conv(*ws);
    CheckWindow(conv, table::ConversionWindow());
    EXPECT_EQ(conv.findChild<QPushButton*>("CmdConv")->iconSize(), QSize(94, 24)) << "the face unscaled";
    zel::test::WaitForFrame(conv);
    const QRect screen = conv.screen()->availableGeometry();
    EXPECT_LE((zel::test::FrameOf(conv).center() - screen.center()).manhattanLength(), 2);

    zel::ui::frmVersion version;
    CheckWindow(version, table::VersionWindow());
    auto* notice = version.findChild<QLabel*>("Label1");
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width()) << "one line";
    // The etched separator: grey over the top row of the white line.
    const QImage shot = version.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 150) * shot.devicePixelRatio())), QColor(128, 128, 128));
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 151) * shot.devicePixelRatio())), QColor(255, 255, 255));
}

// A bitmap written by RenderPictures.cpp: bottom-up, 32 bits, premultiplied alpha.
QImage ReadBitmap(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    const int width = qFromLittleEndian<qint32>(bytes.constData() + 18);
    const int height = qFromLittleEndian<qint32>(bytes.constData() + 22);
    const int offset = qFromLittleEndian<qint32>(bytes.constData() + 10);
    if (bytes.size() < offset + width * height * 4) return {};
    return QImage(reinterpret_cast<const uchar*>(bytes.constData()) + offset, width, height, width * 4,
                  QImage::Format_ARGB32_Premultiplied)
        .mirrored();
}

TEST(Layout, PicturesAreDrawnOnTransparentAtBothRatiosAndTheWin32BitmapsAreTheSame) {
    // How many pixels of `image` are opaque and match.
    auto count = [](const QImage& image, bool (*match)(QColor)) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y).alpha() > 128 && match(image.pixelColor(x, y));
        return n;
    };
    for (auto [r, dpi] : {std::pair{1.0, 96}, {2.0, 192}}) {
        const QImage face = zel::ui::ConvertFacePixmap(r).toImage(),
                     icon = zel::ui::AppIconPixmap(32, r).toImage();
        EXPECT_EQ(face.size(), QSize(94, 24) * r);
        EXPECT_EQ(icon.size(), QSize(32, 32) * r);
        EXPECT_EQ(face.pixelColor(0, 0).alpha() + icon.pixelColor(0, 0).alpha(), 0);
        EXPECT_GT(count(face, [](QColor p) { return p.blue() > 150 && p.red() < 100; }), 20 * r * r)
            << "spiral";
        EXPECT_GT(count(face, [](QColor p) { return p.lightness() < 60; }), 60 * r * r) << "words";
        EXPECT_GT(count(icon, [](QColor p) { return p.green() > 120 && p.red() < 120; }), 128 * r * r)
            << "arrow";
        const QImage bitmap = ReadBitmap(
            QStringLiteral(ZELCONV_SOURCE_DIR "/src/ui/win32/pictures/convert-face-%1.bmp").arg(dpi));
        EXPECT_TRUE(bitmap == face.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << "run scripts/render-pictures.sh after changing the face";
    }
}

} // namespace
