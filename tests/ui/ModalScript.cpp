#include "ModalScript.h"

#include "usrdata/Messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVariant>
#include <gtest/gtest.h>

namespace zel::test {

namespace {
constexpr const char* kHandled = "zelconvTestHandled";
}

ModalScript::ModalScript() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalScript::~ModalScript() {
    timer_.stop();
}

ModalScript& ModalScript::then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

void ModalScript::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property(kHandled).toBool()) return;
    modal->setProperty(kHandled, true);
    if (steps_.empty()) {
        ADD_FAILURE() << "unexpected modal window: " << modal->windowTitle().toStdString();
        modal->close();
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    QPointer<QWidget> guard(modal);
    step(modal);
    // A step that leaves its window open would hang the test.
    if (guard && guard->isVisible()) {
        ADD_FAILURE() << "the window stayed open: " << guard->windowTitle().toStdString();
        guard->close();
    }
}

void CheckMessageBox(QWidget* modal, const ExpectedBox& expected) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box";
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8(kAppTitle));
    EXPECT_EQ(box->icon(), expected.icon);
    EXPECT_EQ(box->standardButtons().toInt(), expected.buttons);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
              box->button(static_cast<QMessageBox::StandardButton>(expected.defaultButton)));
    EXPECT_EQ(box->text().toStdString(), std::string(expected.text));
}

void Answer(QWidget* modal, int button) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
        modal->close();
        return;
    }
    QAbstractButton* b = box->button(static_cast<QMessageBox::StandardButton>(button));
    if (b)
        b->click();
    else
        box->close();
}

} // namespace zel::test
