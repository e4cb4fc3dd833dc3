// What the two windows look like: names, places, texts, fonts, window flags and focus order.
#include "Fonts.h"
#include "frmConv.h"
#include "frmVersion.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using zel::ui::frmConv;
using zel::ui::frmVersion;

QString TextOf(const QWidget* w) {
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) return group->title();
    return {};
}

struct Control {
    const char* name;
    const char* className;
    const char* parentName;
    QRect geometry;
    const char* text;
};

const QString kDescription = QStringLiteral(
    "カルトゥーバ "
    "Version1.04より前のシステムで作成したファイルを、新しいバージョン（カルトゥーバVersion1.04以降）に"
    "変換するプログラムです。");

const std::vector<Control> kConvControls = {
    {"imText1", "QLineEdit", "frmConv", {24, 34, 411, 21}, ""},
    {"Command1", "QPushButton", "frmConv", {436, 34, 53, 21}, "参照"},
    {"imText2", "QLineEdit", "frmConv", {24, 108, 411, 21}, ""},
    {"Command2", "QPushButton", "frmConv", {12, 214, 107, 25}, "バージョン情報"},
    {"CmdConv", "QPushButton", "frmConv", {268, 214, 107, 25}, ""},
    {"CmdClose", "QPushButton", "frmConv", {382, 214, 107, 25}, "終了"},
    {"Label3_0", "QLabel", "frmConv", {12, 16, 229, 15}, "■変換するファイル名を指定して下さい"},
    {"Label4", "QLabel", "frmConv", {190, 60, 43, 35}, "↓"},
    {"Label3_2", "QLabel", "frmConv", {12, 90, 211, 15}, "■変換後のファイル名を指定して下さい"},
    {"Frame1", "QGroupBox", "frmConv", {6, 146, 483, 57}, "プログラム説明"},
    {"Label2", "QLabel", "Frame1", {12, 22, 469, 31}, nullptr},
};

const std::vector<Control> kVersionControls = {
    {"cmdOK", "QPushButton", "frmVersion", {250, 156, 92, 25}, "OK"},
    {"picIcon", "QLabel", "frmVersion", {16, 16, 36, 36}, ""},
    {"lblTitle", "QLabel", "frmVersion", {66, 16, 259, 18}, "カルトゥーバ　データ変換"},
    {"lblVersion", "QLabel", "frmVersion", {66, 36, 259, 15}, "バージョン 1.00"},
    {"lblDescription", "QLabel", "frmVersion", {66, 62, 273, 52}, nullptr},
    {"Label1", "QLabel", "frmVersion", {66, 128, 255, 13}, nullptr},
    {"Line1_0", "QFrame", "frmVersion", {15, 150, 326, 2}, nullptr},
    {"Line1_1", "QFrame", "frmVersion", {14, 150, 327, 1}, nullptr},
};

void CheckControls(const QWidget& window, const std::vector<Control>& controls) {
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.className);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.parentName));
        EXPECT_EQ(w->geometry(), c.geometry);
        if (c.text) {
            EXPECT_EQ(TextOf(w).toStdString(), std::string(c.text));
        }
    }
}

// Every character of `text` has a glyph in the font the widget really draws with.
void ExpectDrawable(const QWidget* w, const QString& text) {
    const QRawFont raw = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
    for (QChar ch : text)
        if (!ch.isSpace()) {
            EXPECT_TRUE(raw.supportsCharacter(ch))
                << w->objectName().toStdString() << ": no glyph for U+" << std::hex << int(ch.unicode());
        }
}

void CheckFixedWindow(const QWidget& window, QSize size) {
    EXPECT_EQ(window.size(), size);
    EXPECT_EQ(window.minimumSize(), size);
    EXPECT_EQ(window.maximumSize(), size);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_FALSE(window.windowIcon().isNull());
}

// The widgets that Tab visits, in order, starting at `first`.
std::vector<QString> TabOrder(QWidget* first) {
    std::vector<QString> order;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != first && order.size() < 20);
    return order;
}

class LayoutTest : public ::testing::Test {
protected:
    zel::WorkingSet* ws = new zel::WorkingSet();
    ~LayoutTest() override { delete ws; }
};

TEST_F(LayoutTest, ConversionWindowControls) {
    frmConv window(*ws);
    EXPECT_EQ(window.objectName(), "frmConv");
    EXPECT_EQ(window.windowTitle().toStdString(), "カルトゥーバ　データ変換");
    CheckFixedWindow(window, {497, 246});
    CheckControls(window, kConvControls);
    auto* label2 = window.findChild<QLabel*>("Label2");
    ASSERT_NE(label2, nullptr);
    EXPECT_EQ(label2->text(), QStringLiteral("これは") + kDescription);
    EXPECT_TRUE(label2->wordWrap());
    EXPECT_FALSE(window.findChild<QAbstractButton*>("CmdConv")->icon().isNull());
    EXPECT_TRUE(window.state().BackupFileName.empty());
}

