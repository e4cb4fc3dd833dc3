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
    const QSize size(t.clientWidth, t.clientHeight);
    const bool sizable = t.border == table::Border::Sizable; // from its size up; else fixed, close box only
    const QSize most = sizable ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : size;
    EXPECT_EQ(std::tuple(window.size(), window.minimumSize(), window.maximumSize()),
              std::tuple(size, size, most));
    const auto boxes = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(window.windowFlags() & (boxes | Qt::WindowCloseButtonHint),
              (sizable ? boxes : 0) | Qt::WindowCloseButtonHint);
    EXPECT_EQ(window.windowType(), t.border == table::Border::FixedDialog ? Qt::Dialog : Qt::Window);
    for (const table::Control& c : t.controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromStdString(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.parent.empty() ? t.name : c.parent);
        EXPECT_EQ(w->geometry(), QRect(c.position.left, c.position.top, c.position.width, c.position.height));
        // The text shown: a picture button's accessible name (beside its face), a frame's title, else the
        // text.
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
};

TEST_F(ConvWindow, WindowsAreBuiltFromTheirTablesAndCentred) {
    CheckWindow(window, table::ConversionWindow());
    window.show();
    const QPoint offCentre = FrameOf(window).center() - window.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";
    zel::ui::frmVersion version;
    CheckWindow(version, table::VersionWindow());
    // The etched separator: grey over the top row of the white line.
    const QImage shot = version.grab().toImage();
    const qreal r = shot.devicePixelRatio();
    EXPECT_EQ(std::pair(shot.pixelColor(QPoint(100, 150) * r), shot.pixelColor(QPoint(100, 151) * r)),
              std::pair(QColor(128, 128, 128), QColor(255, 255, 255)));
}

