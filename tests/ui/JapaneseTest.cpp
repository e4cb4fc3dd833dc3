// Japanese whatever the locale (message boxes, the open-file dialog); message boxes that wrap well.
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"

namespace {

using zel::test::ModalScript;

TEST(Japanese, MessageBoxesNameTheirButtonsInJapaneseKeepLinesWholeLeaveTheTitleRoomAndWrapEvenly) {
    QTranslator* qtTexts = zel::ui::InstallJapaneseTranslation();
    zel::ui::MessageBoxes messages(nullptr);
    // A line wider than Qt's own limit of half the screen less the icon, narrower than half the screen.
    const QFontMetrics metrics(QApplication::font());
    const int screenHalf = QGuiApplication::primaryScreen()->availableGeometry().width() / 2;
    const QString line = QString("あ").repeated((screenHalf - 20) / metrics.horizontalAdvance(u'あ'));
    for (bool installed : {true, false}) {
        if (!installed) QCoreApplication::removeTranslator(qtTexts);
        for (const QString& text : {line, QString("短い"), "短い\n" + line}) {
            std::string buttons;
            const ModalScript::Step check = [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                buttons += box->icon() == QMessageBox::Warning ? "warning: " : "";
                for (QAbstractButton* button : box->buttons())
                    buttons += button->text().toStdString() + " ";
                auto* label = box->findChild<QLabel*>("qt_msgbox_label");
                const QFontMetrics shown = label->fontMetrics();
                EXPECT_GE(label->width(), shown.horizontalAdvance(text.split('\n').back())) << "whole";
                EXPECT_LT(label->heightForWidth(label->width()),
                          shown.lineSpacing() * (text.count('\n') * 2 + 3) / 2)
                    << "one line each";
                EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->windowTitle()) + 100)
                    << "title";
                box->buttons().front()->click();
            };
            ModalScript script({check, check, check});
            messages.Inform(text.toStdString());
            messages.Warn(text.toStdString());
            messages.AskYesNo(text.toStdString());
            EXPECT_EQ(buttons, "OK warning: OK はい いいえ ") << installed;
        }
    }
    QCoreApplication::installTranslator(qtTexts);
    // At the width MessageTextWidth gives, as few lines as the widest allowed needs, and no short tail.
    const QString sentence = "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";
    for (int widest : {300, 420, 640})
        for (qsizetype length = 1; length <= 4 * sentence.size(); ++length) {
            const QString text = sentence.repeated(4).left(length);
            QTextLayout layout(text, QApplication::font());
            layout.beginLayout();
            std::vector<qreal> lines;
            for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
                l.setLineWidth(zel::ui::MessageTextWidth(text, metrics, widest, 0));
                lines.push_back(l.naturalTextWidth());
            }
            layout.endLayout();
            const int fewest = std::max(1, (metrics.horizontalAdvance(text) + widest - 1) / widest);
            EXPECT_EQ(lines.size(), static_cast<std::size_t>(fewest)) << widest << ": " << text.toStdString();
            EXPECT_TRUE(lines.size() == 1 || lines.back() >= widest / 4)
                << widest << ": " << text.toStdString();
        }
}

// Qt's own dialog: title, filter, Japanese labels, a missing file refused in Japanese, an existing one
// returned with its full name, nothing when cancelled.
TEST(OpenDialog, IsJapaneseRefusesAMissingFileAndReturnsTheFullName) {
    ASSERT_FALSE(zel::ui::InstallJapaneseTranslation()->filePath().isEmpty()) << "qt6-translations-l10n?";
    // Texts that Qt's file lacks are completed, others of their context left alone.
    const char* provider = "QAbstractFileIconProvider";
    EXPECT_EQ(QCoreApplication::translate(provider, "Drive") +
                  QCoreApplication::translate(provider, "Nothing"),
              "ドライブNothing");
    zel::test::TempDir dir;
    zel::test::WriteBytes(dir.file("site.zel"), {1});
    const QString folder = QString::fromStdString(dir.path().string());
    ModalScript script(
        {[&](QWidget* modal) {
             auto* dialog = qobject_cast<QFileDialog*>(modal);
             EXPECT_EQ(dialog->windowTitle().toStdString(), "カルトゥーバファイルを開く");
             EXPECT_EQ(dialog->nameFilters(), QStringList{"カルトゥーバファイル (*.ZEL)"});
             dialog->setDirectory(folder);
             QStringList shown;
             for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                 shown << dialog->findChild<QLabel*>(label)->text();
             for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
                 shown << button->text();
             EXPECT_EQ(shown, QStringList({"アドレス:", "ファイル名(&N):", "ファイルの種類:", "開く(&O)",
                                           "キャンセル"}));
             ModalScript refusal({[&](QWidget* box) { // modal inside this step
                 EXPECT_TRUE(qobject_cast<QMessageBox*>(box)->text().contains("ファイルが見つかりません。"));
                 box->close();
             }});
             dialog->findChild<QLineEdit*>("fileNameEdit")->setText(folder + "/none.zel");
             static_cast<QDialog*>(dialog)->accept();
             dialog->findChild<QLineEdit*>("fileNameEdit")->setText("site.zel");
             static_cast<QDialog*>(dialog)->accept();
         },
         [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); }});
    EXPECT_EQ(zel::ui::frmConv::ChooseWithDialog(nullptr).value_or("none"),
              QDir::toNativeSeparators(folder + "/site.zel"));
    EXPECT_EQ(zel::ui::frmConv::ChooseWithDialog(nullptr), std::nullopt);
}

} // namespace
