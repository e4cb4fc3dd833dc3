// The Win32 windows under wine: built from their tables; what keys, buttons and drops do in them.
#include "platform/Utf16.h"
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "ui/win32/frmBatch.h"
#include "ui/win32/frmConv.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <utility>

namespace {

namespace table = zel::ui::table;
namespace win32 = zel::ui::win32;
using namespace zel::platform; // Narrow, Widen
using namespace zel::test;     // SampleFile, TempDir, ReadBytes, WriteBytes, ListFolder
using enum zel::FileVersion;

std::wstring TextOf(HWND window) {
    std::array<wchar_t, 1024> text{};
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Presses `key` in the control that has the focus and handles the messages as the program's loop.
void PressKey(win32::TableWindow& window, WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        if (!window.handleDialogMessage(message)) DispatchMessageW(&message);
}

// Handles the messages as the program's loop does until `done` holds (at most 60 s).
bool PumpUntil(const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + 60000;
    while (!done()) {
        if (GetTickCount64() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&message);
    }
    return true;
}

BOOL CALLBACK FindModal(HWND window, LPARAM found) {
    const HWND owner = GetWindow(window, GW_OWNER);
    if (IsWindowVisible(window) && owner && !IsWindowEnabled(owner)) *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

// Hands the modal window `action` shows to `step`; any other, or one left open, fails and is closed.
void WithModal(const std::function<void()>& action, std::function<void(HWND)> step = nullptr) {
    static std::function<void(HWND)> pending;
    static HWND answered;
    pending = std::move(step);
    answered = nullptr;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND modal = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &FindModal, reinterpret_cast<LPARAM>(&modal));
        if (!modal || modal == std::exchange(answered, modal)) return;
        if (pending) std::exchange(pending, nullptr)(modal);
        EXPECT_FALSE(IsWindowVisible(modal)) << "an unexpected window, or one left open";
        if (IsWindowVisible(modal)) SendMessageW(modal, WM_CLOSE, 0, 0);
    });
    action();
    KillTimer(nullptr, timer);
    EXPECT_FALSE(std::exchange(pending, nullptr)) << "the expected window was not shown";
}

struct Win32ConvWindow : ::testing::Test {
    void SetUp() override { window.show(); }
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    win32::frmConv window{*ws};
    HWND source = window.control("imText1"), target = window.control("imText2");
    void Click(const char* button) { SendMessageW(window.control(button), BM_CLICK, 0, 0); }
    void Type(const std::wstring& from, const std::wstring& to) {
        SetWindowTextW(source, from.c_str());
        SetWindowTextW(target, to.c_str());
    }
    std::wstring Names() const { return TextOf(source) + L"|" + TextOf(target); }
};

// The table applied at 144 dpi, where a length at 96 dpi is one and a half times as long, rounded as
// MulDiv rounds: title, client area, and every control's class, text, place and font.
void CheckWindow(win32::TableWindow& window) {
    const table::Window& t = window.table();
    window.applyDpi(144);
    auto at144 = [](int length) { return (3L * length + 1) / 2; };
    auto edges = [](const RECT& r) { return std::array{r.left, r.top, r.right, r.bottom}; };
    RECT r;
    GetClientRect(window.handle(), &r);
    EXPECT_EQ(edges(r), (std::array{0L, 0L, at144(t.clientWidth), at144(t.clientHeight)}));
    EXPECT_EQ(TextOf(window.handle()), Widen(t.title));
    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        HWND control = window.control(c.name);
        wchar_t name[8] = L"";
        GetClassNameW(control, name, 8);
        using K = table::Kind; // the class of each kind, in the order of the kinds
        const wchar_t* classes[] = {L"Edit",   L"Button", L"Button",  L"Static", L"Button",
                                    L"Static", L"Static", L"SysList", L"msctls_"};
        EXPECT_STREQ(name, classes[static_cast<int>(c.kind)]);
        EXPECT_EQ(TextOf(control), Widen(c.text));
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&r), 2);
        const table::Rect p = t.positionInWindow(c);
        EXPECT_EQ(edges(r), (std::array{at144(p.left), at144(p.top), at144(p.right()), at144(p.bottom())}));
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
        const UINT getPicture = c.kind == K::PictureBox ? STM_GETICON : BM_GETIMAGE;
        EXPECT_TRUE(c.picture == table::Picture::None || SendMessageW(control, getPicture, IMAGE_ICON, 0));
        const table::Font& f = t.fontOf(c);
        if (c.kind == K::PictureBox) continue; // a picture has no font
        EXPECT_EQ(std::tuple(std::wstring(font.lfFaceName), font.lfHeight, font.lfWeight),
                  std::tuple(Widen(f.face), -2L * f.points, f.bold ? FW_BOLD : FW_NORMAL));
    }
}

