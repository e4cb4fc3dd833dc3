// The Convert button runs the whole conversion and shows its messages in real message boxes.
#include "MessageBoxes.h"
#include "ModalScript.h"
#include "frmConv.h"
#include "support/Samples.h"
#include "support/TestSupport.h"

#include <QLineEdit>

#include <filesystem>
#include <memory>

namespace {

using zel::test::Box;
using zel::test::ModalScript;
using Mb = QMessageBox;

const std::string kConverted = "指定したファイルは最新バージョンに変換されました。";
const std::string kBackedUp =
    "\n\n念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n";

struct ConvertButton : ::testing::Test {
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window{*ws};
    zel::test::TempDir dir;
    QLineEdit* target = window.findChild<QLineEdit*>("imText2");

    void Press(const std::string& from, const std::string& to, std::deque<ModalScript::Step> steps) {
        window.findChild<QLineEdit*>("imText1")->setText(QString::fromStdString(from));
        target->setText(QString::fromStdString(to));
        ModalScript script(std::move(steps));
        window.findChild<QPushButton*>("CmdConv")->click();
        EXPECT_EQ(script.pending(), 0u) << "a message box was not shown";
    }
};

TEST_F(ConvertButton, InPlaceConversionAsksThenNamesTheBackup) {
    const std::string name = dir.file("site.zel"), backup = dir.file("site.bak");
    const std::vector<std::uint8_t> original = zel::test::MakeOldFile(1);
    zel::test::WriteBytes(name, original);
    Press(name, name,
          {Box(Mb::Information, Mb::Yes | Mb::No, Mb::Yes, "データが存在します。上書きしてもよろしいですか？",
               Mb::Yes),
           Box(Mb::Information, Mb::Ok, Mb::Ok, kConverted + kBackedUp + backup, Mb::Ok)});
    EXPECT_EQ(zel::test::ReadBytes(backup), original);
    EXPECT_NE(zel::test::ReadBytes(name), original);
    EXPECT_EQ(window.state().BackupFileName, backup);
}

TEST_F(ConvertButton, EmptyFieldIsReportedAndTargetNameIsWrittenBack) {
    Press("", dir.file("a"),
          {Box(Mb::Information, Mb::Ok, Mb::Ok,
               "ファイル名が指定されていません。ファイル名を指定して下さい。", Mb::Ok)});
    const std::string from = dir.file("site.zel");
    zel::test::WriteBytes(from, zel::test::MakeOldFile(0));
    Press(from, dir.file("new"),
          {Box(Mb::Information, Mb::Ok, Mb::Ok, kConverted + kBackedUp + dir.file("new.bak"), Mb::Ok)});
    EXPECT_EQ(target->text().toStdString(), dir.file("new.zel"));
    EXPECT_TRUE(std::filesystem::exists(zel::test::PathFromUtf8(dir.file("new.zel"))));
}

TEST(MessageBoxes, WarningIconAndAnswersWithEachCarriageReturnALineBreak) {
    zel::ui::MessageBoxes boxes(nullptr);
    ModalScript script({Box(Mb::Warning, Mb::Ok, Mb::Ok, "一\n\n二", Mb::Ok),
                        Box(Mb::Information, Mb::Yes | Mb::No, Mb::Yes, "一\n二", Mb::No)});
    boxes.Warn("一\r\r二");
    EXPECT_FALSE(boxes.AskYesNo("一\r二"));
    EXPECT_EQ(script.pending(), 0u);
}

} // namespace
