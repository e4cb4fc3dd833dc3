// The window program speaks Japanese whatever the locale it runs under: the buttons of its message
// boxes (also without Qt's translation), the open-file dialog and its refusal, and message boxes
// that keep their lines whole and their title readable.
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <QTranslator>

namespace {

using zel::test::ModalScript;

// The texts of the buttons of the message box that `show` opens, then presses the first.
std::string ButtonsShownBy(const std::function<void()>& show) {
    std::string texts;
    ModalScript script({[&](QWidget* modal) {
        for (QAbstractButton* button : qobject_cast<QMessageBox*>(modal)->buttons())
            texts += button->text().toStdString() + " ";
        qobject_cast<QMessageBox*>(modal)->buttons().front()->click();
    }});
    show();
    return texts;
}

TEST(Japanese, MessageBoxButtonsReadJapaneseWithAndWithoutQtsTranslation) {
    QTranslator* qtTexts = zel::ui::InstallJapaneseTranslation();
    zel::ui::MessageBoxes messages(nullptr);
    for (bool installed : {true, false}) {
        if (!installed) QCoreApplication::removeTranslator(qtTexts);
        EXPECT_EQ(ButtonsShownBy([&] { messages.Inform("お知らせ"); }), "OK ") << installed;
        EXPECT_EQ(ButtonsShownBy([&] { messages.AskYesNo("質問？"); }), "はい いいえ ") << installed;
    }
    QCoreApplication::installTranslator(qtTexts);
}

// Qt's own dialog: title, filter, Japanese labels and types, data files listed in any letter case,
// a missing file refused in Japanese, an existing one returned with its full name.
TEST(OpenDialog, IsJapaneseListsDataFilesInAnyCaseAndRefusesAMissingFile) {
    const QTranslator* qtTexts = zel::ui::InstallJapaneseTranslation();
    ASSERT_FALSE(qtTexts->filePath().isEmpty())
        << "qtbase_ja.qm not found in " << zel::ui::TranslationFolders().join(", ").toStdString()
        << " (Debian: qt6-translations-l10n)";
    zel::test::TempDir dir;
    for (const char* leaf : {"site.zel", "OTHER.ZEL", "notes.txt"})
        zel::test::WriteBytes(dir.file(leaf), {1});
    const QString folder = QString::fromStdString(dir.path().string());
    QDir(folder).mkdir("現場");
    ModalScript script({[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), "カルトゥーバファイルを開く");
        EXPECT_EQ(dialog->nameFilters(), QStringList{"カルトゥーバファイル (*.ZEL)"});
        dialog->setDirectory(folder);
        QStringList shown;
        for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            shown << dialog->findChild<QLabel*>(label)->text();
        for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>("buttonBox")->buttons())
            shown << button->text();
        EXPECT_EQ(shown,
                  QStringList({"アドレス:", "ファイル名(&N):", "ファイルの種類:", "開く(&O)", "キャンセル"}));
        auto* model = dialog->findChild<QFileSystemModel*>();
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(folder)) == 3; }, 3000))
            << "現場, site.zel and OTHER.ZEL, not notes.txt";
        const QString folderType = model->data(model->index(folder + "/現場", 2)).toString();
        EXPECT_FALSE(folderType.isEmpty() || folderType.contains(QRegularExpression("[A-Za-z]")))
            << folderType.toStdString();

        // A name that names no file is refused and the dialog stays open; the refusal is modal
        // inside this step, so a script of its own answers it.
        auto typeAndOpen = [&](const QString& name) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            static_cast<QDialog*>(dialog)->accept();
        };
        {
            ModalScript refusal({[&](QWidget* box) {
                const QString text = qobject_cast<QMessageBox*>(box)->text();
                EXPECT_TRUE(text.contains("ファイルが見つかりません。")) << text.toStdString();
                qobject_cast<QMessageBox*>(box)->buttons().front()->click();
            }});
            typeAndOpen(folder + "/none.zel");
        }
        EXPECT_TRUE(dialog->isVisible());
        typeAndOpen("site.zel");
    }});
    EXPECT_EQ(zel::ui::frmConv::ChooseWithDialog(nullptr).value_or("none"),
              QDir::toNativeSeparators(folder + "/site.zel"));
}

// Lines laid out at the width MessageTextWidth gives: as few lines as the widest allowed line
// needs, and none of them a short tail. Several lines: the widest decides; a short text gets the
// narrowest width asked for.
TEST(Japanese, MessageLinesWrapEvenlyWithoutAShortTail) {
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString sentence = "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";
    for (int widest : {300, 420, 640})
        for (qsizetype length = 1; length <= 4 * sentence.size(); ++length) {
            SCOPED_TRACE(testing::Message() << "widest " << widest << ", " << length << " characters");
            const QString line = sentence.repeated(4).left(length);
            QTextLayout layout(line, font);
            layout.beginLayout();
            std::vector<qreal> lines;
            for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
                l.setLineWidth(zel::ui::MessageTextWidth(line, metrics, widest, 0));
                lines.push_back(l.naturalTextWidth());
            }
            layout.endLayout();
            const int fewest = std::max(1, (metrics.horizontalAdvance(line) + widest - 1) / widest);
            EXPECT_EQ(lines.size(), static_cast<std::size_t>(fewest));
            EXPECT_TRUE(lines.size() == 1 || lines.back() >= widest / 4) << lines.back();
        }
    EXPECT_EQ(zel::ui::MessageTextWidth("あ\n" + sentence + "\nい", metrics, 2000, 0),
              zel::ui::MessageTextWidth(sentence, metrics, 2000, 0));
    EXPECT_EQ(zel::ui::MessageTextWidth("OK", metrics, 640, 333), 333);
}

// The message boxes themselves: a line that Qt would wrap is shown whole, and a one-word message
// leaves the title room.
TEST(Japanese, MessageBoxShowsLinesWholeAndLeavesRoomForTheTitle) {
    zel::ui::MessageBoxes messages(nullptr);
    // Wider than Qt's own limit of half the screen less the icon, narrower than half the screen.
    const QFontMetrics metrics(QApplication::font());
    const int screenHalf = QGuiApplication::primaryScreen()->availableGeometry().width() / 2;
    const QString line = QString("あ").repeated((screenHalf - 20) / metrics.horizontalAdvance(u'あ'));
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int titleWidth = QFontMetrics(bold).horizontalAdvance("カルトゥーバ　データ変換");
    for (const QString& text : {line, QString("短い"), "短い\n" + line}) {
        ModalScript script({[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const QFontMetrics shown = label->fontMetrics();
            EXPECT_GE(label->width(), shown.horizontalAdvance(text.split('\n').back())) << text.size();
            EXPECT_LT(label->heightForWidth(label->width()),
                      shown.lineSpacing() * (text.count('\n') * 2 + 3) / 2)
                << "one line each";
            EXPECT_GE(box->width(), titleWidth + 100);
            box->buttons().front()->click();
        }});
        messages.Inform(text.toStdString());
    }
}

} // namespace