TEST_F(Win32ConvWindow, WindowsAreBuiltFromTheirTablesTakeDroppedFilesAndKeys) {
    // Enter presses the focused button only, Esc nothing; Tab follows the table.
    std::string pressed;
    for (const table::Control* c : window.table().focusChain())
        window.onClick(c->name, [&pressed, name = c->name] { pressed += name; });
    for (const table::Control* c : window.table().focusChain()) {
        EXPECT_EQ(GetFocus(), window.control(c->name)) << c->name;
        for (WPARAM key : {VK_RETURN, VK_ESCAPE, VK_TAB})
            PressKey(window, key);
        EXPECT_EQ(std::exchange(pressed, ""), c->kind == table::Kind::TextField ? "" : c->name);
    }
    CheckWindow(window);
    win32::frmVersion version(window.handle());
    CheckWindow(version);
    win32::frmBatch batch(nullptr, {});
    CheckWindow(batch);
    EXPECT_TRUE(GetWindowLongPtrW(window.handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(Win32ConvWindow, ChosenOpenedDroppedOrCommandLineFileFillsBothFields) {
    TempDir dir;
    const std::wstring file = Widen(dir.file("現場.ZEL")), folder = Widen(dir.path().string());
    WriteBytes(dir.file("現場.ZEL"), {1});
    const std::wstring both = file + L"|" + file, typed = L"C:\\a.zel|C:\\b";
    for (const auto& chosen : {std::optional<std::wstring>(), std::optional<std::wstring>(file)}) {
        Type(L"C:\\a.zel", L"C:\\b");
        window.setFileChooser([&](HWND owner) { return owner == window.handle() ? chosen : std::nullopt; });
        Click("Command1");
        EXPECT_EQ(Names(), chosen ? both : typed);
    }
    // Dropped as Explorer drops files: one file fills both fields; two files or a folder open the
    // batch window over this one, listing the file once.
    for (const std::wstring& names : {file + L'\0', file + L'\0' + file + L'\0', folder + L'\0'}) {
        Type(L"C:\\a.zel", L"C:\\b");
        const bool one = names == file + L'\0';
        auto* drop = static_cast<DROPFILES*>(GlobalAlloc(GPTR, sizeof(DROPFILES) + 2 * (names.size() + 1)));
        *drop = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
        std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
        WithModal([&] { SendMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); },
                  one ? std::function<void(HWND)>() : [&](HWND batch) {
                      HWND list = FindWindowExW(batch, nullptr, WC_LISTVIEWW, nullptr);
                      EXPECT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) > 0; }));
                      EXPECT_EQ(ListView_GetItemCount(list), 1);
                      SendMessageW(batch, WM_CLOSE, 0, 0);
                  });
        EXPECT_EQ(Names(), one ? both : typed);
    }
    // The open dialog: its title, its filter, no read-only box; the full name chosen returned.
    std::optional<std::wstring> opened;
    WithModal([&] { opened = win32::frmConv::ChooseWithDialog(window.handle()); },
              [&](HWND dialog) {
                  EXPECT_EQ(TextOf(dialog), L"カルトゥーバファイルを開く");
                  EXPECT_EQ(TextOf(GetDlgItem(dialog, 0x470 /* cmb1: file types */)),
                            L"カルトゥーバファイル (*.ZEL)");
                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 0x410 /* chx1: read-only */)));
                  SetWindowTextW(GetDlgItem(dialog, 0x47C /* cmb13: the name */), file.c_str());
                  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
              });
    EXPECT_EQ(opened.value_or(L"none"), file);
    // Named on the command line, relative to the current folder, or not named.
    window.fillFromCommandLine(L"zelconv.exe");
    EXPECT_EQ(Names(), typed);
    const std::filesystem::path current = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    window.fillFromCommandLine(L"\"C:\\Program Files\\ZelConv\\zelconv.exe\" 現場.ZEL");
    for (const auto& [line, shown] :
         {std::pair(L"z 現場.ZEL 現場.zel", "frmConv"), std::pair(L"z 現場.ZEL a", "frmBatch"),
          std::pair(L"z .", "frmBatch")}) // one file named twice; several; a folder
        EXPECT_EQ(win32::WindowForCommandLine(*ws, line)->table().name, shown);
    std::filesystem::current_path(current);
    EXPECT_EQ(Names(), both);
}

