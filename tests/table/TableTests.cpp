// The window tables, checked once for both toolkits, whose tests check only that they apply them.
#include "ui/table/WindowTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace zel::ui::table;

TEST(WindowTable, TitlesSizesAndEveryControlsKindTextPlaceFocusAndFont) {
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(
        std::tuple(conv.name, conv.title, conv.clientWidth, conv.clientHeight, conv.border, conv.placement),
        std::tuple("frmConv", "カルトゥーバ　データ変換", 497, 246, Border::FixedSingle,
                   Placement::CentreOfScreen));
    EXPECT_EQ(std::tuple(version.name, version.title, version.clientWidth, version.clientHeight,
                         version.border, version.placement),
              std::tuple("frmVersion", "カルトゥーバ　データ変換のバージョン情報", 351, 187,
                         Border::FixedDialog, Placement::CentreOfOwner));

    const std::string purpose =
        "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン"
        "（カルトゥーバVersion1.04以降）に変換するプログラムです。";
    const std::tuple<const Window&, const char*, Kind, std::string, Rect, int> rows[] = {
        {conv, "imText1", Kind::TextField, "", {24, 34, 411, 21}, 1},
        {conv, "Command1", Kind::Button, "参照", {436, 34, 53, 21}, 2},
        {conv, "imText2", Kind::TextField, "", {24, 108, 411, 21}, 3},
        {conv, "Command2", Kind::Button, "バージョン情報", {12, 214, 107, 25}, 4},
        {conv, "CmdConv", Kind::PictureButton, "データ変換", {268, 214, 107, 25}, 5},
        {conv, "CmdClose", Kind::Button, "終了", {382, 214, 107, 25}, 6},
        {conv, "Label3_0", Kind::Label, "■変換するファイル名を指定して下さい", {12, 16, 229, 15}, 0},
        {conv, "Label4", Kind::Label, "↓", {190, 60, 43, 35}, 0},
        {conv, "Label3_2", Kind::Label, "■変換後のファイル名を指定して下さい", {12, 90, 211, 15}, 0},
        {conv, "Frame1", Kind::Frame, "プログラム説明", {6, 146, 483, 57}, 0},
        {conv, "Label2", Kind::Label, "これは" + purpose, {12, 22, 469, 31}, 0}, // inside Frame1
        {version, "cmdOK", Kind::Button, "OK", {250, 156, 92, 25}, 1},
        {version, "picIcon", Kind::PictureBox, "", {16, 16, 36, 36}, 2},
        {version, "lblTitle", Kind::Label, "カルトゥーバ　データ変換", {66, 16, 259, 18}, 0},
        {version, "lblVersion", Kind::Label, "バージョン 1.00", {66, 36, 259, 15}, 0},
        {version, "lblDescription", Kind::Label, "このプログラムは、" + purpose, {66, 62, 273, 52}, 0},
        {version, "Label1", Kind::Label, "Copyright (C) 2000 TALMO Dev. Corp.", {66, 128, 255, 13}, 0},
        {version, "Line1_1", Kind::Line, "", {14, 150, 327, 1}, 0},
        {version, "Line1_0", Kind::Line, "", {15, 150, 326, 2}, 0},
    };
    const Font gothic9{"ＭＳ Ｐゴシック", 9, false}, arrow{"ＭＳ Ｐゴシック", 18, true};
    for (const auto& [window, name, kind, text, position, focusOrder] : rows) {
        const Control* c = window.find(name);
        ASSERT_NE(c, nullptr) << name;
        EXPECT_EQ(std::tuple(c->kind, c->text, c->position, c->focusOrder),
                  std::tuple(kind, text, position, focusOrder))
            << name;
        EXPECT_EQ(window.fontOf(*c), c->name == "Label4" ? arrow : gothic9) << name;
    }
    EXPECT_EQ(conv.controls.size() + version.controls.size(), std::size(rows)) << "no control left unchecked";
    EXPECT_EQ(conv.positionInWindow(*conv.find("Label2")), (Rect{18, 168, 469, 31}));
    EXPECT_EQ(conv.focusChain().front()->name + conv.focusChain().back()->name +
                  version.focusChain().front()->name,
              "imText1CmdClosecmdOK");
    EXPECT_EQ(conv.find("CmdConv")->picture, Picture::ConvertFace);
    EXPECT_EQ(version.find("picIcon")->picture, Picture::AppIcon);
    // Enter and Esc press nothing in the conversion window and OK in the version window.
    EXPECT_EQ(conv.defaultButton + conv.cancelButton, "");
    EXPECT_EQ(version.defaultButton + "/" + version.cancelButton, "cmdOK/cmdOK");
    EXPECT_EQ(VersionText(1, 5) + VersionText(1, 12), "バージョン 1.05バージョン 1.12");
}

} // namespace
