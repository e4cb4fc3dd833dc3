// What the keys, the buttons and drops do in the Win32 conversion window: Enter and Esc nothing,
// Tab in the table's order, browse, convert a 1.01 file through its message boxes, the real message
// boxes and open-file dialog, the version window, and a file dropped or named on the command line.
#include "platform/Utf16.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "ui/table/WindowTable.h"
#include "ui/win32/frmConv.h"
#include "win32/Win32Script.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

namespace win32 = zel::ui::win32;
using zel::platform::Narrow;
using zel::platform::Widen;
using zel::test::ModalScript;
using zel::test::Pump;
using zel::test::TextOf;
using zel::test::Utf8TextOf;

struct ConvWindow : ::testing::Test {
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        window.show();
        Pump(window);
    }
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    win32::frmConv window{*ws};
    HWND source = window.control("imText1");
    HWND target = window.control("imText2");
    void Click(const char* button) { SendMessageW(window.control(button), BM_CLICK, 0, 0); }
    void SetNames(const std::string& from, const std::string& to) {
        SetWindowTextW(source, Widen(from).c_str());
        SetWindowTextW(target, Widen(to).c_str());
    }
};

TEST_F(ConvWindow, EnterAndEscPressNoButtonAndTabMovesInTheTablesOrder) {
    // Every button would show itself: Command1 the open-file dialog, Command2 the version window,
    // CmdConv a message box (the fields are empty), CmdClose by closing the window.
    int shown = 0;
    window.setFileChooser([&](HWND) {
        ++shown;
        return std::nullopt;
    });
    window.messageBoxes().setShowFunction([&](HWND, const std::wstring&, const std::wstring&, UINT) {
        ++shown;
        return IDOK;
    });
    ModalScript none;
    const std::vector<const zel::ui::table::Control*> chain = window.table().focusChain();
    ASSERT_EQ(GetFocus(), window.control(chain.front()->name));
    for (std::size_t i = 0; i < chain.size(); ++i) {
        SCOPED_TRACE(chain[i]->name);
        EXPECT_EQ(GetFocus(), window.control(chain[i]->name));
        for (WPARAM key : {VK_RETURN, VK_ESCAPE})
            zel::test::PressKey(window, key);
        EXPECT_TRUE(window.isOpen());
        EXPECT_EQ(shown, 0);
        zel::test::PressKey(window, VK_TAB);
    }
    EXPECT_EQ(GetFocus(), window.control(chain.front()->name)) << "Tab goes round";
}

TEST_F(ConvWindow, ChosenNameFillsBothFieldsAndCancelKeepsTypedNames) {
    for (const auto& chosen :
         {std::optional<std::wstring>(), std::optional<std::wstring>(L"C:\\データ\\現場.ZEL")}) {
        SetNames("C:\\typed\\a.zel", "C:\\typed\\b");
        window.setFileChooser([&](HWND owner) {
            EXPECT_EQ(owner, window.handle());
            return chosen;
        });
        ModalScript none;
        Click("Command1");
        EXPECT_EQ(TextOf(source), chosen.value_or(L"C:\\typed\\a.zel"));
        EXPECT_EQ(TextOf(target), chosen.value_or(L"C:\\typed\\b"));
    }
}

