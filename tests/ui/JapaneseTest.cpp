// The window program speaks Japanese whatever the locale it runs under: the buttons of its message
// boxes (also without Qt's translation), the open-file dialog and its refusal, and message boxes
// that keep their lines whole and their title readable.
#include "support/TestSupport.h"
#include "ui/ModalScript.h"
#include "ui/qt/MessageBoxes.h"
#include "ui/qt/Translations.h"
#include "ui/qt/frmConv.h"
#include "workflow/ProgramInfo.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextLayout>
#include <QTranslator>

#include <map>
#include <vector>

namespace {

using zel::test::ModalScript;
using Mb = QMessageBox;

// Latin letters left in a text once its keyboard mnemonic ("(&N)" or a leading "&") is taken out:
// the remains of an untranslated English text.
QString LatinLeft(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\(&[A-Za-z]\\)|&(?=[A-Za-z])")));
    return QString(text).remove(QRegularExpression(QStringLiteral("[^A-Za-z]")));
}

// The text of each button of the message box that `show` opens, by its standard button.
std::map<Mb::StandardButton, std::string> ButtonsShownBy(const std::function<void()>& show) {
    std::map<Mb::StandardButton, std::string> texts;
    ModalScript script({[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            texts[box->standardButton(button)] = button->text().toStdString();
        box->buttons().front()->click();
    }});
    show();
    EXPECT_EQ(script.pending(), 0u);
    return texts;
}

TEST(Japanese, MessageBoxButtonsReadJapaneseWithAndWithoutQtsTranslation) {
    QTranslator* qtTexts = zel::ui::InstallJapaneseTranslation();
    zel::ui::MessageBoxes messages(nullptr);
    using Buttons = std::map<Mb::StandardButton, std::string>;
    const Buttons ok{{Mb::Ok, "OK"}}, yesNo{{Mb::Yes, "はい"}, {Mb::No, "いいえ"}};
    for (bool installed : {true, false}) {
        if (!installed) QCoreApplication::removeTranslator(qtTexts);
        EXPECT_EQ(ButtonsShownBy([&] { messages.Inform("お知らせ"); }), ok) << installed;
        EXPECT_EQ(ButtonsShownBy([&] { messages.Warn("警告"); }), ok) << installed;
        EXPECT_EQ(ButtonsShownBy([&] { messages.AskYesNo("質問？"); }), yesNo) << installed;
    }
    QCoreApplication::installTranslator(qtTexts);
}

TEST(Japanese, OpenDialogAndItsRefusalOfAMissingFileAreJapanese) {
    const QTranslator* qtTexts = zel::ui::InstallJapaneseTranslation();
    ASSERT_FALSE(qtTexts->filePath().isEmpty())
        << "qtbase_ja.qm not found in " << zel::ui::TranslationFolders().join(", ").toStdString()
        << " (Debian: qt6-translations-l10n)";
    zel::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    QDir(folder).mkdir("現場");
    const QString missing = folder + "/none.zel";

    ModalScript script({
        [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(folder);
            // The labels and buttons the user reads, and the headers and the type of the list.
            QStringList shown;
            for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                shown << dialog->findChild<QLabel*>(label)->text();
            for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>("buttonBox")->buttons())
                shown << button->text();
            auto* model = dialog->findChild<QFileSystemModel*>();
            for (int column = 0; column < model->columnCount(); ++column)
                shown << model->headerData(column, Qt::Horizontal).toString();
            const QModelIndex sub = model->index(folder + "/現場", 2);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !model->data(sub).toString().isEmpty(); }, 3000));
            shown << model->data(sub).toString();
            for (const QString& text : shown)
                EXPECT_EQ(LatinLeft(text).toStdString(), "") << text.toStdString();
            EXPECT_EQ(
                shown.mid(0, 5),
                QStringList({"アドレス:", "ファイル名(&N):", "ファイルの種類:", "開く(&O)", "キャンセル"}));

            // A name that names no file is refused, and the dialog stays open. The refusal is
            // modal inside this step, so a script of its own answers it.
            ModalScript refusal({[&](QWidget* nested) {
                auto* box = qobject_cast<QMessageBox*>(nested);
                ASSERT_NE(box, nullptr);
                EXPECT_TRUE(box->text().contains("ファイルが見つかりません。")) << box->text().toStdString();
                for (QAbstractButton* button : box->buttons())
                    EXPECT_EQ(LatinLeft(button->text()), button->text() == "OK" ? "OK" : "");
                box->buttons().front()->click();
            }});
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(missing);
            static_cast<QDialog*>(dialog)->accept();
            EXPECT_EQ(refusal.pending(), 0u);
            EXPECT_TRUE(dialog->isVisible());
            dialog->reject();
        },
    });
    EXPECT_EQ(zel::ui::frmConv::ChooseWithDialog(nullptr), std::nullopt);
    EXPECT_EQ(script.pending(), 0u);
}

// Lines of `advance` pixels laid out at the width MessageTextWidth gives: as few lines as the
// widest allowed line needs, and none of them a short tail.
TEST(Japanese, MessageLinesWrapEvenlyWithoutAShortTail) {
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString sentence = "念のため元のファイルをバックアップしました。必要がなければ消して下さい。";
    for (int widest : {300, 420, 640}) {
        for (qsizetype length = 1; length <= 4 * sentence.size(); ++length) {
            const QString line = sentence.repeated(4).left(length);
            const int width = zel::ui::MessageTextWidth(line, metrics, widest, 0);
            QTextLayout layout(line, font);
            layout.beginLayout();
            std::vector<qreal> lines;
            for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
                l.setLineWidth(width);
                lines.push_back(l.naturalTextWidth());
            }
            layout.endLayout();
            const int advance = metrics.horizontalAdvance(line);
            const auto expected = static_cast<std::size_t>(std::max(1, (advance + widest - 1) / widest));
            SCOPED_TRACE(testing::Message() << "widest " << widest << ", " << length << " characters");
            EXPECT_EQ(lines.size(), expected);
            if (lines.size() > 1) {
                EXPECT_GE(lines.back(), widest / 4);
            }
        }
    }
    // Several lines: the widest decides; a short text gets the narrowest width asked for.
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
    const int titleWidth = QFontMetrics(bold).horizontalAdvance(ZELCONV_APP_TITLE);
    for (const QString& text : {line, QString("短い"), "短い\n" + line}) {
        ModalScript script({[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const QFontMetrics shown = label->fontMetrics();
            EXPECT_GE(label->width(), shown.horizontalAdvance(text.split('\n').back())) << text.size();
            EXPECT_LT(label->heightForWidth(label->width()),
                      shown.lineSpacing() * (static_cast<double>(text.count('\n')) + 1.5))
                << "one line each";
            EXPECT_GE(box->width(), titleWidth + 100);
            box->buttons().front()->click();
        }});
        messages.Inform(text.toStdString());
    }
}

} // namespace
