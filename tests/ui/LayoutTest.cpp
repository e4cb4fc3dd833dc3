// What the two windows show: names, places, texts, fonts, window flags, focus order, pictures.
#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"

#include <QGroupBox>
#include <QLabel>
#include <QRawFont>
#include <QScreen>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The text a control shows: a group frame's title, any other control's text.
QString TextOf(const QWidget* w) {
    return w->property(qobject_cast<const QGroupBox*>(w) ? "title" : "text").toString();
}

struct Control {
    const char* name;
    QRect geometry; // in its parent: the window, or Frame1 for Label2
    const char* text;
};

const char* const kPurpose =
    "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン（カルトゥーバ"
    "Version1.04以降）に変換するプログラムです。";

void CheckWindow(QWidget& window, const char* title, QSize size, const std::vector<Control>& controls,
                 const std::vector<const char*>& tabOrder) {
    EXPECT_EQ(window.windowTitle().toStdString(), title);
    EXPECT_EQ(window.minimumSize(), size);
    EXPECT_EQ(window.maximumSize(), size);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.geometry);
        EXPECT_EQ(TextOf(w).toStdString(), c.text);
        // Every character has a glyph in the font really used: no boxes.
        const QRawFont font = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
        for (QChar ch : TextOf(w))
            EXPECT_TRUE(ch.isSpace() || font.supportsCharacter(ch)) << int(ch.unicode());
    }
    // Tab visits exactly these, in this order, and starts at the first.
    window.show();
    QWidget* w = window.findChild<QWidget*>(tabOrder.front());
    EXPECT_EQ(window.focusWidget(), w);
    for (std::size_t i = 0; i <= tabOrder.size(); ++i) {
        EXPECT_EQ(w->objectName().toStdString(), tabOrder[i % tabOrder.size()]);
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
    }
}

TEST(Layout, ConversionWindow) {
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window(*ws);
    const std::string label2 = std::string("これは") + kPurpose;
    CheckWindow(window, "カルトゥーバ　データ変換", {497, 246},
                {{"imText1", {24, 34, 411, 21}, ""},
                 {"Command1", {436, 34, 53, 21}, "参照"},
                 {"imText2", {24, 108, 411, 21}, ""},
                 {"Command2", {12, 214, 107, 25}, "バージョン情報"},
                 {"CmdConv", {268, 214, 107, 25}, ""},
                 {"CmdClose", {382, 214, 107, 25}, "終了"},
                 {"Label3_0", {12, 16, 229, 15}, "■変換するファイル名を指定して下さい"},
                 {"Label4", {190, 60, 43, 35}, "↓"},
                 {"Label3_2", {12, 90, 211, 15}, "■変換後のファイル名を指定して下さい"},
                 {"Frame1", {6, 146, 483, 57}, "プログラム説明"},
                 {"Label2", {12, 22, 469, 31}, label2.c_str()}},
                {"imText1", "Command1", "imText2", "Command2", "CmdConv", "CmdClose"});
    EXPECT_EQ(window.findChild<QWidget*>("Label2")->parentWidget()->objectName(), "Frame1");
    for (auto [name, points, bold] :
         {std::tuple{"imText1", 9, false}, {"imText2", 9, false}, {"Label4", 18, true}}) {
        const QFont font = window.findChild<QWidget*>(name)->font();
        EXPECT_EQ(font.family(), "ＭＳ Ｐゴシック");
        EXPECT_EQ(font.pointSize(), points);
        EXPECT_EQ(font.bold(), bold);
    }
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE((window.frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

TEST(Layout, VersionWindow) {
    zel::ui::frmVersion window;
    const std::string description = std::string("このプログラムは、") + kPurpose;
    CheckWindow(window, "カルトゥーバ　データ変換のバージョン情報", {351, 187},
                {{"cmdOK", {250, 156, 92, 25}, "OK"},
                 {"picIcon", {16, 16, 36, 36}, ""},
                 {"lblTitle", {66, 16, 259, 18}, "カルトゥーバ　データ変換"},
                 {"lblVersion", {66, 36, 259, 15}, "バージョン 1.00"},
                 {"lblDescription", {66, 62, 273, 52}, description.c_str()},
                 {"Label1", {66, 128, 255, 13}, "Copyright (C) 2000 TALMO Dev. Corp."},
                 {"Line1_0", {15, 150, 326, 2}, ""},
                 {"Line1_1", {14, 150, 327, 1}, ""}},
                {"cmdOK", "picIcon"});
    auto* notice = window.findChild<QLabel*>("Label1");
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width()) << "one line";
    // The etched separator: grey over the top row of the white line.
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 150) * shot.devicePixelRatio())), QColor(128, 128, 128));
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 151) * shot.devicePixelRatio())), QColor(255, 255, 255));
    // The minor version always with two digits.
    for (auto [minor, text] :
         {std::pair{0, "バージョン 1.00"}, {5, "バージョン 1.05"}, {12, "バージョン 1.12"}})
        EXPECT_EQ(zel::ui::VersionText(1, minor).toStdString(), text);
}

TEST(Layout, PicturesAreDrawnOnTransparentAtBothRatios) {
    // How many pixels of `image` are opaque and match.
    auto count = [](const QImage& image, bool (*match)(QColor)) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y).alpha() > 128 && match(image.pixelColor(x, y));
        return n;
    };
    for (qreal r : {1.0, 2.0}) {
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
    }
}

} // namespace
