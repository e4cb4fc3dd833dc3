// Answers the modal windows that an action opens, in order: each step checks the window that has
// become modal and closes it. A window that no step expects, or that a step leaves open, is a
// failure and is closed, so that a test never hangs. Also: waiting for a window to be framed.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
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
        if (!modal || !modal->isVisible() || modal->property("answered").toBool()) return;
        modal->setProperty("answered", true);
        if (steps_.empty())
            ADD_FAILURE() << "unexpected window " << modal->windowTitle().toStdString();
        else {
            const Step step = std::move(steps_.front());
            steps_.pop_front();
            step(modal);
            if (modal && modal->isVisible()) ADD_FAILURE() << "window left open";
        }
        if (modal && modal->isVisible()) modal->close();
    }
    QTimer timer_;
    std::deque<Step> steps_;
};

// A window's frame as the window system knows it now (QWidget::frameGeometry() may lag behind).
inline QRect FrameOf(const QWidget& window) {
    return window.windowHandle()->frameGeometry();
}

// Waits until the window is on the screen and, where a window manager frames windows, framed, as
// a user sees it before clicking.
inline void WaitForFrame(const QWidget& window) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.windowHandle()));
    EXPECT_TRUE(QGuiApplication::platformName() == "offscreen" ||
                QTest::qWaitFor([&] { return FrameOf(window) != window.geometry(); }));
}

} // namespace zel::test
