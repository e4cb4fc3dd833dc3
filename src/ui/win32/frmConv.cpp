// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/frmConv.h"

#include "platform/Utf16.h"
#include "ui/win32/frmBatch.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zel::ui::win32 {

namespace {

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// `name` as a full name: relative names are taken from the current folder.
std::wstring FullName(const std::wstring& name) {
    return platform::FullName(name).value_or(name);
}

// Several names, or a folder, are a batch; one file is converted in the conversion window.
std::vector<std::string> Narrowed(const std::vector<std::wstring>& names) {
    std::vector<std::string> narrow;
    for (const std::wstring& name : names)
        narrow.push_back(platform::Narrow(name));
    return narrow;
}

} // namespace

std::vector<std::wstring> CommandLineNames(const wchar_t* commandLine) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(CommandLineToArgvW(commandLine, &count),
                                                                  &LocalFree);
    std::vector<std::wstring> names;
    for (int i = 1; arguments && i < count; ++i) {
        if (arguments.get()[i][0] == L'\0') continue;
        // Explorer may name the first of the selected files twice ("%1" and %*).
        std::wstring name = FullName(arguments.get()[i]);
        const auto same = [&](const std::wstring& earlier) {
            return CompareStringOrdinal(earlier.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
        };
        if (std::none_of(names.begin(), names.end(), same)) names.push_back(std::move(name));
    }
    return names;
}

std::unique_ptr<TableWindow> WindowForCommandLine(WorkingSet& ws, const wchar_t* commandLine) {
    const std::vector<std::wstring> names = CommandLineNames(commandLine);
    if (NamesMakeABatch(Narrowed(names))) return std::make_unique<frmBatch>(nullptr, Narrowed(names));
    auto window = std::make_unique<frmConv>(ws);
    window->fillFromCommandLine(commandLine);
    return window;
}

frmConv::frmConv(WorkingSet& ws)
    : TableWindow(table::ConversionWindow(), nullptr), ws_(ws), messages_(handle()),
      sourceField_(control(table::kSourceField)), targetField_(control(table::kTargetField)) {
    onClick(table::kBrowseButton, [this] { onBrowse(); });
    onClick(table::kConvertButton, [this] { onConvert(); });
    onClick(table::kVersionButton, [this] { onVersion(); });
    onClick(table::kCloseButton, [this] { close(); });
    DragAcceptFiles(handle(), TRUE);
    // The workflow settles the target name before it asks or tells anything: the field shows it at once.
    state_.targetSettled = [this](const std::string& name) {
        SetWindowTextW(targetField_, platform::Widen(name).c_str());
    };
}

std::optional<std::wstring> frmConv::ChooseWithDialog(HWND owner) {
    return AskFileName(owner, {table::kOpenDialogTitle, table::kOpenDialogFilterDescription,
                               table::kOpenDialogFilterPattern, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY});
}

void frmConv::fillFromCommandLine(const wchar_t* commandLine) {
    const std::vector<std::wstring> names = CommandLineNames(commandLine);
    if (!names.empty()) fillBothNames(names.front());
}

std::optional<LRESULT> frmConv::handleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_DROPFILES) return std::nullopt;
    const auto drop = reinterpret_cast<HDROP>(wParam);
    std::vector<std::wstring> names(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    for (UINT i = 0; i < names.size(); ++i) {
        names[i].resize(DragQueryFileW(drop, i, nullptr, 0) + 1);
        names[i].resize(DragQueryFileW(drop, i, names[i].data(), static_cast<UINT>(names[i].size())));
        names[i] = FullName(names[i]);
    }
    DragFinish(drop);
    // One file fills both name fields; several files or a folder open the batch window over this one.
    if (NamesMakeABatch(Narrowed(names))) {
        frmBatch batch(handle(), Narrowed(names));
        batch.showModal();
    } else if (names.size() == 1 && GetFileAttributesW(names.front().c_str()) != INVALID_FILE_ATTRIBUTES) {
        fillBothNames(names.front());
    }
    return 0;
}

void frmConv::fillBothNames(const std::wstring& fullName) {
    SetWindowTextW(sourceField_, fullName.c_str());
    SetWindowTextW(targetField_, fullName.c_str());
}

void frmConv::onBrowse() {
    const std::optional<std::wstring> chosen = chooseFile_ ? chooseFile_(handle()) : std::nullopt;
    if (chosen) fillBothNames(*chosen);
}

void frmConv::onConvert() {
    state_.sourceName = platform::Narrow(TextOf(sourceField_));
    state_.targetName = platform::Narrow(TextOf(targetField_));
    (void)RunConversion(state_, ws_, messages_); // its messages have told the user how it ended
}

void frmConv::onVersion() {
    frmVersion version(handle());
    version.showModal();
}

frmVersion::frmVersion(HWND owner) : TableWindow(table::VersionWindow(), owner) {
    onClick(table::kOkButton, [this] { close(); });
}

} // namespace zel::ui::win32

#endif // _WIN32
