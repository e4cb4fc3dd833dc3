// Answers in order the modal windows an action opens; any other, or one left open, fails and is closed.
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
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QPointer<QWidget> modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) return;
            if (!steps_.empty()) {
                const Step step = std::move(steps_.front());
                steps_.pop_front();
                step(modal);
            }
            if (!modal || !modal->isVisible()) return;
            ADD_FAILURE() << "unexpected window, or one left open: " << modal->windowTitle().toStdString();
            modal->close();
        });
        timer_.start(10);
    }
    ~ModalScript() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " expected windows not shown"; }

private:
    QTimer timer_;
    std::deque<Step> steps_;
};

// The frame the window system has drawn, once the window is shown and, where windows get frames, framed.
inline QRect FrameOf(const QWidget& window) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.windowHandle()));
    EXPECT_TRUE(QGuiApplication::platformName() == "offscreen" ||
                QTest::qWaitFor([&] { return window.windowHandle()->frameGeometry() != window.geometry(); }));
    return window.windowHandle()->frameGeometry();
}

} // namespace zel::test
