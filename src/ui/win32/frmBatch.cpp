// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/frmBatch.h"

#include "platform/Platform.h"
#include "platform/Utf16.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <ctime>

namespace zel::ui::win32 {

namespace {

// Posted by the run when it has news.
constexpr UINT kNews = WM_APP + 1;

} // namespace

frmBatch::frmBatch(HWND owner, std::vector<std::string> names)
    : TableWindow(table::BatchWindow(), owner), messages_(handle()), list_(control(table::kFileList)),
      run_(std::move(names), messages_, [window = handle()] { PostMessageW(window, kNews, 0, 0); }) {
    onClick(table::kStartButton, [this] {
        run_.Start();
        showState();
    });
    onClick(table::kUndoButton, [this] {
        run_.StartUndo();
        showState();
    });
    onClick(table::kStopButton, [this] {
        run_.Stop();
        showState();
    });
    onClick(table::kSaveButton, [this] { onSave(); });
    onClick(table::kBatchCloseButton, [this] { requestClose(); });
    showState();
}

std::optional<std::wstring> frmBatch::ChooseWithDialog(HWND owner, const std::wstring& suggested) {
    return AskFileName(
        owner,
        {table::kSaveDialogTitle, table::kSaveDialogFilterDescription, table::kSaveDialogFilterPattern,
         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR, true, L"csv"},
        suggested);
}

void frmBatch::takeNews() {
    const BatchRun::News news = run_.TakeNews();
    if (news.listed) {
        // The list is virtual: its rows are the run's, drawn as they are shown.
        ListView_SetItemCountEx(list_, static_cast<int>(run_.files().size()), 0);
        if (!run_.files().empty())
            ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    if (!news.rows.empty()) {
        const auto [first, last] = std::minmax_element(news.rows.begin(), news.rows.end());
        ListView_RedrawItems(list_, static_cast<int>(*first), static_cast<int>(*last));
        if (run_.running()) ListView_EnsureVisible(list_, static_cast<int>(news.rows.back()), FALSE);
    }
    showState();
    if (news.close) close();
}

std::wstring frmBatch::cellText(std::size_t row, int column) const {
    if (row >= run_.files().size()) return {};
    const BatchFile& file = run_.files()[row];
    switch (column) {
    case 0:
        return platform::Widen(file.shownName);
    case 1:
        return platform::Widen(ListedFormatText(file.format));
    default:
        return platform::Widen(BatchResultText(run_.outcome(row)));
    }
}

void frmBatch::showState() {
    SetWindowTextW(control(table::kCountsLabel), platform::Widen(run_.CountsText()).c_str());
    HWND progress = control(table::kProgressBar);
    SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(run_.files().size()));
    SendMessageW(progress, PBM_SETPOS, run_.taken(), 0);
    const std::pair<std::string_view, bool> states[] = {
        {table::kStartButton, run_.canStart()},
        {table::kUndoButton, run_.canUndo()},
        {table::kStopButton, run_.canStop()},
        {table::kSaveButton, run_.canSave()},
    };
    for (const auto& [name, enabled] : states) {
        HWND button = control(name);
        // A button that goes grey gives the focus to the list, so that Tab and the keys still work.
        if (!enabled && GetFocus() == button) SetFocus(list_);
        EnableWindow(button, enabled);
    }
}

void frmBatch::requestClose() {
    if (run_.MayClose())
        close();
    else
        showState();
}

void frmBatch::openRow(int row) {
    if (row >= 0) run_.OpenRow(static_cast<std::size_t>(row));
}

void frmBatch::enterIn(std::string_view name) {
    if (name == table::kFileList)
        openRow(static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED)));
}

void frmBatch::onSave() {
    const std::string folder = run_.ReportFolder();
    const bool separated = folder.empty() || platform::IsSeparator(folder.back());
    const std::string suggested = folder + (separated ? "" : std::string(1, platform::kSeparator)) +
                                  DefaultReportName(std::time(nullptr));
    const std::optional<std::wstring> chosen =
        chooseReport_ ? chooseReport_(handle(), platform::Widen(suggested)) : std::nullopt;
    if (chosen) run_.SaveReport(platform::Narrow(*chosen));
}

std::optional<LRESULT> frmBatch::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    switch (message) {
    case kNews:
        takeNews();
        return 0;
    case WM_CLOSE:
        requestClose();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != list_) return std::nullopt;
        if (header->code == LVN_ITEMACTIVATE) {
            openRow(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
            return 0;
        }
        if (header->code == LVN_GETDISPINFOW) {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
                const std::wstring text = cellText(static_cast<std::size_t>(item.iItem), item.iSubItem);
                const std::size_t length = std::min<std::size_t>(text.size(), item.cchTextMax - 1);
                std::copy_n(text.begin(), length, item.pszText);
                item.pszText[length] = L'\0';
            }
            return 0;
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace zel::ui::win32

#endif // _WIN32
