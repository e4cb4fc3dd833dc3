// The program's messages as Win32 message boxes over the conversion window.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include "fileops/Messages.h"

#include <windows.h>

#include <functional>
#include <string>

namespace zel::ui::win32 {

// A message text as MessageBoxW shows it: each character 13 that joins two lines becomes CR LF,
// which Windows breaks the line at.
std::wstring MessageBoxText(const std::string& text);

// Each message in a modal message box titled with the application title: information icon and OK
// for notices, warning icon and OK for refusals and errors, information icon with Yes and No (Yes
// the default) for the overwrite question.
class MessageBoxes : public Messages {
public:
    // Shows one box and returns the button pressed, as MessageBoxW does.
    using ShowFunction =
        std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT type)>;

    explicit MessageBoxes(HWND owner = nullptr) : owner_(owner) {}
    // Replaces MessageBoxW (tests answer the boxes without showing them).
    void setShowFunction(ShowFunction show) { show_ = std::move(show); }

    void Inform(const std::string& text) override;
    void Warn(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

private:
    int show(const std::string& text, UINT type);

    HWND owner_;
    ShowFunction show_;
};

} // namespace zel::ui::win32

#endif // _WIN32