TEST_F(ConvWindow, ConvertsA101FileThroughItsMessageBoxes) {
    zel::test::TempDir dir;
    const std::string name = dir.file("現場.zel"), backup = dir.file("現場.bak"), none = dir.file("none.zel");
    const std::vector<std::uint8_t> original = zel::test::SampleFile(zel::FileVersion::V101);
    zel::test::WriteBytes(name, original);
    zel::test::WriteBytes(dir.file("copy.zel"), {1});

    // One box as the workflow asks for it: the text as MessageBoxW shows it, its flags, the text
    // of the target field at that moment, and the answer.
    struct Box {
        UINT type;
        std::string text;
        std::string targetShown;
        int answer;
    };
    auto press = [&](const std::string& from, const std::string& to, std::deque<Box> boxes) {
        SetNames(from, to);
        window.messageBoxes().setShowFunction(
            [&](HWND owner, const std::wstring& text, const std::wstring& title, UINT type) {
                if (boxes.empty()) {
                    ADD_FAILURE() << "unexpected box " << Narrow(text);
                    return IDOK;
                }
                const Box box = boxes.front();
                boxes.pop_front();
                EXPECT_EQ(owner, window.handle());
                EXPECT_EQ(title, L"カルトゥーバ　データ変換");
                EXPECT_EQ(type & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK), box.type);
                EXPECT_EQ(Narrow(text), box.text);
                EXPECT_EQ(Utf8TextOf(target), box.targetShown) << "the field shows the settled name";
                return box.answer;
            });
        Click("CmdConv");
        EXPECT_TRUE(boxes.empty()) << "a message box was not shown";
    };
    const UINT question = MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON1;
    const std::string overwrite = "データが存在します。上書きしてもよろしいですか？";

    press(name, dir.file("copy"), {{question, overwrite, dir.file("copy.zel"), IDNO}});
    EXPECT_EQ(zel::test::ListFolder(dir.path()), (std::vector<std::string>{"copy.zel", "現場.zel"}));

    // Each carriage return of a message is a line break (CR LF) in its box.
    const std::string converted =
        "指定したファイルは最新バージョンに変換されました。\r\n\r\n"
        "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\r\n";
    press(name, name,
          {{question, overwrite, name, IDYES}, {MB_OK | MB_ICONINFORMATION, converted + backup, name, IDOK}});
    EXPECT_EQ(zel::test::ReadBytes(backup), original);
    const std::vector<std::uint8_t> upgraded = zel::test::ReadBytes(name),
                                    current = zel::test::SampleFile(zel::FileVersion::V102);
    ASSERT_GE(upgraded.size(), 64u);
    EXPECT_TRUE(std::equal(current.begin(), current.begin() + 64, upgraded.begin())) << "format 1.02";
    EXPECT_EQ(window.state().backupFileName, backup);

    press(none, dir.file("new"),
          {{MB_OK | MB_ICONWARNING, "フォルダが見つかりませんでした\r\nファイル名：" + none,
            dir.file("new.zel"), IDOK}});
}

TEST_F(ConvWindow, RealMessageBoxShowsTitleIconButtonsLinesAndYesAsDefault) {
    win32::MessageBoxes boxes(window.handle());
    ModalScript script({[&](HWND box) {
        EXPECT_EQ(TextOf(box), L"カルトゥーバ　データ変換");
        EXPECT_EQ(GetWindow(box, GW_OWNER), window.handle());
        std::wstring texts;
        bool information = false;
        for (HWND label : zel::test::ChildrenOfClass(box, L"Static")) {
            texts += TextOf(label);
            information |= reinterpret_cast<HICON>(SendMessageW(label, STM_GETICON, 0, 0)) ==
                           LoadIconW(nullptr, IDI_INFORMATION);
        }
        EXPECT_NE(texts.find(L"一行目\r\n二行目"), std::wstring::npos);
        EXPECT_TRUE(information);
        EXPECT_TRUE(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK));
        EXPECT_EQ(GetFocus(), GetDlgItem(box, IDYES));
        EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(box, IDYES), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
        // Enter answers with the default.
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
        MSG message;
        while (IsWindowVisible(box) && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(box, &message)) DispatchMessageW(&message);
    }});
    EXPECT_TRUE(boxes.AskYesNo("一行目\r二行目"));
    EXPECT_EQ(script.pending(), 0u);
}

TEST_F(ConvWindow, OpenDialogHasItsTitleAndFilterAndReturnsTheFullName) {
    zel::test::TempDir dir;
    const std::string chosen = dir.file("現場.zel");
    zel::test::WriteBytes(chosen, {1});
    ModalScript script({[&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), L"カルトゥーバファイルを開く");
        std::wstring filters;
        for (HWND box : zel::test::ChildrenOfClass(dialog, L"ComboBox"))
            filters += TextOf(box);
        EXPECT_NE(filters.find(L"カルトゥーバファイル (*.ZEL)"), std::wstring::npos);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 0x410 /* chx1: read-only */)));
        // The name typed into the dialog's name field, then Open.
        HWND nameField = GetDlgItem(dialog, 0x47C /* cmb13 */);
        if (!nameField) nameField = GetDlgItem(dialog, 0x480 /* edt1 */);
        ASSERT_NE(nameField, nullptr);
        SetWindowTextW(nameField, Widen(chosen).c_str());
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    }});
    const std::optional<std::wstring> name = win32::frmConv::ChooseWithDialog(window.handle());
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(Narrow(name.value_or(L"none")), chosen);
}

