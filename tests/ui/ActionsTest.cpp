// What the keys, buttons and drops of the conversion window do: Enter and Esc nothing, browse, a
// dropped file or one named on the command line, convert with real message boxes, the version window.
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <memory>

namespace {

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
    void SetNames(const QString& from, const QString& to) {
        source->setText(from);
        target->setText(to);
    }
    std::string Names() const { return (source->text() + "|" + target->text()).toStdString(); }

    // A message box the conversion shows: checked against the title, icon, buttons, default (Yes or
    // OK), text, and the target field's text at that moment, then answered.
    struct Box {
        Mb::Icon icon;
        Mb::StandardButtons buttons;
        std::string text, targetShown;
        Mb::StandardButton answer;
    };
    void Convert(const std::string& from, const std::string& to, const std::vector<Box>& boxes) {
        SetNames(QString::fromStdString(from), QString::fromStdString(to));
        std::deque<ModalScript::Step> steps;
        for (const Box& b : boxes)
            steps.push_back([=, this](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->windowTitle().toStdString(), "カルトゥーバ　データ変換");
                EXPECT_EQ(box->icon(), b.icon);
                EXPECT_EQ(box->standardButtons().toInt(), b.buttons.toInt());
                EXPECT_EQ(box->defaultButton(), box->button(b.buttons & Mb::Yes ? Mb::Yes : Mb::Ok));
                EXPECT_EQ(box->text().toStdString(), b.text);
                EXPECT_EQ(target->text().toStdString(), b.targetShown) << "the field shows the settled name";
                box->button(b.answer)->click();
            });
        ModalScript script(std::move(steps));
        Click("CmdConv");
    }
};

TEST_F(ConvWindow, EnterAndEscPressNoButtonAndKeepTheWindowOpen) {
    window.show();
    // Every button would show itself: Command1 the open-file dialog, Command2 the version window,
    // CmdConv a message box (the fields are empty), CmdClose by closing the window.
    ModalScript none;
    for (const char* name : {"imText1", "imText2", "Command1", "Command2", "CmdConv", "CmdClose"})
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            auto* w = window.findChild<QWidget*>(name);
            w->setFocus();
            QTest::keyClick(w, key);
            EXPECT_TRUE(window.isVisible()) << name << " " << key;
        }
}

TEST_F(ConvWindow, ChosenNameFillsBothFieldsAndCancelKeepsTypedNames) {
    for (const auto& chosen : {std::optional<QString>(), std::optional<QString>("/データ/現場.ZEL")}) {
        SetNames("/typed/a.zel", "/typed/b");
        window.setFileChooser([&](QWidget* parent) {
            EXPECT_EQ(parent, &window);
            return chosen;
        });
        ModalScript none;
        Click("Command1");
        EXPECT_EQ(Names(), chosen ? (*chosen + "|" + *chosen).toStdString() : "/typed/a.zel|/typed/b");
    }
}

TEST_F(ConvWindow, DroppedFileOrFileNamedOnTheCommandLineFillsBothFields) {
    zel::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("現場.ZEL")),
                  folder = QString::fromStdString(dir.file(""));
    zel::test::WriteBytes(file.toStdString(), {1});
    const std::string both = (file + "|" + file).toStdString(), typed = "/typed/a.zel|/typed/a.zel";
    // One file fills both fields; two files, a folder or a web address change nothing.
    const QUrl url = QUrl::fromLocalFile(file);
    for (const QList<QUrl>& urls : {QList{url}, QList{url, url}, QList{QUrl::fromLocalFile(folder)},
                                    QList{QUrl("https://example.org/a.zel")}}) {
        const bool fills = urls == QList{url};
        SetNames("/typed/a.zel", "/typed/a.zel");
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_EQ(enter.isAccepted(), fills);
        QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        EXPECT_EQ(Names(), fills ? both : typed) << urls.size();
    }
    // Started with no file name, or with one relative to the current folder.
    SetNames("", "");
    window.fillFromCommandLine({"zelconv"});
    EXPECT_EQ(Names(), "|");
    const QString current = QDir::currentPath();
    QDir::setCurrent(folder);
    window.fillFromCommandLine({"zelconv", "現場.ZEL"});
    QDir::setCurrent(current);
    EXPECT_EQ(Names(), both);
}

TEST_F(ConvWindow, ConvertRunsTheWorkflowWithRealMessageBoxes) {
    zel::test::TempDir dir;
    const std::string name = dir.file("site.zel"), backup = dir.file("site.bak"), none = dir.file("none.zel");
    const std::vector<std::uint8_t> original = zel::test::SampleFile(zel::FileVersion::V101);
    zel::test::WriteBytes(name, original);
    zel::test::WriteBytes(dir.file("copy.zel"), {1});
    const std::string overwrite = "データが存在します。上書きしてもよろしいですか？";
    Convert(name, dir.file("copy"),
            {{Mb::Information, Mb::Yes | Mb::No, overwrite, dir.file("copy.zel"), Mb::No}});
    EXPECT_EQ(zel::test::ListFolder(dir.path()), (std::vector<std::string>{"copy.zel", "site.zel"}));

    // Each carriage return of a message is a line break in its box.
    const std::string converted =
        "指定したファイルは最新バージョンに変換されました。\n\n"
        "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n";
    Convert(name, name,
            {{Mb::Information, Mb::Yes | Mb::No, overwrite, name, Mb::Yes},
             {Mb::Information, Mb::Ok, converted + backup, name, Mb::Ok}});
    EXPECT_EQ(zel::test::ReadBytes(backup), original);
    // The field shows the settled name also when the run ends early.
    Convert(none, dir.file("new"),
            {{Mb::Warning, Mb::Ok, "フォルダが見つかりませんでした\nファイル名：" + none, dir.file("new.zel"),
              Mb::Ok}});
}

TEST_F(ConvWindow, VersionWindowOpensModallyCentredAndEnterEscOkAndCloseBoxCloseIt) {
    window.show();
    WaitForFrame(window); // a user clicks only once the window manager has framed the window
    const std::function<void(QWidget*)> closeWays[] = {
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Return); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Enter); },
        [](QWidget* v) { QTest::keyClick(v->focusWidget(), Qt::Key_Escape); },
        [](QWidget* v) { v->findChild<QPushButton*>("cmdOK")->click(); },
        [](QWidget* v) { v->close(); }, // as the close box does
    };
    for (const auto& close : closeWays) {
        SCOPED_TRACE(&close - closeWays);
        ModalScript script({[&](QWidget* version) {
            EXPECT_NE(qobject_cast<zel::ui::frmVersion*>(version), nullptr);
            EXPECT_EQ(version->parentWidget(), &window);
            WaitForFrame(*version);
            EXPECT_LE((FrameOf(*version).center() - FrameOf(window).center()).manhattanLength(), 2)
                << "centred over the conversion window, frames included";
            close(version); // the script fails the test if this leaves the window open
        }});
        Click("Command2"); // returns when the version window has closed
        EXPECT_TRUE(window.findChildren<zel::ui::frmVersion*>().isEmpty()) << "created anew each time";
    }
}

} // namespace
