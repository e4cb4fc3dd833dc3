// The Qt windows built from their tables and placed; what keys, buttons and drops do in them.
#include "support/SampleFiles.h"
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/frmBatch.h"
#include "ui/qt/frmConv.h"
#include "ui/qt/frmVersion.h"
#include "ui/table/WindowTable.h"

#include <map>
#include <memory>

namespace {

namespace table = zel::ui::table;
using namespace zel::test; // FrameOf, ModalScript
using Mb = QMessageBox;

void CheckWindow(QWidget& window, const table::Window& t) {
    EXPECT_EQ(window.windowTitle().toStdString(), t.title);
    const QSize size(t.clientWidth, t.clientHeight),
        most = t.border == table::Border::Sizable ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : size;
    EXPECT_EQ(std::pair(window.minimumSize(), window.maximumSize()), std::pair(size, most));
    const auto boxes = Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    EXPECT_EQ(window.windowFlags() & boxes, most == size ? Qt::WindowCloseButtonHint : boxes);
    EXPECT_EQ(window.windowType(), t.border == table::Border::FixedDialog ? Qt::Dialog : Qt::Window);
    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromStdString(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.parent.empty() ? t.name : c.parent);
        EXPECT_EQ(w->geometry(), QRect(c.position.left, c.position.top, c.position.width, c.position.height));
        // Shown: a picture button's accessible name (beside its face), a frame's title, else the text.
        auto* button = qobject_cast<QPushButton*>(w);
        const bool pictured = c.picture == table::Picture::ConvertFace;
        EXPECT_EQ(button && !button->icon().isNull(), pictured);
        const QString text = pictured
                                 ? button->accessibleName()
                                 : w->property(qobject_cast<QGroupBox*>(w) ? "title" : "text").toString();
        EXPECT_EQ(text.toStdString(), c.text);
        const table::Font& font = t.fontOf(c);
        EXPECT_EQ(std::tuple(w->font().family().toStdString(), w->font().pointSize(), w->font().bold()),
                  std::tuple(font.face, font.points, font.bold));
    }
}

struct ConvWindow : ::testing::Test {
    std::unique_ptr<zel::WorkingSet> ws = std::make_unique<zel::WorkingSet>();
    zel::ui::frmConv window{*ws};

    QLineEdit* source = window.findChild<QLineEdit*>("imText1");
    QLineEdit* target = window.findChild<QLineEdit*>("imText2");
    void Click(const char* button) { window.findChild<QPushButton*>(button)->click(); }
    void Type(const QString& from, const QString& to) {
        source->setText(from);
        target->setText(to);
    }
    std::string Names() const { return (source->text() + "|" + target->text()).toStdString(); }
    // Drags the names over the window and drops them: whether the window took the drag.
    bool Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        return enter.isAccepted();
    }
};

TEST_F(ConvWindow, WindowsAreBuiltCentredTheVersionWindowClosesAndKeysFollowTheTables) {
    CheckWindow(window, table::ConversionWindow());
    window.show();
    const QPoint offCentre = FrameOf(window).center() - window.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";
    zel::ui::frmVersion about;
    CheckWindow(about, table::VersionWindow());
    // The version window opens modally, centred over this one, and Enter, Esc, OK and the close box close it.
    window.move(FrameOf(window).topLeft() + QPoint(90, 45)); // away from the screen's centre
    FrameOf(window); // a user clicks only once the window manager has framed the window
    for (int way = 0; way < 5; ++way) {
        ModalScript script({[&](QWidget* version) {
            EXPECT_TRUE(qobject_cast<zel::ui::frmVersion*>(version) && version->parentWidget() == &window);
            EXPECT_LE((FrameOf(*version).center() - FrameOf(window).center()).manhattanLength(), 2);
            const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape};
            if (way < 3) QTest::keyClick(version->focusWidget(), keys[way]);
            if (way == 3) version->findChild<QPushButton*>("cmdOK")->click();
            if (way == 4) version->close(); // as the close box does
        }});
        Click("Command2"); // returns when the version window has closed
        EXPECT_TRUE(window.findChildren<zel::ui::frmVersion*>().isEmpty()) << "created anew each time";
    }
    // Enter and Esc in the fields press no button, a focused button answers Enter, Tab follows the table.
    ModalScript none; // Command1, Command2 and CmdConv (with empty names) would each open a window
    for (const table::Control* c : table::ConversionWindow().focusChain()) {
        EXPECT_EQ(window.focusWidget()->objectName().toStdString(), c->name);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab})
            if (key == Qt::Key_Tab || qobject_cast<QLineEdit*>(window.focusWidget()))
                QTest::keyClick(window.focusWidget(), key);
    }
    EXPECT_TRUE(window.isVisible()) << "CmdClose not pressed";
    QTest::keyClick(window.findChild<QPushButton*>("CmdClose"), Qt::Key_Return);
    EXPECT_FALSE(window.isVisible()) << "the focused CmdClose pressed";
}

