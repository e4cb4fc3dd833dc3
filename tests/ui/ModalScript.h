// Answers the modal windows that an action opens, one after the other: each step sees the window
// that has become modal, checks it and closes it.
#pragma once

#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace zel::test {

class ModalScript {
public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript();
    ~ModalScript();

    // Adds the step for the next modal window.
    ModalScript& then(Step step);

    // Steps not yet run (a window that was expected never opened).
    std::size_t pending() const { return steps_.size(); }

private:
    void poll();

    QTimer timer_;
    std::deque<Step> steps_;
};

// The message box that is modal now, checked against title, icon, text, buttons and default.
struct ExpectedBox {
    int icon;    // QMessageBox::Icon
    int buttons; // QMessageBox::StandardButtons
    int defaultButton;
    const char* text; // UTF-8, lines joined by '\n'
};
void CheckMessageBox(QWidget* modal, const ExpectedBox& expected);

// Clicks the standard button `button` of the message box `modal`.
void Answer(QWidget* modal, int button);

} // namespace zel::test