TEST_F(Win32ConvWindow, ConvertsA101FileThroughItsMessageBoxesAndOpensTheVersionWindow) {
    TempDir dir;
    const std::string name = dir.file("現場.zel"), none = dir.file("none.zel");
    WriteBytes(name, SampleFile(V101));
    WriteBytes(dir.file("copy.zel"), {1});
    // Each box: buttons, icon and default; its text as MessageBoxW shows it; the target field meanwhile.
    // What the files become is the workflow's (ConversionTest); a wrong answer would show another box.
    using Box = std::tuple<UINT, std::string, std::string, int>;
    auto convert = [&](const std::string& from, const std::string& to, const std::vector<Box>& boxes) {
        Type(Widen(from), Widen(to));
        std::size_t shown = 0;
        window.messageBoxes().setShowFunction([&](HWND owner, const std::wstring& text,
                                                  const std::wstring& title, UINT type) {
            const auto [expectedType, expectedText, targetShown, answer] =
                shown < boxes.size() ? boxes[shown] : Box{};
            ++shown;
            EXPECT_EQ(std::tuple(owner, title, type & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK), Narrow(text)),
                      std::tuple(window.handle(), std::wstring(L"カルトゥーバ　データ変換"), expectedType,
                                 expectedText));
            EXPECT_EQ(Narrow(TextOf(target)), targetShown) << "the field shows the settled name";
            return answer;
        });
        Click("CmdConv");
        EXPECT_EQ(shown, boxes.size());
    };
    const UINT question = MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON1;
    const std::string overwrite = "データが存在します。上書きしてもよろしいですか？";
    convert(name, dir.file("copy"), {{question, overwrite, dir.file("copy.zel"), IDNO}});
    // Each carriage return of a message is a line break (CR LF) in its box.
    const std::string converted =
        "指定したファイルは最新バージョンに変換されました。\r\n\r\n"
        "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\r\n";
    convert(name, name,
            {{question, overwrite, name, IDYES},
             {MB_OK | MB_ICONINFORMATION, converted + dir.file("現場.bak"), name, IDOK}});
    convert(none, dir.file("new"), // a warning, with the field settled before it
            {{MB_OK | MB_ICONWARNING, "フォルダが見つかりませんでした\r\nファイル名：" + none,
              dir.file("new.zel"), IDOK}});
    // The version window opens modally, centred over this one; Enter, Esc, OK and the close box close it.
    SetWindowPos(window.handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER); // off centre
    for (int way = 0; way < 4; ++way) {
        WithModal([&] { Click("Command2"); },
                  [&](HWND version) {
                      auto* self =
                          reinterpret_cast<win32::TableWindow*>(GetWindowLongPtrW(version, GWLP_USERDATA));
                      ASSERT_TRUE(self && self->table().name == "frmVersion");
                      EXPECT_EQ(GetWindow(version, GW_OWNER), window.handle());
                      RECT a, b; // centred over the conversion window
                      GetWindowRect(window.handle(), &a);
                      GetWindowRect(version, &b);
                      EXPECT_NEAR(a.left + a.right, b.left + b.right, 2);
                      EXPECT_NEAR(a.top + a.bottom, b.top + b.bottom, 2);
                      if (way < 2) PressKey(*self, way == 0 ? VK_RETURN : VK_ESCAPE);
                      if (way == 2) SendMessageW(self->control("cmdOK"), BM_CLICK, 0, 0);
                      if (way == 3) SendMessageW(version, WM_CLOSE, 0, 0); // as the close box does
                  });
        EXPECT_TRUE(IsWindowEnabled(window.handle())) << way;
    }
}

