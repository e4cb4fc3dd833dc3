// A Win32 window built from its toolkit-free table (ui/table): the same controls in the same places
// as the Qt window, scaled from 96 dpi to the DPI of the screen the window is on.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include "ui/table/WindowTable.h"

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::ui::win32 {

// A length at 96 dpi, at `dpi`.
int Scale(int length, UINT dpi);

// The DPI of the screen a window is on (96 where Windows cannot tell per window).
UINT DpiOf(HWND window);

class TableWindow {
public:
    // Creates the window, hidden, with every control of the table. `owner` is the window that a
    // modal window keeps from input, or nullptr.
    TableWindow(const table::Window& table, HWND owner);
    virtual ~TableWindow();
    TableWindow(const TableWindow&) = delete;
    TableWindow& operator=(const TableWindow&) = delete;

    HWND handle() const { return window_; }
    bool isOpen() const { return window_ != nullptr; }
    const table::Window& table() const { return table_; }
    UINT dpi() const { return dpi_; }
    // The control of that name in the table.
    HWND control(std::string_view name) const;

    // What pressing the button of that name does.
    void onClick(std::string_view name, std::function<void()> action);

    // Shows the window where the table places it, with the focus in the first control of its chain.
    void show(int showCommand = SW_SHOWNORMAL);
    // Shows the window and returns when it has been closed; its owner takes no input meanwhile.
    void showModal();
    // Closes the window, as its close box does.
    void close();
    // Handles a queued message for the window as a dialog does (Tab, Enter, Esc); true when it did.
    bool handleDialogMessage(MSG& message);

    // Lays the window out for `dpi`, as when it is moved to a screen of that DPI.
    void applyDpi(UINT dpi);

protected:
    // Messages a window of the program handles itself; nothing leaves them to the common handling.
    virtual std::optional<LRESULT> handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Enter in the control of that name, which is no push button, where the table has no default
    // button: nothing unless a window gives it a meaning.
    virtual void enterIn(std::string_view name);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void centre();
    // Places the controls for the DPI and the client area's size, by their anchors.
    void layout();
    void press(const std::string& name);
    const table::Control* controlOfId(int id) const;
    void releasePictures();

    const table::Window& table_;
    HWND owner_;
    HWND window_ = nullptr;
    UINT dpi_ = 96;
    bool modal_ = false;
    std::vector<HWND> controls_; // in the order of the table
    std::map<std::string, std::function<void()>, std::less<>> clicks_;
    std::vector<HFONT> fonts_;
    std::map<HWND, HBRUSH> lineBrushes_;
    HICON face_ = nullptr;
    HWND lastFocus_ = nullptr; // given back when the window is activated again
};

// Runs the program's messages until `window` has been closed.
void RunUntilClosed(TableWindow& window);

// The common dialog that asks for a file name: its title and its one filter, as the tables give
// them, and how it checks the name.
struct FileDialog {
    std::string_view title;
    std::string_view filterDescription;
    std::string_view filterPattern;
    DWORD flags = 0;
    bool save = false;                         // the save dialog, else the open dialog
    const wchar_t* defaultExtension = nullptr; // added to a name typed without one
};

// Shows `dialog` modally over `owner`, with `suggested` as the name at first: the full name chosen,
// or nothing when the user cancels or the dialog fails.
std::optional<std::wstring> AskFileName(HWND owner, const FileDialog& dialog,
                                        const std::wstring& suggested = {});

} // namespace zel::ui::win32

#endif // _WIN32