TEST_F(ConvWindow, ChosenDroppedOrCommandLineFileFillsBothFields) {
    zel::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("現場.ZEL")),
                  folder = QString::fromStdString(dir.file(""));
    zel::test::WriteBytes(file.toStdString(), {1});
    const std::string both = (file + "|" + file).toStdString(), typed = "/a.zel|/b";
    ModalScript none;
    for (const auto& chosen : {std::optional<QString>(), std::optional<QString>(file)}) {
        Type("/a.zel", "/b");
        window.setFileChooser([&](QWidget* parent) { return parent == &window ? chosen : std::nullopt; });
        Click("Command1");
        EXPECT_EQ(Names(), chosen ? both : typed);
    }
    // Dropped: one file fills both fields; two files or a folder open the batch window over the window
    // and change nothing; a web address is refused.
    const QUrl url = QUrl::fromLocalFile(file);
    for (const QList<QUrl>& urls : {QList{url}, QList{url, url}, QList{QUrl::fromLocalFile(folder)},
                                    QList{QUrl("https://example.org/a.zel")}}) {
        Type("/a.zel", "/b");
        const bool taken = Drop(urls);
        std::unique_ptr<zel::ui::frmBatch> batch(window.findChild<zel::ui::frmBatch*>());
        const bool local = urls.front().isLocalFile();
        EXPECT_EQ(std::tuple(taken, Names(), batch && batch->isModal()),
                  std::tuple(local, urls == QList{url} ? both : typed, local && urls != QList{url}));
    }
    // The program's command line: several names or a folder open the batch window alone.
    std::string one = file.toStdString(), all = folder.toStdString(), a = "/a.zel", b = "/b.zel";
    char program[] = "zelconv";
    for (auto [argv, batch] : {std::pair(std::vector{program, one.data()}, false),
                               {{program, all.data()}, true},
                               {{program, a.data(), b.data()}, true},
                               {{program}, false}}) {
        const auto shown = zel::ui::WindowForArguments(*ws, static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(qobject_cast<zel::ui::frmBatch*>(shown.get()) != nullptr, batch) << argv.size();
    }
    // Named on the command line, relative to the current folder, or not named.
    window.fillFromCommandLine({"zelconv"});
    EXPECT_EQ(Names(), typed);
    const QString current = QDir::currentPath();
    QDir::setCurrent(folder);
    window.fillFromCommandLine({"zelconv", "現場.ZEL"});
    QDir::setCurrent(current);
    EXPECT_EQ(Names(), both);
}

TEST_F(ConvWindow, ConvertRunsTheWorkflowWithRealMessageBoxes) {
    zel::test::TempDir dir;
    const std::string name = dir.file("site.zel");
    zel::test::WriteBytes(name, zel::test::SampleFile(zel::FileVersion::V101));
    zel::test::WriteBytes(dir.file("copy.zel"), {1});
    // Each box: icon, buttons (the first the default), text, the target field meanwhile, the answer. What
    // the files become is the workflow's (ConversionTest); a wrong answer would open another box here.
    using Box = std::tuple<Mb::Icon, Mb::StandardButtons, std::string, std::string, Mb::StandardButton>;
    auto convert = [&](const std::string& from, const std::string& to, const std::vector<Box>& boxes) {
        Type(QString::fromStdString(from), QString::fromStdString(to));
        std::deque<ModalScript::Step> steps;
        for (const Box& b : boxes)
            steps.push_back([=, this](QWidget* modal) {
                const auto& [icon, buttons, text, targetShown, answer] = b;
                auto* box = qobject_cast<QMessageBox*>(modal);
                EXPECT_EQ(
                    std::tuple(box->windowTitle().toStdString(), box->icon(), box->standardButtons().toInt(),
                               box->defaultButton() == box->button(buttons & Mb::Yes ? Mb::Yes : Mb::Ok)),
                    std::tuple("カルトゥーバ　データ変換", icon, buttons.toInt(), true));
                EXPECT_EQ(box->text().toStdString(), text);
                EXPECT_EQ(target->text().toStdString(), targetShown) << "the field shows the settled name";
                box->button(answer)->click();
            });
        ModalScript script(std::move(steps));
        Click("CmdConv");
    };
    const std::string overwrite = "データが存在します。上書きしてもよろしいですか？";
    convert(name, dir.file("copy"),
            {{Mb::Information, Mb::Yes | Mb::No, overwrite, dir.file("copy.zel"), Mb::No}});
    const std::string converted =
        "指定したファイルは最新バージョンに変換されました。\n\n"
        "念のため元のファイルをバックアップしました。必要がなければ消して下さい。\n";
    convert(name, name,
            {{Mb::Information, Mb::Yes | Mb::No, overwrite, name, Mb::Yes},
             {Mb::Information, Mb::Ok, converted + dir.file("site.bak"), name, Mb::Ok}});
}

