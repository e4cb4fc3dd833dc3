// Enter and Esc do nothing in the conversion window; they close the version window.
#include "ModalScript.h"
#include "frmConv.h"
#include "frmVersion.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

using zel::test::ModalScript;

TEST(Keys, EnterAndEscPressNoButtonAndKeepTheConversionWindowOpen) {
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window(*ws);
    window.show();
    ModalScript none; // a message box or the version window would be a failure
    std::vector<std::unique_ptr<QSignalSpy>> clicks;
    for (auto* button : window.findChildren<QPushButton*>())
        clicks.push_back(std::make_unique<QSignalSpy>(button, &QPushButton::clicked));
    for (const char* target : {"imText1", "imText2", "Command1", "Command2", "CmdConv", "CmdClose"}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            auto* w = window.findChild<QWidget*>(target);
            w->setFocus();
            QTest::keyClick(w, key);
            EXPECT_TRUE(window.isVisible()) << target << " " << key;
        }
    }
    ASSERT_EQ(clicks.size(), 4u);
    for (const auto& spy : clicks)
        EXPECT_EQ(spy->count(), 0);
}

TEST(Keys, VersionWindowOpensModallyAndEnterEscOkAndCloseBoxCloseIt) {
    auto ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window(*ws);
    window.show();
    const std::vector<std::function<void(QWidget*)>> closeWays = {
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Return); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Enter); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Escape); },
        [](QWidget* v) { v->findChild<QPushButton*>("cmdOK")->click(); },
        [](QWidget* v) { v->close(); },
    };
    for (std::size_t i = 0; i < closeWays.size(); ++i) {
        ModalScript script({[&](QWidget* modal) {
            auto* version = qobject_cast<zel::ui::frmVersion*>(modal);
            ASSERT_NE(version, nullptr);
            EXPECT_EQ(version->parentWidget(), &window);
            EXPECT_EQ(version->findChild<QLabel*>("lblVersion")->text().toStdString(), "バージョン 1.00");
            EXPECT_LE((version->geometry().center() - window.geometry().center()).manhattanLength(), 2);
            closeWays[i](modal); // the script fails the test if this leaves the window open
        }});
        window.findChild<QPushButton*>("Command2")->click(); // returns when it has closed
        EXPECT_EQ(script.pending(), 0u) << "way " << i;
        EXPECT_TRUE(window.findChildren<zel::ui::frmVersion*>().isEmpty()) << "created anew each time";
    }
}

} // namespace
