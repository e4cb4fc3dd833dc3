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

TEST(WindowTable, TitlesAndTextsAreTheProgramsOwn) {
    const std::string purpose =
        "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン"
        "（カルトゥーバVersion1.04以降）に変換するプログラムです。";
    struct Text {
        const Window& window;
        const char* name;
        std::string text;
    };
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(conv.title, "カルトゥーバ　データ変換");
    EXPECT_EQ(version.title, "カルトゥーバ　データ変換のバージョン情報");
    for (const Text& t : std::vector<Text>{
             {conv, "imText1", ""},
             {conv, "Command1", "参照"},
             {conv, "imText2", ""},
             {conv, "Command2", "バージョン情報"},
             {conv, "CmdConv", "データ変換"},
             {conv, "CmdClose", "終了"},
             {conv, "Label3_0", "■変換するファイル名を指定して下さい"},
             {conv, "Label4", "↓"},
             {conv, "Label3_2", "■変換後のファイル名を指定して下さい"},
             {conv, "Frame1", "プログラム説明"},
             {conv, "Label2", "これは" + purpose},
             {version, "cmdOK", "OK"},
             {version, "lblTitle", "カルトゥーバ　データ変換"},
             {version, "lblVersion", "バージョン 1.00"},
             {version, "lblDescription", "このプログラムは、" + purpose},
         }) {
        const Control* c = t.window.find(t.name);
        ASSERT_NE(c, nullptr) << t.name;
        EXPECT_EQ(c->text, t.text) << t.name;
    }
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
