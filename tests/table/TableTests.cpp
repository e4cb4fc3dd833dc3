// The window tables against the windows' design: every control's name, text, place and focus order
// as the design gives them, what the tables work out from their rows (the Tab order, places inside a
// frame, the keys Enter and Esc, the fonts) and the batch window's margins. The toolkit tests check
// that each window is built as its table says.
#include "ui/table/WindowTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace zel::ui::table;

const std::string kTitle = "カルトゥーバ　データ変換";
const std::string kPurpose = "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン"
                             "（カルトゥーバVersion1.04以降）に変換するプログラムです。";

// A control as the design gives it: the window, the name, the text (nullptr: not given), the place
// (left, top, width and height at 96 dpi, inside the frame for Label2) and the focus order (0: none).
struct Designed {
    const char* window;
    const char* name;
    const char* text;
    Rect position;
    int focus;
};

const Designed kDesign[] = {
    {"frmConv", "imText1", "", {24, 34, 411, 21}, 1},
    {"frmConv", "Command1", "参照", {436, 34, 53, 21}, 2},
    {"frmConv", "imText2", "", {24, 108, 411, 21}, 3},
    {"frmConv", "Command2", "バージョン情報", {12, 214, 107, 25}, 4},
    {"frmConv", "CmdConv", "データ変換", {268, 214, 107, 25}, 5}, // the picture's words name it
    {"frmConv", "CmdClose", "終了", {382, 214, 107, 25}, 6},
    {"frmConv", "Label3_0", "■変換するファイル名を指定して下さい", {12, 16, 229, 15}, 0},
    {"frmConv", "Label4", "↓", {190, 60, 43, 35}, 0},
    {"frmConv", "Label3_2", "■変換後のファイル名を指定して下さい", {12, 90, 211, 15}, 0},
    {"frmConv", "Frame1", "プログラム説明", {6, 146, 483, 57}, 0},
    {"frmConv", "Label2", nullptr, {12, 22, 469, 31}, 0},
    {"frmVersion", "cmdOK", "OK", {250, 156, 92, 25}, 1},
    {"frmVersion", "picIcon", "", {16, 16, 36, 36}, 2},
    {"frmVersion", "lblTitle", "カルトゥーバ　データ変換", {66, 16, 259, 18}, 0},
    {"frmVersion", "lblVersion", "バージョン 1.00", {66, 36, 259, 15}, 0}, // of version 1.00.0037
    {"frmVersion", "lblDescription", nullptr, {66, 62, 273, 52}, 0},
    {"frmVersion", "Label1", nullptr, {66, 128, 255, 13}, 0},
    {"frmVersion", "Line1_0", "", {15, 150, 326, 2}, 0}, // white, x 15 to 340
    {"frmVersion", "Line1_1", "", {14, 150, 327, 1}, 0}, // grey, x 14 to 340
};

TEST(WindowTable, EveryControlHasTheNameTextPlaceAndFocusOfTheDesign) {
    const std::map<std::string, const Window*> windows{{"frmConv", &ConversionWindow()},
                                                       {"frmVersion", &VersionWindow()}};
    std::map<std::string, std::vector<std::string>> names, chains; // by window: every name, the Tab order
    for (const Designed& d : kDesign) {
        SCOPED_TRACE(d.name);
        const Window& w = *windows.at(d.window);
        const Control* c = w.find(d.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->position, d.position);
        EXPECT_EQ(c->focusOrder, d.focus);
        EXPECT_EQ(c->text, d.text ? d.text : c->text);
        names[d.window].push_back(d.name);
        if (d.focus) chains[d.window].resize(std::max<std::size_t>(chains[d.window].size(), d.focus));
        if (d.focus) chains[d.window][d.focus - 1] = d.name;
    }
    EXPECT_EQ(ConversionWindow().find("Label2")->text, "これは" + kPurpose);
    EXPECT_EQ(VersionWindow().find("lblDescription")->text, "このプログラムは、" + kPurpose);
    for (const auto& [name, w] : windows) {
        std::vector<std::string> listed, chain;
        for (const Control& c : w->controls)
            listed.push_back(c.name);
        for (const Control* c : w->focusChain())
            chain.push_back(c->name);
        std::sort(listed.begin(), listed.end());
        std::sort(names[name].begin(), names[name].end());
        EXPECT_EQ(std::tuple(w->name, listed, chain), std::tuple(name, names[name], chains[name]));
    }
    EXPECT_EQ(std::tuple(ConversionWindow().clientWidth, ConversionWindow().clientHeight,
                         VersionWindow().clientWidth, VersionWindow().clientHeight),
              std::tuple(497, 246, 351, 187));
    EXPECT_EQ(ConversionWindow().title + "|" + VersionWindow().title,
              kTitle + "|" + kTitle + "のバージョン情報");
    // Label2 lies at 12, 22 inside Frame1, which lies at 6, 146.
    EXPECT_EQ(ConversionWindow().positionInWindow(*ConversionWindow().find("Label2")),
              (Rect{18, 168, 469, 31}));
}

TEST(WindowTable, KeysFontsAndTheVersionsText) {
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(conv.find("Label"), nullptr);
    // Enter and Esc press nothing in the conversion window and OK in the version window.
    EXPECT_EQ(conv.defaultButton + conv.cancelButton, "");
    EXPECT_EQ(version.defaultButton + "/" + version.cancelButton, "cmdOK/cmdOK");
    // Every control in the window's ＭＳ Ｐゴシック 9 pt, but the arrow in 18 pt bold.
    for (const Window* w : {&conv, &version})
        for (const Control& c : w->controls)
            EXPECT_EQ(w->fontOf(c),
                      (Font{"ＭＳ Ｐゴシック", c.name == "Label4" ? 18 : 9, c.name == "Label4"}))
                << c.name;
    // The minor version with at least two digits.
    EXPECT_EQ(VersionText(1, 5) + "|" + VersionText(1, 12) + "|" + VersionText(2, 123),
              "バージョン 1.05|バージョン 1.12|バージョン 2.123");
}

// The batch window: the list, the progress bar and the counts line span the same columns, the
// buttons share one row, and an even margin of 8 runs round the whole; nothing overlaps.
TEST(WindowTable, TheBatchWindowKeepsEvenMarginsAndRows) {
    const Window& w = BatchWindow();
    const Rect list = w.find(kFileList)->position;
    EXPECT_EQ(std::tuple(list.left, list.top, w.clientWidth - list.right()), std::tuple(8, 8, 8));
    int lastBottom = 0;
    for (const Control& c : w.controls) {
        SCOPED_TRACE(c.name);
        const Rect& r = c.position;
        EXPECT_GE(r.left, 8);
        EXPECT_LE(r.right(), w.clientWidth - 8);
        if (c.kind != Kind::Button) {
            EXPECT_EQ(std::pair(r.left, r.width), std::pair(list.left, list.width));
            EXPECT_GE(r.top, lastBottom + (lastBottom ? 8 : 0));
            lastBottom = r.bottom();
        } else {
            EXPECT_EQ(std::tuple(r.top, r.bottom(), r.height),
                      std::tuple(lastBottom + 12, w.clientHeight - 10, 25));
        }
    }
    const Rect start = w.find(kStartButton)->position, close = w.find(kBatchCloseButton)->position;
    EXPECT_EQ(std::pair(start.left, w.clientWidth - close.right()), std::pair(8, 8));
}

} // namespace
