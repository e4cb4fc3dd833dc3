// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/TableWindow.h"

#include "platform/Utf16.h"
#include "ui/win32/Pictures.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

namespace zel::ui::win32 {

namespace {

constexpr wchar_t kClassName[] = L"ZelConv.TableWindow";
constexpr int kFirstControlId = 100; // above IDOK and IDCANCEL, which Enter and Esc send

// A function of user32.dll that older Windows lack, or nullptr.
template <class Function> Function User32Function(const char* name) {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

DWORD StyleOf(const table::Window& table) {
    // A fixed window has no sizing border, no minimise or maximise box. No WS_CLIPCHILDREN: a group
    // frame leaves its inside for the window to paint.
    if (table.border == table::Border::Sizable) return WS_OVERLAPPEDWINDOW;
    const DWORD fixed = WS_CAPTION | WS_SYSMENU;
    return table.border == table::Border::FixedDialog ? (WS_POPUP | fixed) : (WS_OVERLAPPED | fixed);
}

DWORD ExStyleOf(const table::Window& table) {
    return table.border == table::Border::FixedDialog ? WS_EX_DLGMODALFRAME : 0;
}

RECT WindowRectFor(const table::Window& table, UINT dpi) {
    RECT r{0, 0, Scale(table.clientWidth, dpi), Scale(table.clientHeight, dpi)};
    using Adjust = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<Adjust>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&r, StyleOf(table), FALSE, ExStyleOf(table), dpi))
        AdjustWindowRectEx(&r, StyleOf(table), FALSE, ExStyleOf(table));
    return r;
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(const table::Control& control, const table::Window& table) {
    // Every control clips the ones lying over it, so that later controls in the table stay on top.
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (control.focusOrder ? WS_TABSTOP : 0);
    switch (control.kind) {
    case table::Kind::TextField:
        return {WC_EDITW, child | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case table::Kind::Button:
        return {WC_BUTTONW, child | (control.name == table.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                0};
    case table::Kind::PictureButton:
        // The face is an icon, which keeps its alpha on every Windows; the text names the button for
        // screen readers.
        return {WC_BUTTONW, child | BS_PUSHBUTTON | BS_ICON | BS_CENTER | BS_VCENTER, 0};
    case table::Kind::Label:
        return {WC_STATICW, child | SS_LEFT | SS_NOPREFIX, 0};
    case table::Kind::Frame:
        return {WC_BUTTONW, child | BS_GROUPBOX, 0};
    case table::Kind::PictureBox:
        return {WC_STATICW, child | SS_ICON | SS_CENTERIMAGE | SS_NOTIFY, 0};
    case table::Kind::Line:
        return {WC_STATICW, child, 0};
    case table::Kind::List:
        // Virtual: the window that owns the list gives each cell's text when it is drawn.
        return {WC_LISTVIEWW,
                child | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_OWNERDATA,
                WS_EX_CLIENTEDGE};
    case table::Kind::ProgressBar:
        return {PROGRESS_CLASSW, child, 0};
    }
    return {WC_STATICW, child, 0};
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    if (face.size() >= LF_FACESIZE) return false;
    face.copy(wanted.lfFaceName, face.size());
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// The face the table names where it is installed; else a proportional Japanese face that is, so
// that texts keep about the width the table gives them (a fixed-pitch fallback is wider).
std::wstring InstalledFace(const std::string& face) {
    static std::map<std::string, std::wstring> chosen;
    const auto known = chosen.find(face);
    if (known != chosen.end()) return known->second;
    std::wstring result = platform::Widen(face);
    if (!FaceInstalled(result)) {
        for (const wchar_t* fallback : {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic", L"IPAPGothic",
                                        L"Noto Sans CJK JP", L"VL PGothic", L"Takao PGothic"}) {
            if (FaceInstalled(fallback)) {
                result = fallback;
                break;
            }
        }
    }
    chosen.emplace(face, result);
    return result;
}

HFONT CreateTableFont(const table::Font& font, UINT dpi) {
    return CreateFontW(-MulDiv(font.points, static_cast<int>(dpi), 72), 0, 0, 0,
                       font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                       InstalledFace(font.face).c_str());
}

} // namespace

int Scale(int length, UINT dpi) {
    return MulDiv(length, static_cast<int>(dpi), 96);
}

UINT DpiOf(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpi>("GetDpiForWindow");
    if (getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

TableWindow::TableWindow(const table::Window& table, HWND owner) : table_(table), owner_(owner) {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls,
                                      ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &TableWindow::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
    CreateWindowExW(ExStyleOf(table_), kClassName, platform::Widen(table_.title).c_str(), StyleOf(table_),
                    CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, owner_, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_) return;
    createControls();
    applyDpi(DpiOf(window_));
}

TableWindow::~TableWindow() {
    if (window_) DestroyWindow(window_);
}

HWND TableWindow::control(std::string_view name) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (table_.controls[i].name == name) return controls_[i];
    return nullptr;
}

const table::Control* TableWindow::controlOfId(int id) const {
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(table_.controls.size())) return nullptr;
    return &table_.controls[static_cast<std::size_t>(index)];
}

void TableWindow::onClick(std::string_view name, std::function<void()> action) {
    clicks_[std::string(name)] = std::move(action);
}

void TableWindow::createControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < table_.controls.size(); ++i) {
        const table::Control& c = table_.controls[i];
        const ControlClass kind = ClassOf(c, table_);
        HWND control = CreateWindowExW(
            kind.exStyle, kind.name, platform::Widen(c.text).c_str(), kind.style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance, nullptr);
        controls_.push_back(control);
        if (c.kind == table::Kind::List) {
            SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
            for (std::size_t k = 0; k < c.columns.size(); ++k) {
                std::wstring heading = platform::Widen(c.columns[k].heading);
                LVCOLUMNW column{};
                column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
                column.pszText = heading.data();
                column.cx = c.columns[k].width;
                column.iSubItem = static_cast<int>(k);
                SendMessageW(control, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
            }
        }
        if (c.kind == table::Kind::Line) {
            const table::Colour colour = c.colour.value_or(table::Colour{});
            lineBrushes_[control] = CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
        }
    }
    // Tab follows the sibling order: the focus chain first, in its order; then the other controls,
    // each later one of the table above the earlier ones, as in the Qt window.
    HWND previous = HWND_TOP;
    for (const table::Control* c : table_.focusChain()) {
        HWND control = this->control(c->name);
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
    for (auto c = table_.controls.rbegin(); c != table_.controls.rend(); ++c) {
        if (c->focusOrder) continue;
        HWND control = this->control(c->name);
        SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
}

void TableWindow::applyDpi(UINT dpi) {
    dpi_ = dpi;
    const RECT frame = WindowRectFor(table_, dpi);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame Windows draws differs from the one it computed, the client area keeps its size.
    RECT client, outer;
    GetClientRect(window_, &client);
    GetWindowRect(window_, &outer);
    const int extraWidth = Scale(table_.clientWidth, dpi) - client.right;
    const int extraHeight = Scale(table_.clientHeight, dpi) - client.bottom;
    if (extraWidth || extraHeight)
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + extraWidth,
                     outer.bottom - outer.top + extraHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    std::vector<HFONT> oldFonts = std::move(fonts_);
    fonts_.clear();
    std::map<std::string, HFONT> byFont;
    for (std::size_t i = 0; i < table_.controls.size(); ++i) {
        const table::Control& c = table_.controls[i];
        const table::Font& font = table_.fontOf(c);
        const std::string key = font.face + "/" + std::to_string(font.points) + (font.bold ? "b" : "");
        HFONT& created = byFont[key];
        if (!created) fonts_.push_back(created = CreateTableFont(font, dpi));
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(created), FALSE);
        for (std::size_t k = 0; k < c.columns.size(); ++k)
            SendMessageW(controls_[i], LVM_SETCOLUMNWIDTH, k, Scale(c.columns[k].width, dpi));
    }
    layout();
    for (HFONT font : oldFonts)
        DeleteObject(font);

    releasePictures();
    const int bigIcon = Scale(32, dpi), smallIcon = Scale(16, dpi);
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon(bigIcon)));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon(smallIcon)));
    for (std::size_t i = 0; i < table_.controls.size(); ++i) {
        const table::Control& c = table_.controls[i];
        if (c.picture == table::Picture::AppIcon) {
            SendMessageW(controls_[i], STM_SETICON, reinterpret_cast<WPARAM>(AppIcon(bigIcon)), 0);
            // Setting an icon shrinks the box to the icon; the table's box is larger.
            layout();
        } else if (c.picture == table::Picture::ConvertFace) {
            face_ = IconFromPixels(ConvertFace(dpi));
            SendMessageW(controls_[i], BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(face_));
        }
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void TableWindow::layout() {
    // What a resizable window has beyond the table's size goes to the controls anchored to both
    // edges, and moves those anchored to the right or bottom edge alone.
    RECT client;
    GetClientRect(window_, &client);
    const int extraWidth = std::max(0, static_cast<int>(client.right) - Scale(table_.clientWidth, dpi_));
    const int extraHeight = std::max(0, static_cast<int>(client.bottom) - Scale(table_.clientHeight, dpi_));
    for (std::size_t i = 0; i < table_.controls.size(); ++i) {
        const table::Control& c = table_.controls[i];
        const table::Rect r = table_.positionInWindow(c);
        // Scaling both edges keeps neighbouring controls from drifting apart by rounding.
        int left = Scale(r.left, dpi_), top = Scale(r.top, dpi_);
        int right = Scale(r.right(), dpi_), bottom = Scale(r.bottom(), dpi_);
        if (c.parent.empty()) {
            if (c.anchors.right) right += extraWidth;
            if (c.anchors.right && !c.anchors.left) left += extraWidth;
            if (c.anchors.bottom) bottom += extraHeight;
            if (c.anchors.bottom && !c.anchors.top) top += extraHeight;
        }
        MoveWindow(controls_[i], left, top, right - left, bottom - top, FALSE);
        // A list that grows with the window gives the width it gains to its last column.
        if (!c.columns.empty() && c.anchors.left && c.anchors.right)
            SendMessageW(controls_[i], LVM_SETCOLUMNWIDTH, c.columns.size() - 1,
                         Scale(c.columns.back().width, dpi_) + (c.parent.empty() ? extraWidth : 0));
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void TableWindow::releasePictures() {
    if (face_) DestroyIcon(face_);
    face_ = nullptr;
}

void TableWindow::centre() {
    RECT frame;
    GetWindowRect(window_, &frame);
    RECT area;
    if (table_.placement == table::Placement::CentreOfOwner && owner_) {
        GetWindowRect(owner_, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The centre of another screen may have another DPI.
    const UINT dpi = DpiOf(window_);
    if (dpi != dpi_) {
        applyDpi(dpi);
        centre();
    }
}

void TableWindow::show(int showCommand) {
    centre();
    ShowWindow(window_, showCommand);
    const std::vector<const table::Control*> chain = table_.focusChain();
    if (!chain.empty()) SetFocus(control(chain.front()->name));
    UpdateWindow(window_);
}

void TableWindow::showModal() {
    modal_ = owner_ != nullptr;
    if (modal_) EnableWindow(owner_, FALSE);
    show();
    MSG message;
    while (window_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is asked to end: pass the request on to the loop outside.
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            close();
            break;
        }
        if (!handleDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void TableWindow::close() {
    if (!window_) return;
    // The owner takes input again before this window goes, so that Windows activates the owner
    // rather than another program's window.
    if (modal_) EnableWindow(owner_, TRUE);
    DestroyWindow(window_);
}

bool TableWindow::handleDialogMessage(MSG& message) {
    if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
    // Enter presses the push button that has the focus, as on every button; elsewhere Enter and
    // Esc press the table's default and cancel buttons, or nothing.
    const bool key =
        message.message == WM_KEYDOWN || message.message == WM_KEYUP || message.message == WM_CHAR;
    if (key && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        if (message.message == WM_KEYDOWN) {
            const HWND focus = GetFocus();
            const table::Control* focused =
                focus && GetParent(focus) == window_ ? controlOfId(GetDlgCtrlID(focus)) : nullptr;
            const bool onButton = focused && (focused->kind == table::Kind::Button ||
                                              focused->kind == table::Kind::PictureButton);
            if (message.wParam == VK_RETURN && onButton)
                press(focused->name);
            else if (message.wParam == VK_RETURN && table_.defaultButton.empty() && focused)
                enterIn(focused->name);
            else if (const std::string& button =
                         message.wParam == VK_RETURN ? table_.defaultButton : table_.cancelButton;
                     !button.empty())
                press(button);
        }
        return true;
    }
    return IsDialogMessageW(window_, &message);
}

void TableWindow::press(const std::string& name) {
    const auto found = clicks_.find(name);
    if (found != clicks_.end() && found->second) found->second();
}

std::optional<LRESULT> TableWindow::handleMessage(UINT, WPARAM, LPARAM) {
    return std::nullopt;
}

void TableWindow::enterIn(std::string_view) {}

LRESULT CALLBACK TableWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TableWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TableWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->controls_.clear();
        for (HFONT font : self->fonts_)
            DeleteObject(font);
        self->fonts_.clear();
        for (auto& [control, brush] : self->lineBrushes_)
            DeleteObject(brush);
        self->lineBrushes_.clear();
        self->releasePictures();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->dispatch(message, wParam, lParam);
}

LRESULT TableWindow::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> handled = handleMessage(message, wParam, lParam)) return *handled;
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // Enter and Esc, as IsDialogMessage reports them: the table's default and cancel buttons,
        // or nothing.
        if (id == IDOK || id == IDCANCEL) {
            const std::string& button = id == IDOK ? table_.defaultButton : table_.cancelButton;
            if (!button.empty()) press(button);
            return 0;
        }
        const table::Control* c = controlOfId(id);
        if (c && HIWORD(wParam) == BN_CLICKED &&
            (c->kind == table::Kind::Button || c->kind == table::Kind::PictureButton))
            press(c->name);
        return 0;
    }
    case DM_GETDEFID: {
        const HWND button = table_.defaultButton.empty() ? nullptr : control(table_.defaultButton);
        return button ? MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID) : 0;
    }
    case WM_CTLCOLORSTATIC: {
        const auto control = reinterpret_cast<HWND>(lParam);
        const auto hdc = reinterpret_cast<HDC>(wParam);
        if (const auto line = lineBrushes_.find(control); line != lineBrushes_.end())
            return reinterpret_cast<LRESULT>(line->second);
        const table::Control* c = controlOfId(GetDlgCtrlID(control));
        if (c && c->colour) SetTextColor(hdc, RGB(c->colour->red, c->colour->green, c->colour->blue));
        SetBkColor(hdc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_ACTIVATE:
        // Windows does not keep the focus of a plain window: keep it, as a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
        } else if (const auto chain = table_.focusChain(); !chain.empty()) {
            SetFocus(control(chain.front()->name));
        }
        return 0;
    case WM_GETMINMAXINFO: {
        // A resizable window is never made smaller than its table.
        if (table_.border != table::Border::Sizable) return DefWindowProcW(window_, message, wParam, lParam);
        // The frame as drawn, which may differ from the one Windows computes for the DPI.
        RECT outer, client;
        GetWindowRect(window_, &outer);
        GetClientRect(window_, &client);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {Scale(table_.clientWidth, dpi_) + (outer.right - outer.left) - client.right,
                                  Scale(table_.clientHeight, dpi_) + (outer.bottom - outer.top) -
                                      client.bottom};
        return 0;
    }
    case WM_SIZE:
        if (!controls_.empty() && wParam != SIZE_MINIMIZED) layout();
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        applyDpi(HIWORD(wParam));
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        close();
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void RunUntilClosed(TableWindow& window) {
    MSG message;
    while (window.isOpen() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!window.handleDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::optional<std::wstring> AskFileName(HWND owner, const FileDialog& dialog, const std::wstring& suggested) {
    // Long enough for any full name Windows allows.
    std::vector<wchar_t> file(32768, L'\0');
    std::copy(suggested.begin(), suggested.begin() + std::min(suggested.size(), file.size() - 1),
              file.begin());
    // One description and one pattern, each ended by a NUL, the list by another (the string's own).
    const std::wstring filter =
        platform::Widen(dialog.filterDescription) + L'\0' + platform::Widen(dialog.filterPattern) + L'\0';
    const std::wstring title = platform::Widen(dialog.title);
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrTitle = title.c_str();
    request.lpstrDefExt = dialog.defaultExtension;
    request.Flags = dialog.flags;
    const BOOL chosen = dialog.save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (!chosen || file[0] == L'\0') return std::nullopt;
    return std::wstring(file.data());
}

} // namespace zel::ui::win32

#endif // _WIN32