TEST_F(LayoutTest, ConversionWindowFontsDrawJapanese) {
    frmConv window(*ws);
    struct FontCase {
        const char* name;
        int points;
        bool bold;
    };
    for (const FontCase& c :
         {FontCase{"imText1", 9, false}, FontCase{"imText2", 9, false}, FontCase{"Label4", 18, true}}) {
        SCOPED_TRACE(c.name);
        auto* w = window.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->font().family(), zel::ui::kGothicFamily);
        EXPECT_EQ(w->font().pointSize(), c.points);
        EXPECT_EQ(w->font().bold(), c.bold);
        ExpectDrawable(w, QStringLiteral("↓データ変換ファイル"));
    }
    for (auto* w : window.findChildren<QWidget*>())
        ExpectDrawable(w, TextOf(w));
}

TEST_F(LayoutTest, ConversionWindowFocusStartsInSourceAndFollowsTable) {
    frmConv window(*ws);
    window.show();
    auto* first = window.findChild<QWidget*>("imText1");
    EXPECT_EQ(window.focusWidget(), first);
    const std::vector<QString> expected = {"imText1",  "Command1", "imText2",
                                           "Command2", "CmdConv",  "CmdClose"};
    EXPECT_EQ(TabOrder(first), expected);
    for (const char* name : {"Label3_0", "Label3_2", "Label4", "Label2", "Frame1"})
        EXPECT_EQ(window.findChild<QWidget*>(name)->focusPolicy(), Qt::NoFocus) << name;
}

TEST_F(LayoutTest, ConversionWindowIsCentredOnTheScreen) {
    frmConv window(*ws);
    window.show();
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 2);
}

TEST(VersionWindowLayout, Controls) {
    frmVersion window;
    EXPECT_EQ(window.objectName(), "frmVersion");
    EXPECT_EQ(window.windowTitle().toStdString(), "カルトゥーバ　データ変換のバージョン情報");
    EXPECT_TRUE(window.isModal());
    CheckFixedWindow(window, {351, 187});
    CheckControls(window, kVersionControls);

    auto* description = window.findChild<QLabel*>("lblDescription");
    EXPECT_EQ(description->text(), QStringLiteral("このプログラムは、") + kDescription);
    EXPECT_TRUE(description->wordWrap());

    auto* notice = window.findChild<QLabel*>("Label1");
    EXPECT_FALSE(notice->text().isEmpty());
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width());

    for (const char* name : {"lblTitle", "lblDescription"})
        EXPECT_EQ(window.findChild<QLabel*>(name)->palette().color(QPalette::WindowText), QColor(Qt::black))
            << name;

    auto* icon = window.findChild<QLabel*>("picIcon");
    EXPECT_EQ(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));

    auto* focus = window.findChild<QPushButton*>("cmdOK");
    EXPECT_TRUE(focus->isDefault());
    EXPECT_EQ(window.focusWidget(), focus);
    EXPECT_EQ(TabOrder(focus), (std::vector<QString>{"cmdOK", "picIcon"}));
    for (auto* w : window.findChildren<QWidget*>())
        ExpectDrawable(w, TextOf(w));
}

TEST(VersionWindowLayout, EtchedSeparatorGreyOverWhite) {
    frmVersion window;
    auto* white = window.findChild<QWidget*>("Line1_0");
    auto* grey = window.findChild<QWidget*>("Line1_1");
    EXPECT_EQ(white->palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(grey->palette().color(QPalette::Window), QColor(128, 128, 128));
    // The grey line lies over the top row of the white one.
    const QObjectList& children = window.children();
    EXPECT_GT(children.indexOf(grey), children.indexOf(white));

    window.show();
    const QImage shot = window.grab().toImage();
    const qreal r = shot.devicePixelRatio();
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 150) * r)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(shot.pixel(QPoint(100, 151) * r)), QColor(255, 255, 255));
}

TEST(VersionText, MinorHasAtLeastTwoDigits) {
    struct Case {
        int major, minor;
        const char* text;
    };
    for (const Case& c : {Case{1, 0, "バージョン 1.00"}, Case{1, 5, "バージョン 1.05"},
                          Case{1, 12, "バージョン 1.12"}, Case{2, 100, "バージョン 2.100"}})
        EXPECT_EQ(zel::ui::VersionText(c.major, c.minor).toStdString(), c.text);
}

} // namespace