// A folder listed and converted after one question; rows drawn and opened; resized; reported; undone.
TEST(Win32BatchWindow, ListsConvertsAndReports) {
    TempDir dir;
    // The file, its content, its format and its result as the list shows them.
    const std::vector<std::tuple<std::string, std::vector<std::uint8_t>, std::string, std::string>> rows = {
        {"a.zel", SampleFile(V101), "1.01", "変換しました"},
        {"e.zel", {1, 2, 3}, "データではありません", "変換しません："},
        {"f.zel", SampleFile(V101, {.failingAnchor = 1}), "1.01", "失敗："},
        {"g.zel", SampleFile(V102), "最新", "変換不要"},
    };
    for (const auto& [name, bytes, format, result] : rows)
        WriteBytes(dir.file(name), bytes);
    std::vector<std::string> questions; // each box's text, after its icon: "!" a warning, "i" else
    win32::frmBatch batch(nullptr, {dir.file("")});
    batch.messageBoxes().setShowFunction([&](HWND, const std::wstring& text, const std::wstring&, UINT type) {
        questions.push_back(((type & MB_ICONMASK) == MB_ICONWARNING ? "!" : "i") + Narrow(text));
        return IDYES;
    });
    batch.show();
    auto cell = [&batch](std::size_t row, int column) {
        std::array<wchar_t, 256> text{};
        ListView_GetItemText(batch.control("lvFiles"), static_cast<int>(row), column, text.data(), 256);
        return Narrow(text.data());
    };
    auto idle = [&batch] { return !batch.listing() && !batch.running(); };
    EXPECT_EQ(TextOf(batch.control("lblCounts")), L"読み込み中…");
    ASSERT_TRUE(PumpUntil(idle));
    SendMessageW(batch.control("cmdStart"), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil(idle));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [name, bytes, format, result] = rows[i];
        EXPECT_EQ(std::tuple(cell(i, 0), cell(i, 1), cell(i, 2).starts_with(result)),
                  std::tuple(name, format, true));
    }
    EXPECT_EQ(TextOf(batch.control("lblCounts")), L"変換 1 件　変換不要 1 件　変換しない 1 件　失敗 1 件");
    // Enter opens the selected row's message, the file's full name first; a file not converted warns.
    HWND list = batch.control("lvFiles");
    SetFocus(list);
    for (int row : {0, 1, 2}) {
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        PressKey(batch, VK_RETURN);
    }
    ASSERT_EQ(questions.size(), 4u);
    EXPECT_EQ(questions[0].substr(0, questions[0].find('\r')),
              "i2 個のファイルをその場で最新形式に変換します。");
    EXPECT_EQ(std::tuple(questions[1].substr(0, questions[1].find('\r')), questions[2][0], questions[3][0]),
              std::tuple("i" + dir.file("a.zel"), '!', '!'));
    // The result column takes the width a wider window gives.
    RECT frame;
    GetWindowRect(batch.handle(), &frame);
    const int before = ListView_GetColumnWidth(list, 2);
    SetWindowPos(batch.handle(), nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), before + 100);
    batch.setReportChooser([](HWND, const std::wstring& suggested) { return suggested; });
    SendMessageW(batch.control("cmdSave"), BM_CLICK, 0, 0);
    const std::string saved = ListFolder(dir.path()).back(); // in the dropped folder
    const auto report = ReadBytes(dir.file(saved));          // a heading and a line per file
    EXPECT_EQ(std::pair(saved.substr(0, saved.size() - 19), std::count(report.begin(), report.end(), '\n')),
              std::pair(std::string("変換結果_"), std::ptrdiff_t{5}));
    // 元に戻す, asked once: a.zel comes back (the bytes: BatchTest); f.zel, never written, is its backup.
    ASSERT_TRUE(IsWindowEnabled(batch.control("cmdUndo")));
    SendMessageW(batch.control("cmdUndo"), BM_CLICK, 0, 0);
    ASSERT_TRUE(
        PumpUntil([&] { return idle() && TextOf(batch.control("lblCounts")).starts_with(L"戻した"); }));
    EXPECT_EQ(std::tuple(questions.back(), cell(0, 2).substr(0, 18), TextOf(batch.control("lblCounts"))),
              std::tuple(std::string("i1 個のファイルを変換前に戻します。よろしいですか？"),
                         std::string("戻しました："),
                         std::wstring(L"戻した 1 件　戻す必要なし 1 件　戻さない 2 件　失敗 0 件")));
    PressKey(batch, VK_ESCAPE);
    EXPECT_FALSE(batch.isOpen());
}

// With 1,000 files the window answers within 200 ms while it lists, converts and lists anew.
TEST(Win32BatchWindow, AnswersWithin200MsWhileItListsAndConverts1000Files) {
    TempDir dir;
    const auto v101 = SampleFile(V101), current = SampleFile(V102);
    for (int i = 0; i < 1000; ++i)
        WriteBytes(dir.file(std::to_string(i) + ".zel"), i % 25 == 0 ? v101 : current);
    win32::frmBatch batch(nullptr, {dir.file("")});
    batch.messageBoxes().setShowFunction(
        [](HWND, const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    batch.show();
    std::atomic<bool> done{false};
    std::atomic<int> asked{0}, late{0};
    std::thread prober([&, window = batch.handle()] {
        for (DWORD_PTR result; !done; Sleep(10)) {
            ++asked;
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 200, &result)) ++late;
        }
    });
    auto idle = [&batch] { return !batch.listing() && !batch.running(); };
    EXPECT_TRUE(PumpUntil(idle));
    for (int run = 0; run < 2; ++run) {
        SendMessageW(batch.control("cmdStart"), BM_CLICK, 0, 0);
        EXPECT_TRUE(PumpUntil(idle));
    }
    done = true;
    prober.join();
    EXPECT_EQ(ListView_GetItemCount(batch.control("lvFiles")), 1000);
    EXPECT_EQ(TextOf(batch.control("lblCounts")), L"変換 0 件　変換不要 1000 件　変換しない 0 件　失敗 0 件");
    EXPECT_EQ(late.load(), 0) << "of " << asked.load();
}

} // namespace
