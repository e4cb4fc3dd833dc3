// Keys: Enter and Esc do nothing in the conversion window; they close the version window.
#include "ModalScript.h"
#include "frmConv.h"
#include "frmVersion.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using zel::test::ModalScript;
using zel::ui::frmConv;
using zel::ui::frmVersion;

const char* const kButtons[] = {"Command1", "Command2", "CmdConv", "CmdClose"};

TEST(ConversionWindowKeys, EnterAndEscPressNoButtonAndKeepTheWindowOpen) {
    auto ws = std::make_unique<zel::WorkingSet>();
    frmConv window(*ws);
    bool browsed = false;
    window.setFileChooser([&](QWidget*) {
        browsed = true;
        return std::optional<QString>();
    });
    window.show();
    ModalScript noModalWindow; // any message box or version window would be a failure

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const char* name : kButtons)
        spies.push_back(
            std::make_unique<QSignalSpy>(window.findChild<QPushButton*>(name), &QPushButton::clicked));

    for (const char* target : {"imText1", "imText2", "Command1", "Command2", "CmdConv", "CmdClose"}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            SCOPED_TRACE(std::string(target) + " key " + std::to_string(key));
            auto* w = window.findChild<QWidget*>(target);
            w->setFocus();
            QTest::keyClick(w, key);
            EXPECT_TRUE(window.isVisible());
        }
    }
    for (std::size_t i = 0; i < spies.size(); ++i)
        EXPECT_EQ(spies[i]->count(), 0) << kButtons[i];
    EXPECT_FALSE(browsed);
}

TEST(ConversionWindowKeys, EnterInAFieldKeepsTheTypedNames) {
    auto ws = std::make_unique<zel::WorkingSet>();
    frmConv window(*ws);
    window.show();
    ModalScript noModalWindow;
    auto* source = window.findChild<QLineEdit*>("imText1");
    auto* target = window.findChild<QLineEdit*>("imText2");
    source->setFocus();
    // Japanese text arrives as key events carrying the text, as an input method sends it.
    QTest::sendKeyEvent(QTest::KeyAction::Click, source, Qt::Key_unknown, QStringLiteral("現場"),
                        Qt::NoModifier);
    QTest::keyClicks(source, "/data/a.zel");
    target->setText(QStringLiteral("/data/b"));
    QTest::keyClick(source, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(source->text(), QStringLiteral("現場/data/a.zel"));
    EXPECT_EQ(target->text(), QStringLiteral("/data/b"));
}

// How the version window is closed in each case.
struct CloseWay {
    const char* what;
    std::function<void(QWidget*)> close;
};

TEST(VersionWindowKeys, OpensModallyAndClosesByEnterEscOkAndCloseBox) {
    auto ws = std::make_unique<zel::WorkingSet>();
    frmConv window(*ws);
    window.show();
    auto* command2 = window.findChild<QPushButton*>("Command2");

    const std::vector<CloseWay> ways = {
        {"Return", [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Return); }},
        {"Enter", [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Enter); }},
        {"Esc", [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Escape); }},
        {"cmdOK", [](QWidget* v) { v->findChild<QPushButton*>("cmdOK")->click(); }},
        {"close box", [](QWidget* v) { v->close(); }},
    };
    for (const CloseWay& way : ways) {
        SCOPED_TRACE(way.what);
        ModalScript script;
        bool closedByStep = false;
        script.then([&](QWidget* modal) {
            auto* version = qobject_cast<frmVersion*>(modal);
            EXPECT_NE(version, nullptr);
            if (version) {
                EXPECT_EQ(version->parentWidget(), &window);
                EXPECT_EQ(version->findChild<QLabel*>("lblVersion")->text().toStdString(), "バージョン 1.00");
                EXPECT_EQ(version->findChild<QLabel*>("lblTitle")->text().toStdString(),
                          "カルトゥーバ　データ変換");
                EXPECT_EQ(version->focusWidget()->objectName(), "cmdOK");
                // Centred on the conversion window.
                EXPECT_LE((version->geometry().center() - window.geometry().center()).manhattanLength(), 2);
            }
            way.close(modal);
            closedByStep = !modal->isVisible();
            if (!closedByStep) modal->close();
        });
        command2->click(); // returns when the version window has closed
        EXPECT_EQ(script.pending(), 0u);
        EXPECT_TRUE(closedByStep);
        EXPECT_EQ(window.findChildren<frmVersion*>().size(), 0);
        EXPECT_TRUE(window.isVisible());
    }
}

} // namespace
