// The window tables against the windows' design, and what they work out from their rows (Tab order,
// places inside a frame, Enter and Esc, fonts). The toolkit tests check each window against its table.
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

// A control as the design gives it: the name, the text (nullptr: not given), the place (left, top,
// width and height at 96 dpi, inside the frame for Label2) and the focus order (0: none).
struct Designed {
    const char* name;
    const char* text;
    Rect position;
    int focus;
};

// clang-format off
const std::map<std::string, std::vector<Designed>> kDesign{
    {"frmConv", {{"imText1", "", {24, 34, 411, 21}, 1}, {"Command1", "参照", {436, 34, 53, 21}, 2},
                 {"imText2", "", {24, 108, 411, 21}, 3}, {"Command2", "バージョン情報", {12, 214, 107, 25}, 4},
                 {"CmdConv", "データ変換", {268, 214, 107, 25}, 5}, // the picture's words name it
                 {"CmdClose", "終了", {382, 214, 107, 25}, 6}, {"Label4", "↓", {190, 60, 43, 35}, 0},
                 {"Label3_0", "■変換するファイル名を指定して下さい", {12, 16, 229, 15}, 0},
                 {"Label3_2", "■変換後のファイル名を指定して下さい", {12, 90, 211, 15}, 0},
                 {"Frame1", "プログラム説明", {6, 146, 483, 57}, 0}, {"Label2", nullptr, {12, 22, 469, 31}, 0}}},
    {"frmVersion", {{"cmdOK", "OK", {250, 156, 92, 25}, 1}, {"picIcon", "", {16, 16, 36, 36}, 2},
                    {"lblTitle", "カルトゥーバ　データ変換", {66, 16, 259, 18}, 0},
                    {"lblVersion", "バージョン 1.00", {66, 36, 259, 15}, 0}, // of version 1.00.0037
                    {"lblDescription", nullptr, {66, 62, 273, 52}, 0}, {"Label1", nullptr, {66, 128, 255, 13}, 0},
                    {"Line1_0", "", {15, 150, 326, 2}, 0},   // white, x 15 to 340
                    {"Line1_1", "", {14, 150, 327, 1}, 0}}}}; // grey, x 14 to 340
// clang-format on

// Also Enter and Esc, the fonts (ＭＳ Ｐゴシック 9 pt, the arrow 18 pt bold), a two-digit minor version.
TEST(WindowTable, EveryControlHasTheNameTextPlaceFocusAndFontOfTheDesign) {
    const Window &conv = ConversionWindow(), &version = VersionWindow();
    const std::map<std::string, const Window*> windows{{"frmConv", &conv}, {"frmVersion", &version}};
    for (const auto& [name, w] : windows) {
        std::vector<std::string> designed, listed, chain(kDesign.at(name).size()), focused;
        for (const Designed& d : kDesign.at(name)) {
            SCOPED_TRACE(d.name);
            const Control* c = w->find(d.name);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(std::tuple(c->position, c->focusOrder, c->text),
                      std::tuple(d.position, d.focus, d.text ? d.text : c->text));
            designed.push_back(d.name);
            if (d.focus) chain[d.focus - 1] = d.name;
        }
        for (const Control& c : w->controls) {
            listed.push_back(c.name);
            EXPECT_EQ(w->fontOf(c),
                      (Font{"ＭＳ Ｐゴシック", c.name == "Label4" ? 18 : 9, c.name == "Label4"}))
                << c.name;
        }
        for (const Control* c : w->focusChain())
            focused.push_back(c->name);
        std::erase(chain, "");
        std::sort(listed.begin(), listed.end());
        std::sort(designed.begin(), designed.end());
        EXPECT_EQ(std::tuple(w->name, listed, focused), std::tuple(name, designed, chain));
    }
    EXPECT_EQ(conv.find("Label2")->text, "これは" + kPurpose);
    EXPECT_EQ(version.find("lblDescription")->text, "このプログラムは、" + kPurpose);
    EXPECT_EQ(std::tuple(conv.clientWidth, conv.clientHeight, version.clientWidth, version.clientHeight),
              std::tuple(497, 246, 351, 187));
    EXPECT_EQ(conv.title + "|" + version.title, kTitle + "|" + kTitle + "のバージョン情報");
    // Label2 lies at 12, 22 inside Frame1, which lies at 6, 146.
    EXPECT_EQ(conv.positionInWindow(*conv.find("Label2")), (Rect{18, 168, 469, 31}));
    EXPECT_EQ(conv.find("Label"), nullptr);
    EXPECT_EQ(conv.defaultButton + conv.cancelButton + "|" + version.defaultButton + "/" +
                  version.cancelButton,
              "|cmdOK/cmdOK");
    EXPECT_EQ(VersionText(1, 5) + "|" + VersionText(1, 12) + "|" + VersionText(2, 123),
              "バージョン 1.05|バージョン 1.12|バージョン 2.123");
}

// The batch window: its rows span the same columns, an even margin of 8 round the whole, no overlaps.
TEST(WindowTable, TheBatchWindowKeepsEvenMarginsAndRows) {
    const Window& w = BatchWindow();
    EXPECT_TRUE(w.title.starts_with("カルトゥーバ　")) << "every window's title names the program";
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
    // Tab goes from the list through the buttons from left to right, one step each.
    std::vector<std::pair<int, int>> chain, expected; // focus order, left edge
    for (const Control& c : w.controls)
        if (c.kind == Kind::List || c.kind == Kind::Button)
            expected.emplace_back(static_cast<int>(expected.size()) + 1, c.position.left);
    for (const Control* c : w.focusChain())
        chain.emplace_back(c->focusOrder, c->position.left);
    EXPECT_TRUE(chain == expected && std::ranges::is_sorted(chain, {}, &std::pair<int, int>::second));
}

} // namespace
