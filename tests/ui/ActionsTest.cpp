// What the keys and buttons of the conversion window do: Enter and Esc nothing, browse, convert with
// real message boxes, and the version window.
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <memory>

namespace {

using zel::test::Box;
using zel::test::FrameOf;
using zel::test::ModalScript;
using zel::test::WaitForFrame;
using Mb = QMessageBox;

struct ConvWindow : ::testing::Test {
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window{*ws};
    QLineEdit* source = window.findChild<QLineEdit*>("imText1");
    QLineEdit* target = window.findChild<QLineEdit*>("imText2");
    void Click(const char* button) { window.findChild<QPushButton*>(button)->click(); }
};

TEST_F(ConvWindow, EnterAndEscPressNoButtonAndKeepTheWindowOpen) {
    window.show();
    // Every button would show itself: Command1 the open-file dialog, Command2 the version window,
    // CmdConv a message box (the fields are empty), CmdClose by closing the window.
    ModalScript none;
    for (const char* name : {"imText1", "imText2", "Command1", "Command2", "CmdConv", "CmdClose"}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            auto* w = window.findChild<QWidget*>(name);
            w->setFocus();
            QTest::keyClick(w, key);
            EXPECT_TRUE(window.isVisible()) << name << " " << key;
        }
    }
}

TEST_F(ConvWindow, ChosenNameFillsBothFieldsAndCancelKeepsTypedNames) {
    for (const auto& chosen : {std::optional<QString>(), std::optional<QString>("/データ/現場.ZEL")}) {
        source->setText("/typed/a.zel");
        target->setText("/typed/b");
        window.setFileChooser([&](QWidget* parent) {
            EXPECT_EQ(parent, &window);
            return chosen;
        });
        ModalScript none;
        Click("Command1");
        EXPECT_EQ(source->text(), chosen.value_or("/typed/a.zel"));
        EXPECT_EQ(target->text(), chosen.value_or("/typed/b"));
    }
}

TEST_F(ConvWindow, DroppedFileOrFileNamedOnTheCommandLineFillsBothFields) {
    zel::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("現場.ZEL")),
                  folder = QString::fromStdString(dir.file(""));
    zel::test::WriteBytes(file.toStdString(), {1});
    const QString typed = "/typed/a.zel";
    struct Drop {
        QList<QUrl> urls;
        QString filled; // what both fields hold afterwards
    };
    for (const Drop& drop :
         {Drop{{QUrl::fromLocalFile(file)}, file},
          Drop{{QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)}, typed},
          Drop{{QUrl::fromLocalFile(folder)}, typed}, Drop{{QUrl("https://example.org/a.zel")}, typed}}) {
        source->setText(typed);
        target->setText(typed);
        QMimeData data;
        data.setUrls(drop.urls);
        const QPoint middle = window.rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_EQ(enter.isAccepted(), drop.filled != typed) << drop.urls.size();
        QDropEvent dropped(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        EXPECT_EQ(source->text(), drop.filled);
        EXPECT_EQ(target->text(), drop.filled);
    }
    // Started with a file name (relative to the current folder), or with none.
    source->clear();
    target->clear();
    window.fillFromCommandLine({"zelconv"});
    EXPECT_EQ(source->text() + target->text(), "");
    const QString current = QDir::currentPath();
    QDir::setCurrent(folder);
    window.fillFromCommandLine({"zelconv", "現場.ZEL"});
    QDir::setCurrent(current);
    EXPECT_EQ(source->text(), QDir::toNativeSeparators(file));
    EXPECT_EQ(target->text(), QDir::toNativeSeparators(file));
}