TEST_F(ConvWindow, VersionWindowOpensModallyAndEnterEscOkAndCloseBoxCloseIt) {
    const std::function<void(HWND, win32::TableWindow&)> closeWays[] = {
        [](HWND, win32::TableWindow& v) { zel::test::PressKey(v, VK_RETURN); },
        [](HWND, win32::TableWindow& v) { zel::test::PressKey(v, VK_ESCAPE); },
        [](HWND, win32::TableWindow& v) { SendMessageW(v.control("cmdOK"), BM_CLICK, 0, 0); },
        [](HWND version, win32::TableWindow&) { SendMessageW(version, WM_CLOSE, 0, 0); },
    };
    for (const auto& close : closeWays) {
        ModalScript script({[&](HWND version) {
            EXPECT_EQ(GetWindow(version, GW_OWNER), window.handle());
            EXPECT_FALSE(IsWindowEnabled(window.handle())) << "modal";
            EXPECT_EQ(TextOf(version), L"カルトゥーバ　データ変換のバージョン情報");
            RECT outer, inner;
            GetWindowRect(window.handle(), &outer);
            GetWindowRect(version, &inner);
            EXPECT_LE(std::abs((outer.left + outer.right) - (inner.left + inner.right)) +
                          std::abs((outer.top + outer.bottom) - (inner.top + inner.bottom)),
                      2)
                << "centred over the conversion window";
            // The version window is the one TableWindow whose handle this is.
            auto* self = reinterpret_cast<win32::TableWindow*>(GetWindowLongPtrW(version, GWLP_USERDATA));
            ASSERT_NE(self, nullptr);
            EXPECT_EQ(Utf8TextOf(self->control("lblVersion")), "バージョン 1.00");
            EXPECT_EQ(GetFocus(), self->control("cmdOK"));
            close(version, *self);
        }});
        Click("Command2"); // returns when the version window has closed
        EXPECT_EQ(script.pending(), 0u) << "way " << &close - closeWays;
        EXPECT_TRUE(IsWindowEnabled(window.handle()));
    }
}

// A drop of these files, as Explorer delivers it.
HDROP DropOf(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(drop + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(ConvWindow, DroppedFileOrFileNamedOnTheCommandLineFillsBothFields) {
    zel::test::TempDir dir;
    const std::wstring file = Widen(dir.file("現場.ZEL")), folder = Widen(dir.path().string());
    zel::test::WriteBytes(dir.file("現場.ZEL"), {1});
    const std::wstring typed = L"C:\\typed\\a.zel";
    struct Drop {
        std::vector<std::wstring> names;
        std::wstring filled; // what both fields hold afterwards
    };
    for (const Drop& drop : {Drop{{file}, file}, Drop{{file, file}, typed}, Drop{{folder}, typed}}) {
        SetNames(Narrow(typed), Narrow(typed));
        SendMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(drop.names)), 0);
        EXPECT_EQ(TextOf(source), drop.filled) << drop.names.size();
        EXPECT_EQ(TextOf(target), drop.filled);
    }
    // Started with a file name (relative to the current folder), or with none.
    SetNames("", "");
    window.fillFromCommandLine(L"zelconv.exe");
    EXPECT_EQ(TextOf(source) + TextOf(target), L"");
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(folder.c_str());
    window.fillFromCommandLine(L"\"C:\\Program Files\\ZelConv\\zelconv.exe\" 現場.ZEL");
    SetCurrentDirectoryW(current);
    EXPECT_EQ(TextOf(source), file);
    EXPECT_EQ(TextOf(target), file);
}

} // namespace