// A dropped or named folder: listed, converted after one question, drawn, resized, reported, undone.
TEST_F(ConvWindow, BatchWindowListsConvertsAndSavesTheReport) {
    using zel::ui::frmBatch;
    TempDir dir;
    WriteBytes(dir.file("a.zel"), SampleFile(zel::FileVersion::V100));
    WriteBytes(dir.file("c.zel"), SampleFile(zel::FileVersion::V102));
    const std::map<std::string, std::string> listed{{"a.zel", "1.00"}, {"c.zel", "最新"}}, // the rows
        converted{{"a.zel", "変換しました"}, {"c.zel", "変換不要"}};
    auto rows = [](frmBatch& batch, int column) {
        std::map<std::string, std::string> shown;
        for (QTreeWidgetItem* row : batch.findChild<QTreeWidget*>()->findItems("", Qt::MatchContains))
            shown[row->text(0).toStdString()] = row->text(column).toStdString();
        return shown;
    };
    Drop({QUrl::fromLocalFile(QString::fromStdString(dir.file("")))});
    QPointer<frmBatch> dropped = window.findChild<frmBatch*>();
    ASSERT_TRUE(dropped && dropped->isModal());
    CheckWindow(*dropped, table::BatchWindow());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dropped->listing(); }));
    EXPECT_EQ(rows(*dropped, 1), listed);
    dropped->resize(800, 500); // the list takes the room; the buttons keep to the bottom right
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dropped->findChild<QTreeWidget*>()->geometry() == QRect(8, 8, 784, 398); }));
    EXPECT_EQ(dropped->findChild<QPushButton*>("cmdClose")->geometry(), QRect(685, 465, 107, 25));
    QTest::keyClick(dropped, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dropped; }));
    frmBatch batch({dir.file("")}); // named on the command line: the program's window
    batch.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !batch.listing(); }));
    { // 変換開始 asks once for the old files.
        ModalScript confirm({[&](QWidget* box) {
            EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().startsWith("1 個の"));
            qobject_cast<QMessageBox*>(box)->button(Mb::Yes)->click();
        }});
        batch.findChild<QPushButton*>("cmdStart")->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !batch.running() && !batch.listing(); }, 30000));
    }
    EXPECT_EQ(rows(batch, 2), converted);
    auto counts = [&] { return batch.findChild<QLabel*>("lblCounts")->text().toStdString(); };
    EXPECT_EQ(counts(), "変換 1 件　変換不要 1 件　変換しない 0 件　失敗 0 件");
    {
        ModalScript saved({[&](QWidget* modal) {
            auto* save = qobject_cast<QFileDialog*>(modal);
            EXPECT_TRUE(save->selectedFiles().value(0).contains(
                QRegularExpression("/変換結果_\\d{8}_\\d{6}\\.csv$")));
            save->selectFile(QString::fromStdString(dir.file("report.csv")));
            static_cast<QDialog*>(save)->accept();
        }});
        batch.findChild<QPushButton*>("cmdSave")->click();
        EXPECT_FALSE(ReadBytes(dir.file("report.csv")).empty()); // its text: BatchTest
    }
    // 元に戻す asks once (はい the default) and puts a.zel back (the bytes: BatchTest); the rows and counts
    // say so.
    ModalScript confirm({[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        EXPECT_EQ(box->text().toStdString(), "1 個のファイルを変換前に戻します。よろしいですか？");
        box->defaultButton()->click();
    }});
    ASSERT_TRUE(batch.findChild<QPushButton*>("cmdUndo")->isEnabled());
    batch.findChild<QPushButton*>("cmdUndo")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !batch.running() && counts().starts_with("戻した"); }));
    EXPECT_TRUE(rows(batch, 2)["a.zel"].starts_with("戻しました：a.bak（"));
    EXPECT_EQ(counts(), "戻した 1 件　戻す必要なし 0 件　戻さない 1 件　失敗 0 件");
}

} // namespace