TEST(OpenDialog, ListsDataFilesInAnyCaseAndReturnsTheFullName) {
    zel::test::TempDir dir;
    for (const char* leaf : {"site.zel", "OTHER.ZEL", "notes.txt"})
        zel::test::WriteBytes(dir.file(leaf), {1});
    const QString folder = QString::fromStdString(dir.path().string());
    ModalScript script({[&](QWidget* modal) {
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

TEST_F(ConvWindow, ConvertRunsTheWorkflowWithRealMessageBoxes) {
    zel::test::TempDir dir;
    const std::string name = dir.file("site.zel"), backup = dir.file("site.bak"), none = dir.file("none.zel");
    const std::vector<std::uint8_t> original = zel::test::SampleFile(zel::FileVersion::V101);
    zel::test::WriteBytes(name, original);
    auto press = [&](const std::string& from, const std::string& to, std::deque<ModalScript::Step> steps) {
        source->setText(QString::fromStdString(from));
        target->setText(QString::fromStdString(to));
        ModalScript script(std::move(steps));
        Click("CmdConv");
        EXPECT_EQ(script.pending(), 0u) << "a message box was not shown";
    };
    // The question, asked while the target field already shows the settled name.
    auto question = [&](Mb::StandardButton answer, const std::string& settled) {
        ModalScript::Step box = Box(Mb::Information, Mb::Yes | Mb::No, Mb::Yes,
                                    "データが存在します。上書きしてもよろしいですか？", answer);
        return [=, this](QWidget* w) {
            EXPECT_EQ(target->text().toStdString(), settled);
            box(w);
        };
    };
    zel::test::WriteBytes(dir.file("copy.zel"), {1});
    press(name, dir.file("copy"), {question(Mb::No, dir.file("copy.zel"))});
    EXPECT_EQ(zel::test::ListFolder(dir.path()), (std::vector<std::string>{"copy.zel", "site.zel"}));

    // Each carriage return of a message is a line break in its box.
    const std::string converted =
        "指定したファイルは最新バージョンに変換されました。\n\n"
        "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n";
    press(name, name,
          {question(Mb::Yes, name), Box(Mb::Information, Mb::Ok, Mb::Ok, converted + backup, Mb::Ok)});
    EXPECT_EQ(zel::test::ReadBytes(backup), original);
    EXPECT_EQ(window.state().backupFileName, backup);

    // The settled target name is written back into its field also when the run ends early.
    press(none, dir.file("new"),
          {Box(Mb::Warning, Mb::Ok, Mb::Ok, "フォルダが見つかりませんでした\nファイル名：" + none, Mb::Ok)});
    EXPECT_EQ(target->text().toStdString(), dir.file("new.zel"));
}

TEST_F(ConvWindow, VersionWindowOpensModallyAndEnterEscOkAndCloseBoxCloseIt) {
    window.show();
    // A user clicks only once the window is on the screen and the window manager has framed it.
    WaitForFrame(window);
    const std::function<void(QWidget*)> closeWays[] = {
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Return); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Enter); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Escape); },
        [](QWidget* v) { v->findChild<QPushButton*>("cmdOK")->click(); },
        [](QWidget* v) { v->close(); },
    };
    for (const auto& close : closeWays) {
        ModalScript script({[&](QWidget* modal) {
            auto* version = qobject_cast<zel::ui::frmVersion*>(modal);
            ASSERT_NE(version, nullptr);
            EXPECT_EQ(version->parentWidget(), &window);
            EXPECT_EQ(version->findChild<QLabel*>("lblVersion")->text().toStdString(), "バージョン 1.00");
            // Frames included, as the user sees them once the window manager has drawn them.
            WaitForFrame(*version);
            EXPECT_LE((FrameOf(*version).center() - FrameOf(window).center()).manhattanLength(), 2);
            close(modal); // the script fails the test if this leaves the window open
        }});
        Click("Command2"); // returns when it has closed
        EXPECT_EQ(script.pending(), 0u) << "way " << &close - closeWays;
        EXPECT_TRUE(window.findChildren<zel::ui::frmVersion*>().isEmpty()) << "created anew each time";
    }
}

} // namespace
