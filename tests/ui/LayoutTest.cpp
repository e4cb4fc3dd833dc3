// The two Qt windows built from their tables (object names, places, texts, fonts, window flags,
// Tab order), their placement, and the pictures, which the Win32 window shows as well.
#include "ui/ModalScript.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"
#include "ui/table/WindowTable.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>

#include <memory>
#include <tuple>

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
    EXPECT_EQ(window.maximumSize(), window.minimumSize());
    const auto boxes =
        Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ((window.windowFlags() & boxes).toInt(), int(Qt::WindowCloseButtonHint));
    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromStdString(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.parent.empty() ? t.name : c.parent);
        EXPECT_EQ(w->geometry(), QRect(c.position.left, c.position.top, c.position.width, c.position.height));
        EXPECT_EQ(TextOf(w).toStdString(), c.text);
        const table::Font& font = t.fontOf(c);
        EXPECT_EQ(std::tuple(w->font().family().toStdString(), w->font().pointSize(), w->font().bold()),
                  std::tuple(font.face, font.points, font.bold));
        // Every character has a glyph in the font really used: no boxes.
        const QRawFont raw = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
        for (QChar ch : TextOf(w))
            EXPECT_TRUE(ch.isSpace() || raw.supportsCharacter(ch)) << int(ch.unicode());
    }
    // Tab visits exactly the focus chain, in its order, starting at its first control, and goes round.
    window.show();
    const std::vector<const table::Control*> chain = t.focusChain();
    std::string visited, expected;
    for (const table::Control* c : chain)
        expected += c->name + " ";
    expected += chain.front()->name + " ";
    QWidget* w = window.focusWidget();
    for (std::size_t i = 0; w && i <= chain.size(); ++i) {
        visited += w->objectName().toStdString() + " ";
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(visited, expected);
}

TEST(Layout, WindowsAreBuiltFromTheirTablesAndPlaced) {
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv conv(*ws);
    CheckWindow(conv, table::ConversionWindow());
    EXPECT_EQ(conv.findChild<QPushButton*>("CmdConv")->iconSize(), QSize(94, 24)) << "the face unscaled";
    zel::test::WaitForFrame(conv);
    const QPoint offCentre = zel::test::FrameOf(conv).center() - conv.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);

    zel::ui::frmVersion version;
    CheckWindow(version, table::VersionWindow());
    auto* notice = version.findChild<QLabel*>("Label1");
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width()) << "one line";
    // The etched separator: grey over the top row of the white line.
    const QImage shot = version.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 150) * shot.devicePixelRatio())), QColor(128, 128, 128));
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 151) * shot.devicePixelRatio())), QColor(255, 255, 255));
}

TEST(Layout, Win32BitmapsAreTheQtFaceAndTheIconShowsItsArrowOnTransparent) {
    for (auto [ratio, dpi] : {std::pair{1, 96}, {2, 192}}) {
        // A bitmap file of RenderPictures.cpp: 54 bytes of headers, then the rows bottom-up, 32-bit
        // premultiplied, as QImage holds them on a little-endian machine.
        const QImage face = zel::ui::ConvertFacePixmap(ratio).toImage().mirrored().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(face.size(), QSize(94, 24) * ratio);
        QFile bitmap(
            QStringLiteral(ZELCONV_SOURCE_DIR "/src/ui/win32/pictures/convert-face-%1.bmp").arg(dpi));
        ASSERT_TRUE(bitmap.open(QIODevice::ReadOnly));
        EXPECT_TRUE(bitmap.readAll().mid(54) ==
                    QByteArray(reinterpret_cast<const char*>(face.constBits()), face.sizeInBytes()))
            << "run scripts/render-pictures.sh after changing the face";

        const QImage icon = zel::ui::AppIconPixmap(32, ratio).toImage();
        EXPECT_EQ(icon.size(), QSize(32, 32) * ratio);
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
        int arrow = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) {
                const QColor p = icon.pixelColor(x, y);
                arrow += p.alpha() > 128 && p.green() > 120 && p.red() < 120;
            }
        EXPECT_GT(arrow, 128 * ratio * ratio);
    }
}

} // namespace
