// The window tables, checked once for both toolkits: the texts the user reads, the focus chains,
// the fonts, and that every control lies inside what holds it.
#include "ui/table/WindowTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace zel::ui::table;

const Window* const kWindows[] = {&ConversionWindow(), &VersionWindow()};

std::vector<std::string> Names(const std::vector<const Control*>& controls) {
    std::vector<std::string> names;
    for (const Control* c : controls)
        names.push_back(c->name);
    return names;
}

TEST(WindowTable, TitlesSizesAndEveryControlsTextAndPlace) {
    const std::string purpose =
        "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン"
        "（カルトゥーバVersion1.04以降）に変換するプログラムです。";
    struct Row {
        const Window& window;
        const char* name;
        std::string text;
        Rect position;
    };
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(conv.title, "カルトゥーバ　データ変換");
    EXPECT_EQ(version.title, "カルトゥーバ　データ変換のバージョン情報");
    EXPECT_EQ((std::pair{conv.clientWidth, conv.clientHeight}), (std::pair{497, 246}));
    EXPECT_EQ((std::pair{version.clientWidth, version.clientHeight}), (std::pair{351, 187}));
    const std::vector<Row> rows{
        {conv, "imText1", "", {24, 34, 411, 21}},
        {conv, "Command1", "参照", {436, 34, 53, 21}},
        {conv, "imText2", "", {24, 108, 411, 21}},
        {conv, "Command2", "バージョン情報", {12, 214, 107, 25}},
        {conv, "CmdConv", "データ変換", {268, 214, 107, 25}},
        {conv, "CmdClose", "終了", {382, 214, 107, 25}},
        {conv, "Label3_0", "■変換するファイル名を指定して下さい", {12, 16, 229, 15}},
        {conv, "Label4", "↓", {190, 60, 43, 35}},
        {conv, "Label3_2", "■変換後のファイル名を指定して下さい", {12, 90, 211, 15}},
        {conv, "Frame1", "プログラム説明", {6, 146, 483, 57}},
        {conv, "Label2", "これは" + purpose, {12, 22, 469, 31}},
        {version, "cmdOK", "OK", {250, 156, 92, 25}},
        {version, "picIcon", "", {16, 16, 36, 36}},
        {version, "lblTitle", "カルトゥーバ　データ変換", {66, 16, 259, 18}},
        {version, "lblVersion", "バージョン 1.00", {66, 36, 259, 15}},
        {version, "lblDescription", "このプログラムは、" + purpose, {66, 62, 273, 52}},
        {version, "Label1", "Copyright (C) 2000 TALMO Dev. Corp.", {66, 128, 255, 13}},
        // The etched line: grey from (14, 150) to (340, 150) over white two pixels high from x 15.
        {version, "Line1_1", "", {14, 150, 327, 1}},
        {version, "Line1_0", "", {15, 150, 326, 2}},
    };
    for (const Row& row : rows) {
        const Control* c = row.window.find(row.name);
        ASSERT_NE(c, nullptr) << row.name;
        EXPECT_EQ(c->text, row.text) << row.name;
        EXPECT_EQ(c->position, row.position) << row.name;
    }
    EXPECT_EQ(conv.controls.size() + version.controls.size(), rows.size()) << "no control left unchecked";
    for (auto [minor, text] :
         {std::pair{0, "バージョン 1.00"}, {5, "バージョン 1.05"}, {12, "バージョン 1.12"}})
        EXPECT_EQ(VersionText(1, minor), text);
}

TEST(WindowTable, FocusChainsFontsAndButtons) {
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(Names(conv.focusChain()), (std::vector<std::string>{"imText1", "Command1", "imText2",
                                                                  "Command2", "CmdConv", "CmdClose"}));
    EXPECT_EQ(Names(version.focusChain()), (std::vector<std::string>{"cmdOK", "picIcon"}));
    EXPECT_TRUE(conv.defaultButton.empty() && conv.cancelButton.empty()) << "Enter and Esc press nothing";
    EXPECT_EQ(version.defaultButton, "cmdOK");
    EXPECT_EQ(version.cancelButton, "cmdOK");

    const Font gothic9{"ＭＳ Ｐゴシック", 9, false}, arrow{"ＭＳ Ｐゴシック", 18, true};
    for (const Window* w : kWindows) {
        EXPECT_EQ(w->font, gothic9) << w->name;
        for (const Control& c : w->controls)
            EXPECT_EQ(w->fontOf(c), c.name == "Label4" ? arrow : gothic9) << c.name;
    }
    for (const char* field : {"imText1", "imText2"})
        EXPECT_EQ(conv.find(field)->font, gothic9) << "named itself";
}

TEST(WindowTable, NamesAreUniqueFocusOrdersConsecutiveAndControlsInsideWhatHoldsThem) {
    for (const Window* w : kWindows) {
        SCOPED_TRACE(w->name);
        std::set<std::string> names;
        std::vector<int> orders;
        for (const Control& c : w->controls) {
            EXPECT_TRUE(names.insert(c.name).second) << c.name;
            if (c.focusOrder) orders.push_back(c.focusOrder);
            // Labels, frames, pictures and lines never take the focus; fields and buttons always do.
            const bool focusable = c.kind == Kind::TextField || c.kind == Kind::Button ||
                                   c.kind == Kind::PictureButton || c.kind == Kind::PictureBox;
            EXPECT_EQ(c.focusOrder > 0, focusable) << c.name;
            const Control* holder = w->find(c.parent);
            EXPECT_EQ(holder == nullptr, c.parent.empty()) << c.name;
            const Rect inside = holder ? Rect{0, 0, holder->position.width, holder->position.height}
                                       : Rect{0, 0, w->clientWidth, w->clientHeight};
            EXPECT_TRUE(c.position.left >= inside.left && c.position.top >= inside.top &&
                        c.position.right() <= inside.right() && c.position.bottom() <= inside.bottom())
                << c.name;
        }
        std::sort(orders.begin(), orders.end());
        for (std::size_t i = 0; i < orders.size(); ++i)
            EXPECT_EQ(orders[i], static_cast<int>(i + 1));
        for (const std::string& button : {w->defaultButton, w->cancelButton})
            EXPECT_TRUE(button.empty() || w->find(button)->kind == Kind::Button) << button;
    }
    const Window& conv = ConversionWindow();
    EXPECT_EQ(conv.positionInWindow(*conv.find("Label2")), (Rect{18, 168, 469, 31}));
}

} // namespace
