// The Convert button runs the whole conversion and shows its messages in real message boxes; the
// message box adapter on its own.
#include "MessageBoxes.h"
#include "ModalScript.h"
#include "frmConv.h"
#include "support/Samples.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using zel::test::Answer;
using zel::test::CheckMessageBox;
using zel::test::ExpectedBox;
using zel::test::ModalScript;
using zel::ui::frmConv;

const char* const kOverwrite = "データが存在します。上書きしてもよろしいですか？";
const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kBackedUp = "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";

class ConvertButton : public ::testing::Test {
protected:
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    frmConv window{*ws};
    zel::test::TempDir dir;
    QLineEdit* source = window.findChild<QLineEdit*>("imText1");
    QLineEdit* target = window.findChild<QLineEdit*>("imText2");

    void SetNames(const std::string& from, const std::string& to) {
        source->setText(QString::fromStdString(from));
        target->setText(QString::fromStdString(to));
    }
    void PressConvert(ModalScript& script) {
        window.findChild<QPushButton*>("CmdConv")->click();
        EXPECT_EQ(script.pending(), 0u) << "an expected message box was not shown";
    }
};

TEST_F(ConvertButton, EmptyNameFieldIsReported) {
    SetNames("", dir.file("a.zel"));
    ModalScript script;
    script.then([](QWidget* m) {
        CheckMessageBox(m, {QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok,
                            "ファイル名が指定されていません。ファイル名を指定して下さい。"});
        Answer(m, QMessageBox::Ok);
    });
    PressConvert(script);
}

TEST_F(ConvertButton, InPlaceConversionAsksThenReportsTheBackup) {
    const std::string name = dir.file("site.zel");
    const std::vector<std::uint8_t> original = zel::test::MakeOldFile(1);
    zel::test::WriteBytes(name, original);
    const std::string backup = dir.file("site.bak");
    SetNames(name, name);

    ModalScript script;
    script
        .then([](QWidget* m) {
            CheckMessageBox(m, {QMessageBox::Information, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes, kOverwrite});
            Answer(m, QMessageBox::Yes);
        })
        .then([&](QWidget* m) {
            const std::string text = kConverted + "\n\n" + kBackedUp + "\n" + backup;
            CheckMessageBox(m, {QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, text.c_str()});
            Answer(m, QMessageBox::Ok);
        });
    PressConvert(script);

    EXPECT_EQ(zel::test::ReadBytes(backup), original);
    EXPECT_NE(zel::test::ReadBytes(name), original);
    EXPECT_EQ(window.state().BackupFileName, backup);
    EXPECT_EQ(target->text().toStdString(), name);
}

TEST_F(ConvertButton, AnsweringNoWritesNothing) {
    const std::string name = dir.file("site.zel");
    const std::vector<std::uint8_t> original = zel::test::MakeOldFile(1);
    zel::test::WriteBytes(name, original);
    SetNames(name, name);

    ModalScript script;
    script.then([](QWidget* m) { Answer(m, QMessageBox::No); });
    PressConvert(script);

    EXPECT_EQ(zel::test::ReadBytes(name), original);
    EXPECT_FALSE(std::filesystem::exists(zel::test::PathFromUtf8(dir.file("site.bak"))));
}

TEST_F(ConvertButton, TargetNameGetsItsExtensionBackInTheField) {
    const std::string from = dir.file("site.zel");
    zel::test::WriteBytes(from, zel::test::MakeOldFile(0));
    SetNames(from, dir.file("new"));

    ModalScript script; // the target does not exist: no question, only the final message
    script.then([&](QWidget* m) {
        const std::string text = kConverted + "\n\n" + kBackedUp + "\n" + dir.file("new.bak");
        CheckMessageBox(m, {QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, text.c_str()});
        Answer(m, QMessageBox::Ok);
    });
    PressConvert(script);

    EXPECT_EQ(target->text().toStdString(), dir.file("new.zel"));
    EXPECT_TRUE(std::filesystem::exists(zel::test::PathFromUtf8(dir.file("new.zel"))));
}

struct AdapterCase {
    const char* what;
    std::function<bool(zel::Messages&)> call; // the answer, or true for a notice
    int icon, buttons, defaultButton, answer;
    bool expected;
};

TEST(MessageBoxes, TitleIconButtonsAndLineBreaks) {
    const std::vector<AdapterCase> cases = {
        {"inform", [](zel::Messages& m) { return m.Inform("一行目\r二行目"), true; },
         QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok, true},
        {"warn", [](zel::Messages& m) { return m.Warn("一行目\r二行目"), true; }, QMessageBox::Warning,
         QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok, true},
        {"yes", [](zel::Messages& m) { return m.AskYesNo("一行目\r二行目"); }, QMessageBox::Information,
         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::Yes, true},
        {"no", [](zel::Messages& m) { return m.AskYesNo("一行目\r二行目"); }, QMessageBox::Information,
         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No, false},
    };
    for (const AdapterCase& c : cases) {
        SCOPED_TRACE(c.what);
        zel::ui::MessageBoxes boxes(nullptr);
        ModalScript script;
        script.then([&](QWidget* m) {
            CheckMessageBox(m, {c.icon, c.buttons, c.defaultButton, "一行目\n二行目"});
            Answer(m, c.answer);
        });
        EXPECT_EQ(c.call(boxes), c.expected);
        EXPECT_EQ(script.pending(), 0u);
    }
}

TEST(MessageBoxes, EveryCarriageReturnIsALineBreak) {
    EXPECT_EQ(zel::ui::MessageBoxText("a\r\rb\rc").toStdString(), "a\n\nb\nc");
    EXPECT_EQ(zel::ui::MessageBoxText("データ").toStdString(), "データ");
}

} // namespace
