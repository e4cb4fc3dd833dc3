// What the window tables work out from their rows (the Tab order, places inside a frame, the keys
// Enter and Esc, the fonts), the windows' names and what the version window is filled with. The
// toolkit tests check that each window is built as its table says.
#include "ui/table/WindowTable.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace zel::ui::table;

std::vector<std::string> NamesOf(const std::vector<const Control*>& controls) {
    std::vector<std::string> names;
    for (const Control* c : controls)
        names.push_back(c->name);
    return names;
}

TEST(WindowTable, NamesTabOrderFramesKeysAndFonts) {
    const Window& conv = ConversionWindow();
    const Window& version = VersionWindow();
    EXPECT_EQ(conv.name + "/" + version.name, "frmConv/frmVersion");
    EXPECT_EQ(NamesOf(conv.focusChain()), (std::vector<std::string>{"imText1", "Command1", "imText2",
                                                                    "Command2", "CmdConv", "CmdClose"}));
    EXPECT_EQ(NamesOf(version.focusChain()), (std::vector<std::string>{"cmdOK", "picIcon"}));
    // Label2 lies at 12, 22 inside Frame1, which lies at 6, 146.
    ASSERT_NE(conv.find("Label2"), nullptr);
    EXPECT_EQ(conv.positionInWindow(*conv.find("Label2")), (Rect{18, 168, 469, 31}));
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
}

// The version window's title and labels are filled from the program's identity (version 1.00.0037).
TEST(WindowTable, VersionWindowIsFilledFromTheProgramsIdentity) {
    const std::string title = "カルトゥーバ　データ変換";
    const Window& version = VersionWindow();
    EXPECT_EQ(ConversionWindow().title + "|" + version.title, title + "|" + title + "のバージョン情報");
    const std::pair<const char*, std::string> labels[] = {
        {"lblTitle", title},
        {"lblVersion", "バージョン 1.00"},
        {"lblDescription", "このプログラムは、カルトゥーバ Version1.04より前のシステムで作成したファイルを、"
                           "新しいバージョン（カルトゥーバVersion1.04以降）に変換するプログラムです。"},
    };
    for (const auto& [name, text] : labels) {
        ASSERT_NE(version.find(name), nullptr) << name;
        EXPECT_EQ(version.find(name)->text, text) << name;
    }
    // The minor version with at least two digits.
    EXPECT_EQ(VersionText(1, 5) + "|" + VersionText(1, 12) + "|" + VersionText(2, 123),
              "バージョン 1.05|バージョン 1.12|バージョン 2.123");
}

} // namespace
