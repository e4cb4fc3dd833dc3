// Answers the modal windows that an action opens, in order, as a user would: each step checks the
// window that has become modal and closes it. A window that no step expects, or that a step leaves
// open, is a failure and is closed, so that a test never hangs. Also: pumping the queued messages
// of a window as its program's loop does, and pressing keys.
#pragma once

#include "platform/Utf16.h"
#include "ui/win32/TableWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <set>
#include <string>

namespace zel::test {

inline std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::string Utf8TextOf(HWND window) {
    return platform::Narrow(TextOf(window));
}

// Handles every queued message as RunUntilClosed does.
inline void Pump(ui::win32::TableWindow& window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (!window.handleDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
}

// Presses and releases `key` in the control that has the focus, through the window's loop.
inline void PressKey(ui::win32::TableWindow& window, WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    Pump(window);
}

class ModalScript {
public:
    using Step = std::function<void(HWND modal)>;
    explicit ModalScript(std::deque<Step> steps = {}) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 10, &ModalScript::Tick);
    }
    ~ModalScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    std::size_t pending() const { return steps_.size(); }

private:
    // A window of this thread that keeps its owner from input: a message box, a dialog or a
    // modal window of the program.
    static BOOL CALLBACK FindModal(HWND window, LPARAM found) {
        HWND owner = GetWindow(window, GW_OWNER);
        if (IsWindowVisible(window) && IsWindowEnabled(window) && owner && !IsWindowEnabled(owner)) {
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* self = current_;
        HWND modal = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &ModalScript::FindModal, reinterpret_cast<LPARAM>(&modal));
        if (!self || !modal || self->answered_.count(modal)) return;
        self->answered_.insert(modal);
        if (self->steps_.empty()) {
            ADD_FAILURE() << "unexpected window " << Utf8TextOf(modal);
        } else {
            Step step = std::move(self->steps_.front());
            self->steps_.pop_front();
            step(modal);
            if (IsWindow(modal) && IsWindowVisible(modal)) ADD_FAILURE() << "window left open";
        }
        // Close it anyway: a message box with Yes and No closes on No, any other window on Close.
        if (IsWindow(modal) && IsWindowVisible(modal)) {
            SendMessageW(modal, WM_COMMAND, IDNO, 0);
            if (IsWindow(modal) && IsWindowVisible(modal)) SendMessageW(modal, WM_CLOSE, 0, 0);
        }
    }

    static inline ModalScript* current_ = nullptr;
    UINT_PTR timer_;
    std::deque<Step> steps_;
    std::set<HWND> answered_;
};

// The controls of a dialog of Windows (a message box, the open-file dialog) of that class.
inline std::vector<HWND> ChildrenOfClass(HWND dialog, const wchar_t* className) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = L"";
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, className) == 0) found.push_back(child);
    }
    return found;
}

} // namespace zel::test
