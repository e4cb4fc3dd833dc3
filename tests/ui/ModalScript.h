// Answers the modal windows that an action opens, in order: each step checks the window that has
// become modal and closes it. A window that no step expects, that a step leaves open or that never
// comes fails the test; it is closed, so that a test never hangs.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace zel::test {

class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps = {}) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    ~ModalScript() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " expected windows not shown"; }

private:
    void poll() {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (steps_.empty()) ADD_FAILURE() << "unexpected window " << modal->windowTitle().toStdString();
        if (!steps_.empty()) {
            const Step step = std::move(steps_.front());
            steps_.pop_front();
            step(modal);
            EXPECT_FALSE(modal && modal->isVisible()) << "window left open";
        }
        if (modal && modal->isVisible()) modal->close();
    }
    QTimer timer_;
    std::deque<Step> steps_;
};

// The window's frame as the window system knows it now (QWidget::frameGeometry() may lag behind),
// once the window is on the screen and, where a window manager frames windows, framed.
inline QRect FrameOf(const QWidget& window) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.windowHandle()));
    EXPECT_TRUE(QGuiApplication::platformName() == "offscreen" ||
                QTest::qWaitFor([&] { return window.windowHandle()->frameGeometry() != window.geometry(); }));
    return window.windowHandle()->frameGeometry();
}

} // namespace zel::test