TEST_F(ConvWindow, EnterAndEscInTheFieldsPressNoButtonAFocusedButtonAnswersEnterTabFollowsTheTable) {
    window.show();
    ModalScript none; // Command1, Command2 and CmdConv (with empty names) would each open a window
    for (const table::Control* c : table::ConversionWindow().focusChain()) {
        EXPECT_EQ(window.focusWidget()->objectName().toStdString(), c->name);
        if (qobject_cast<QLineEdit*>(window.focusWidget()))
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(window.focusWidget(), key);
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(window.isVisible()) << "CmdClose not pressed";
    window.findChild<QPushButton*>("CmdClose")->setFocus();
    QTest::keyClick(window.focusWidget(), Qt::Key_Return);
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
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        std::unique_ptr<zel::ui::frmBatch> batch(window.findChild<zel::ui::frmBatch*>());
        const bool local = urls.front().isLocalFile();
        EXPECT_EQ(std::tuple(enter.isAccepted(), Names(), batch && batch->isModal()),
                  std::tuple(local, urls == QList{url} ? both : typed, local && urls != QList{url}));
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
    const std::vector<std::uint8_t> original = zel::test::SampleFile(zel::FileVersion::V101);
    zel::test::WriteBytes(name, original);
    zel::test::WriteBytes(dir.file("copy.zel"), {1});
    // Each box: icon, buttons (the first the default), text, the target field meanwhile, the answer.
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
    EXPECT_EQ(zel::test::ListFolder(dir.path()), (std::vector<std::string>{"copy.zel", "site.zel"}));
    const std::string backup = dir.file("site.bak"), converted =
                                                         "指定したファイルは最新バージョンに変換されました。"
                                                         "\n\n念のため元のファイルをバックアップしました。"
                                                         "必要がなければ消して下さい。\n";
    convert(name, name,
            {{Mb::Information, Mb::Yes | Mb::No, overwrite, name, Mb::Yes},
             {Mb::Information, Mb::Ok, converted + backup, name, Mb::Ok}});
    EXPECT_EQ(zel::test::ReadBytes(backup), original);
}

// Files of a dropped folder, or named on the command line, converted in place: each file's name, format
// and the format column's text ("" for a file the folder does not stand for).
TEST_F(ConvWindow, BatchWindowListsConvertsStopsBetweenFilesAndSavesTheReport) {
    using zel::FileVersion, zel::ui::frmBatch;
    const std::tuple<std::string, FileVersion, std::string> files[] = {
        {"a.zel", FileVersion::V100, "1.00"},
        {"b.ZEL", FileVersion::V101, "1.01"},
        {"c.zel", FileVersion::V102, "最新"},
        {"sub/d.zel", FileVersion::V101, "1.01"},
        {"e.txt", FileVersion::V101, ""}};
    zel::test::TempDir dir;
    std::map<std::string, std::vector<std::uint8_t>> old; // by full name
    std::map<std::string, std::string> listed;            // the folder's rows: name, format
    std::vector<std::string> named;                       // the command line's files
    for (const auto& [leaf, version, shown] : files)
        for (const std::string folder : {"stop/", "all/"}) {
            std::filesystem::create_directories(
                zel::test::PathFromUtf8(dir.file(folder + leaf)).parent_path());
            zel::test::WriteBytes(dir.file(folder + leaf),
                                  old[dir.file(folder + leaf)] = zel::test::SampleFile(version));
            if (folder == "all/" && !shown.empty()) named.push_back(dir.file(folder + leaf));
            if (!shown.empty()) listed[leaf] = shown;
        }
    auto rows = [](frmBatch& batch, int column) {
        std::map<std::string, std::string> shown;
        auto* list = batch.findChild<QTreeWidget*>("lvFiles");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown[list->topLevelItem(i)->text(0).toStdString()] =
                list->topLevelItem(i)->text(column).toStdString();
        return shown;
    };
    // 変換開始 asks once for the 3 old files; a file is old, or complete in the new format and its row
    // tells a result.
    auto run = [&](frmBatch& batch, bool stop) {
        {
            ModalScript confirm({[](QWidget* box) {
                EXPECT_EQ(qobject_cast<QMessageBox*>(box)->text().toStdString(),
                          "3 "
                          "個のファイルをその場で最新形式に変換します。\n元のファイルは「名前."
                          "bak」にバックアップします（"
                          "同じ名前のファイルがあるときは作りません）。\nよろしいですか？");
                qobject_cast<QMessageBox*>(box)->button(Mb::Yes)->click();
            }});
            batch.findChild<QPushButton*>("cmdStart")->click();
        }
        if (stop) batch.findChild<QPushButton*>("cmdStop")->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !batch.running(); }, 30000));
        for (const auto& [shown, result] : rows(batch, 2)) {
            const std::string full = stop ? dir.file("stop/" + shown) : shown;
            const std::vector<std::uint8_t> now = zel::test::ReadBytes(full);
            const bool complete = std::string(now.begin(), now.begin() + 64) == zel::kSignature102;
            EXPECT_TRUE(now == old[full] || (complete && !result.empty())) << full << " is old or converted";
        }
    };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("stop")))});
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QPointer<frmBatch> dropped = window.findChild<frmBatch*>();
    ASSERT_TRUE(dropped && dropped->isModal());
    CheckWindow(*dropped, table::BatchWindow());
    EXPECT_EQ(rows(*dropped, 1), listed);
    // Grown, the list takes the room and the buttons keep to the bottom right.
    dropped->resize(800, 500);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dropped->findChild<QTreeWidget*>()->geometry() == QRect(8, 8, 784, 398); }));
    EXPECT_EQ(dropped->findChild<QPushButton*>("cmdClose")->geometry(), QRect(685, 465, 107, 25));
    run(*dropped, true);
    QTest::keyClick(dropped, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dropped; })) << "Esc closed it";

    // Several files on the command line: converted all; a row opens to its messages; the report.
    EXPECT_TRUE(frmBatch::TakesNames(named) && frmBatch::TakesNames({dir.file("all")}) &&
                !frmBatch::TakesNames({named.front()}));
    frmBatch batch(named);
    batch.show();
    run(batch, false);
    EXPECT_EQ(batch.findChild<QLabel*>("lblCounts")->text().toStdString(),
              "変換 3 件　変換不要 1 件　変換しない 0 件　失敗 0 件");
    auto* list = batch.findChild<QTreeWidget*>("lvFiles");
    {
        ModalScript opened({[&](QWidget* box) {
            EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().startsWith(list->currentItem()->text(0)));
            box->close();
        }});
        QTest::keyClick(list, Qt::Key_Return);
    }
    const std::string report = dir.file("report.csv");
    ModalScript saved({[&](QWidget* modal) {
        auto* save = qobject_cast<QFileDialog*>(modal);
        EXPECT_EQ(save->windowTitle().toStdString(), "変換結果を保存");
        EXPECT_TRUE(QRegularExpression("/all(/sub)?/変換結果_\\d{8}_\\d{6}\\.csv$")
                        .match(save->selectedFiles().value(0))
                        .hasMatch())
            << save->selectedFiles().value(0).toStdString();
        save->selectFile(QString::fromStdString(report));
        static_cast<QDialog*>(save)->accept();
    }});
    batch.findChild<QPushButton*>("cmdSave")->click();
    const std::vector<std::uint8_t> bytes = zel::test::ReadBytes(report);
    const std::string csv(bytes.begin(), bytes.end());
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 with a byte-order mark";
    for (const std::string& name : named)
        EXPECT_NE(csv.find(name), std::string::npos) << name;
}

TEST_F(ConvWindow, VersionWindowOpensModallyCentredAndEnterEscOkAndCloseBoxCloseIt) {
    window.show();
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
}

} // namespace
