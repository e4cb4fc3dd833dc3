// The Win32 windows against their tables at two DPIs (class, text, place, font and picture of every
// control, the window's title, size and border), their placement, and the pictures.
#include "platform/Utf16.h"
#include "ui/table/WindowTable.h"
#include "ui/win32/Pictures.h"
#include "ui/win32/frmConv.h"
#include "win32/Win32Script.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace {

namespace table = zel::ui::table;
namespace win32 = zel::ui::win32;
using zel::platform::Widen;
using zel::test::TextOf;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

const wchar_t* ExpectedClass(table::Kind kind) {
    switch (kind) {
    case table::Kind::TextField:
        return L"Edit";
    case table::Kind::Button:
    case table::Kind::PictureButton:
    case table::Kind::Frame:
        return L"Button";
    default:
        return L"Static";
    }
}

// Left, top, right and bottom, comparable.
using Edges = std::array<long, 4>;

Edges EdgesOf(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

Edges Scaled(const table::Rect& r, UINT dpi) {
    return {win32::Scale(r.left, dpi), win32::Scale(r.top, dpi), win32::Scale(r.right(), dpi),
            win32::Scale(r.bottom(), dpi)};
}

void CheckWindow(win32::TableWindow& window, UINT dpi) {
    const table::Window& t = window.table();
    SCOPED_TRACE(t.name + " at " + std::to_string(dpi) + " dpi");
    window.applyDpi(dpi);
    HWND w = window.handle();
    EXPECT_EQ(TextOf(w), Widen(t.title));
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(EdgesOf(client),
              (Edges{0, 0, win32::Scale(t.clientWidth, dpi), win32::Scale(t.clientHeight, dpi)}));
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU);
    EXPECT_NE(SendMessageW(w, WM_GETICON, ICON_BIG, 0), 0);

    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        HWND control = window.control(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), ExpectedClass(c.kind));
        EXPECT_EQ(TextOf(control), Widen(c.text));
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(EdgesOf(r), Scaled(t.positionInWindow(c), dpi));

        if (c.kind != table::Kind::PictureBox) { // a picture has no font
            const table::Font& font = t.fontOf(c);
            LOGFONTW logFont{};
            ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
                                   sizeof logFont, &logFont));
            EXPECT_EQ(std::wstring(logFont.lfFaceName), Widen(font.face));
            EXPECT_EQ(logFont.lfHeight, -MulDiv(font.points, static_cast<int>(dpi), 72));
            EXPECT_EQ(logFont.lfWeight, font.bold ? FW_BOLD : FW_NORMAL);
            // Every character has a glyph in the font Windows really uses: no boxes.
            const std::wstring text = TextOf(control);
            HDC dc = GetDC(control);
            HGDIOBJ previous =
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
            std::vector<WORD> glyphs(text.size() + 1);
            GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                             GGI_MARK_NONEXISTING_GLYPHS);
            SelectObject(dc, previous);
            ReleaseDC(control, dc);
            for (std::size_t i = 0; i < text.size(); ++i)
                EXPECT_NE(glyphs[i], 0xFFFF) << "character " << int(text[i]);
        }
        const bool isDefault = (GetWindowLongPtrW(control, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON &&
                               c.kind == table::Kind::Button;
        EXPECT_EQ(isDefault, c.name == t.defaultButton);
        if (c.picture == table::Picture::ConvertFace) {
            EXPECT_NE(SendMessageW(control, BM_GETIMAGE, IMAGE_ICON, 0), 0);
        }
        if (c.picture == table::Picture::AppIcon) {
            EXPECT_NE(SendMessageW(control, STM_GETICON, 0, 0), 0);
        }
    }
}

struct Win32Window : ::testing::Test {
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
};

TEST_F(Win32Window, WindowsAreBuiltFromTheirTablesAtEveryDpi) {
    win32::frmConv conv(*ws);
    ASSERT_TRUE(conv.isOpen());
    win32::frmVersion version(conv.handle());
    for (UINT dpi : {144u, 96u}) {
        CheckWindow(conv, dpi);
        CheckWindow(version, dpi);
    }
    // Opens centred on the screen, with the focus in the first field.
    conv.show();
    RECT frame;
    GetWindowRect(conv.handle(), &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(conv.handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    EXPECT_LE(std::abs((frame.left + frame.right) - (area.left + area.right)) +
                  std::abs((frame.top + frame.bottom) - (area.top + area.bottom)),
              2);
    EXPECT_EQ(GetFocus(), conv.control("imText1"));
}

TEST(Win32Pictures, FaceIsResampledFromThe200PercentBitmap) {
    const win32::Pixels small = win32::ConvertFace(96), large = win32::ConvertFace(192);
    ASSERT_EQ(small.width * small.height, 94 * 24);
    ASSERT_EQ(large.width * large.height, 188 * 48);
    // Scaled down to 100 %, the 200 % face is the 100 % face, give or take the rounding of edges.
    const win32::Pixels down = win32::Resampled(large, 94, 24);
    long difference = 0;
    for (std::size_t i = 0; i < small.argb.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            difference +=
                std::abs(int((small.argb[i] >> shift) & 0xFF) - int((down.argb[i] >> shift) & 0xFF));
    EXPECT_LT(difference / static_cast<long>(small.argb.size() * 4), 8);
    // A plain area stays plain at any size.
    for (std::uint32_t p : win32::Resampled({3, 3, std::vector<std::uint32_t>(9, 0x80402010)}, 7, 2).argb)
        EXPECT_EQ(p, 0x80402010u);
}

} // namespace
