// Japanese whatever the locale (message boxes, the open-file dialog); message boxes that keep lines whole.
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"

namespace {

using zel::test::ModalScript;

TEST(Japanese, MessageBoxesNameTheirButtonsInJapaneseKeepLinesWholeAndLeaveTheTitleRoom) {
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
}

// Qt's own dialog in Japanese: a missing file refused, an existing one's full name, nothing if cancelled.
TEST(OpenDialog, IsJapaneseRefusesAMissingFileAndReturnsTheFullName) {
    ASSERT_FALSE(zel::ui::InstallJapaneseTranslation()->filePath().isEmpty()) << "qt6-translations-l10n?";
    zel::test::TempDir dir;
    zel::test::WriteBytes(dir.file("site.zel"), {1});
    const QString folder = QString::fromStdString(dir.path().string());
    ModalScript script(
        {[&](QWidget* modal) {
             auto* dialog = qobject_cast<QFileDialog*>(modal);
             EXPECT_EQ(dialog->windowTitle().toStdString(), "カルトゥーバファイルを開く");
             EXPECT_EQ(dialog->nameFilters(), QStringList{"カルトゥーバファイル (*.ZEL)"});
             dialog->setDirectory(folder);
             EXPECT_EQ(dialog->findChild<QLabel*>("fileNameLabel")->text(), "ファイル名(&N):");
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
