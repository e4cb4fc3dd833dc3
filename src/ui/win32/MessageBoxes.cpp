// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/MessageBoxes.h"

#include "platform/Utf16.h"
#include "workflow/ProgramInfo.h"

namespace zel::ui::win32 {

std::wstring MessageBoxText(const std::string& text) {
    const std::wstring wide = platform::Widen(text);
    std::wstring shown;
    shown.reserve(wide.size() + 8);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        shown += wide[i];
        if (wide[i] == L'\r' && (i + 1 == wide.size() || wide[i + 1] != L'\n')) shown += L'\n';
    }
    return shown;
}

int MessageBoxes::show(const std::string& text, UINT type) {
    const std::wstring title = platform::Widen(ZELCONV_APP_TITLE), shown = MessageBoxText(text);
    if (show_) return show_(owner_, shown, title, type);
    return MessageBoxW(owner_, shown.c_str(), title.c_str(), type);
}

void MessageBoxes::Inform(const std::string& text) {
    show(text, MB_OK | MB_ICONINFORMATION | MB_APPLMODAL);
}

void MessageBoxes::Warn(const std::string& text) {
    show(text, MB_OK | MB_ICONWARNING | MB_APPLMODAL);
}

bool MessageBoxes::AskYesNo(const std::string& text) {
    return show(text, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON1 | MB_APPLMODAL) == IDYES;
}

} // namespace zel::ui::win32

#endif // _WIN32
