// The browse button: the chosen file goes into both fields; a cancel changes nothing.
#include "ModalScript.h"
#include "frmConv.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTest>

#include <memory>

namespace {

TEST(Browse, ChosenNameFillsBothFieldsAndCancelKeepsTypedNames) {
    const std::vector<std::pair<std::optional<QString>, QString>> cases = {
        {std::nullopt, ""}, {"/data/現場.zel", "/data/現場.zel"}, {"/data/SITE.ZEL", "/data/SITE.ZEL"}};
    for (const auto& [chosen, expected] : cases) {
        auto ws = std::make_unique<zel::WorkingSet>();
        zel::ui::frmConv window(*ws);
        window.setFileChooser([&](QWidget* parent) {
            EXPECT_EQ(parent, &window);
            return chosen;
        });
        auto* source = window.findChild<QLineEdit*>("imText1");
        auto* target = window.findChild<QLineEdit*>("imText2");
        source->setText("/typed/a.zel");
        target->setText("/typed/b");
        zel::test::ModalScript none;
        window.findChild<QPushButton*>("Command1")->click();
        EXPECT_EQ(source->text(), chosen ? expected : "/typed/a.zel");
        EXPECT_EQ(target->text(), chosen ? expected : "/typed/b");
    }
}

TEST(Browse, OpenFileDialogListsDataFilesInAnyCaseAndReturnsTheFullName) {
    zel::test::TempDir dir;
    for (const char* leaf : {"site.zel", "OTHER.ZEL", "notes.txt"})
        zel::test::WriteBytes(dir.file(leaf), {1});
    const QString folder = QString::fromStdString(dir.path().string());
    zel::test::ModalScript script({[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), "カルトゥーバファイルを開く");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"カルトゥーバファイル (*.ZEL)"});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->setDirectory(folder);
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(folder)) == 2; }, 3000))
            << "site.zel and OTHER.ZEL, not notes.txt";
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("site.zel"); // typed, then Open
        static_cast<QDialog*>(dialog)->accept();
    }});
    const std::optional<QString> chosen = zel::ui::frmConv::ChooseWithDialog(nullptr);
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(chosen.value_or("none"), QDir::toNativeSeparators(folder + "/site.zel"));
}

} // namespace
