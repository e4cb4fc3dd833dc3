// The browse button: the chosen file goes into both fields; a cancel changes nothing.
#include "ModalScript.h"
#include "frmConv.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using zel::test::ModalScript;
using zel::ui::frmConv;

struct BrowseCase {
    const char* what;
    std::optional<QString> chosen;
    const char* expectedSource;
    const char* expectedTarget;
};

TEST(Browse, ChosenNameFillsBothFieldsAndCancelKeepsTypedNames) {
    const std::vector<BrowseCase> cases = {
        {"cancel", std::nullopt, "/typed/a.zel", "/typed/b.zel"},
        {"chosen", QStringLiteral("/data/現場.zel"), "/data/現場.zel", "/data/現場.zel"},
        {"capitals kept", QStringLiteral("/data/SITE.ZEL"), "/data/SITE.ZEL", "/data/SITE.ZEL"},
    };
    for (const BrowseCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto ws = std::make_unique<zel::WorkingSet>();
        frmConv window(*ws);
        int asked = 0;
        window.setFileChooser([&](QWidget* parent) {
            ++asked;
            EXPECT_EQ(parent, &window);
            return c.chosen;
        });
        auto* source = window.findChild<QLineEdit*>("imText1");
        auto* target = window.findChild<QLineEdit*>("imText2");
        source->setText("/typed/a.zel");
        target->setText("/typed/b.zel");
        ModalScript noMessage;
        window.findChild<QPushButton*>("Command1")->click();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(source->text().toStdString(), c.expectedSource);
        EXPECT_EQ(target->text().toStdString(), c.expectedTarget);
    }
}

// Waits until the dialog's folder listing holds `count` rows.
int RowsWhenLoaded(QFileDialog* dialog, const QString& folder, int count) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!model) return -1;
    int rows = -1;
    for (int i = 0; i < 200; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        rows = model->rowCount(model->index(folder));
        if (rows == count) break;
        QTest::qWait(10);
    }
    return rows;
}

TEST(Browse, OpenFileDialogListsDataFilesInAnyCaseAndReturnsTheFullName) {
    zel::test::TempDir dir;
    for (const char* leaf : {"site.zel", "OTHER.ZEL", "notes.txt"})
        zel::test::WriteBytes(dir.file(leaf), {1, 2, 3});
    const QString folder = QString::fromStdString(dir.path().string());

    ModalScript script;
    script.then([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        EXPECT_NE(dialog, nullptr);
        if (!dialog) {
            modal->close();
            return;
        }
        EXPECT_EQ(dialog->windowTitle().toStdString(), "カルトゥーバファイルを開く");
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("カルトゥーバファイル (*.ZEL)")});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->setDirectory(folder);
        EXPECT_EQ(RowsWhenLoaded(dialog, folder, 2), 2) << "site.zel and OTHER.ZEL, not notes.txt";
        // The user types the name of a listed file and presses Open.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_NE(name, nullptr);
        if (name) name->setText(QStringLiteral("site.zel"));
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept, which checks the name
    });
    const std::optional<QString> chosen = frmConv::ChooseWithDialog(nullptr);
    EXPECT_EQ(script.pending(), 0u);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir::toNativeSeparators(folder + QStringLiteral("/site.zel")));
}

TEST(Browse, CancelledOpenFileDialogGivesNothing) {
    ModalScript script;
    script.then([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_FALSE(frmConv::ChooseWithDialog(nullptr).has_value());
    EXPECT_EQ(script.pending(), 0u);
}

} // namespace
