#include "ui/table/WindowTable.h"

#include "workflow/BatchRun.h"
#include "workflow/ProgramInfo.h"

#include <algorithm>

namespace zel::ui::table {

namespace {

// A function rather than a constant, so that tables built during another file's static
// initialisation find it constructed.
Font Gothic(int points, bool bold = false) {
    return Font{"ＭＳ Ｐゴシック", points, bold};
}

// The purpose of the program, shown in both windows after their own first words.
constexpr const char* kPurpose =
    "カルトゥーバ Version1.04より前のシステムで作成したファイルを、新しいバージョン"
    "（カルトゥーバVersion1.04以降）に変換するプログラムです。";

// One row of a table; the less common properties are set on the result.
Control Row(std::string_view name, Kind kind, Rect position, std::string text = {}, int focusOrder = 0) {
    Control c;
    c.name = name;
    c.kind = kind;
    c.position = position;
    c.text = std::move(text);
    c.focusOrder = focusOrder;
    return c;
}

Control WithFont(Control c, Font font) {
    c.font = std::move(font);
    return c;
}

Control WithColour(Control c, Colour colour) {
    c.colour = colour;
    return c;
}

Window MakeConversionWindow() {
    Window w;
    w.name = "frmConv";
    w.title = ZELCONV_APP_TITLE;
    w.clientWidth = 497;
    w.clientHeight = 246;
    w.border = Border::FixedSingle;
    w.placement = Placement::CentreOfScreen;
    // What a Japanese Windows form of its time used for every control.
    w.font = Gothic(9);
    // No default and no cancel button: Enter and Esc press nothing, so that a user who confirms a
    // typed name with Enter does not start a conversion or close the window.
    Control purpose = Row("Label2", Kind::Label, {12, 22, 469, 31}, std::string("これは") + kPurpose);
    purpose.parent = "Frame1";
    Control convert =
        Row(kConvertButton, Kind::PictureButton, {268, 214, 107, 25}, std::string(kConvertWords), 5);
    convert.picture = Picture::ConvertFace;
    w.controls = {
        Row("Label3_0", Kind::Label, {12, 16, 229, 15}, "■変換するファイル名を指定して下さい"),
        WithFont(Row(kSourceField, Kind::TextField, {24, 34, 411, 21}, "", 1), Gothic(9)),
        Row(kBrowseButton, Kind::Button, {436, 34, 53, 21}, "参照", 2),
        WithFont(Row("Label4", Kind::Label, {190, 60, 43, 35}, "↓"), Gothic(18, true)),
        Row("Label3_2", Kind::Label, {12, 90, 211, 15}, "■変換後のファイル名を指定して下さい"),
        WithFont(Row(kTargetField, Kind::TextField, {24, 108, 411, 21}, "", 3), Gothic(9)),
        Row("Frame1", Kind::Frame, {6, 146, 483, 57}, "プログラム説明"),
        purpose,
        Row(kVersionButton, Kind::Button, {12, 214, 107, 25}, "バージョン情報", 4),
        convert,
        Row(kCloseButton, Kind::Button, {382, 214, 107, 25}, "終了", 6),
    };
    return w;
}

Window MakeVersionWindow() {
    const Colour black{0, 0, 0};
    Window w;
    w.name = "frmVersion";
    w.title = ZELCONV_APP_TITLE "のバージョン情報";
    w.clientWidth = 351;
    w.clientHeight = 187;
    w.border = Border::FixedDialog;
    w.placement = Placement::CentreOfOwner;
    w.font = Gothic(9);
    w.defaultButton = kOkButton;
    w.cancelButton = kOkButton;
    // The 32 × 32 icon in the middle of a 36 × 36 box.
    Control icon = Row("picIcon", Kind::PictureBox, {16, 16, 36, 36}, "", 2);
    icon.picture = Picture::AppIcon;
    w.controls = {
        Row(kOkButton, Kind::Button, {250, 156, 92, 25}, "OK", 1),
        icon,
        WithColour(Row("lblTitle", Kind::Label, {66, 16, 259, 18}, ZELCONV_APP_TITLE), black),
        Row("lblVersion", Kind::Label, {66, 36, 259, 15},
            VersionText(ZELCONV_VERSION_MAJOR, ZELCONV_VERSION_MINOR)),
        WithColour(Row("lblDescription", Kind::Label, {66, 62, 273, 52},
                       std::string("このプログラムは、") + kPurpose),
                   black),
        Row("Label1", Kind::Label, {66, 128, 255, 13}, "Copyright (C) 2000 TALMO Dev. Corp."),
        // An etched separator: a white strip two pixels high from x 15 to 340, and over its top
        // row a grey one from x 14 to 340.
        WithColour(Row("Line1_0", Kind::Line, {15, 150, 326, 2}), Colour{255, 255, 255}),
        WithColour(Row("Line1_1", Kind::Line, {14, 150, 327, 1}), Colour{128, 128, 128}),
    };
    return w;
}

Control Anchored(Control c, Anchors anchors) {
    c.anchors = anchors;
    return c;
}

Window MakeBatchWindow() {
    Window w;
    w.name = "frmBatch";
    w.title = "カルトゥーバ　データ一括変換";
    w.clientWidth = 640;
    w.clientHeight = 400;
    w.border = Border::Sizable;
    w.placement = Placement::CentreOfOwner; // of the screen when it is the only window
    w.font = Gothic(9);
    w.cancelButton = kBatchCloseButton;
    // The list takes the room a larger window gives; what lies below it stays at the bottom.
    const Anchors all{true, true, true, true};
    const Anchors bottomRow{true, false, true, true};
    const Anchors bottomLeft{true, false, false, true};
    const Anchors bottomRight{false, false, true, true};
    Control list = Anchored(Row(kFileList, Kind::List, {8, 8, 624, 298}, "", 1), all);
    // Wide enough for "データではありません" and the shorter results; longer ones open from their row.
    list.columns = {{"ファイル", 280}, {"形式", 130}, {"結果", 190}};
    w.controls = {
        list,
        Anchored(Row(kProgressBar, Kind::ProgressBar, {8, 314, 624, 16}), bottomRow),
        Anchored(Row(kCountsLabel, Kind::Label, {8, 338, 624, 15}, kBatchListingText), bottomRow),
        Anchored(Row(kStartButton, Kind::Button, {8, 365, 107, 25}, "変換開始", 2), bottomLeft),
        Anchored(Row(kUndoButton, Kind::Button, {121, 365, 107, 25}, "元に戻す", 3), bottomLeft),
        Anchored(Row(kStopButton, Kind::Button, {234, 365, 107, 25}, "中止", 4), bottomLeft),
        Anchored(Row(kSaveButton, Kind::Button, {412, 365, 107, 25}, "結果を保存", 5), bottomRight),
        Anchored(Row(kBatchCloseButton, Kind::Button, {525, 365, 107, 25}, "閉じる", 6), bottomRight),
    };
    return w;
}

} // namespace

const Control* Window::find(std::string_view wanted) const {
    const auto it =
        std::find_if(controls.begin(), controls.end(), [&](const Control& c) { return c.name == wanted; });
    return it == controls.end() ? nullptr : &*it;
}

std::vector<const Control*> Window::focusChain() const {
    std::vector<const Control*> chain;
    for (const Control& c : controls)
        if (c.focusOrder > 0) chain.push_back(&c);
    std::stable_sort(chain.begin(), chain.end(),
                     [](const Control* a, const Control* b) { return a->focusOrder < b->focusOrder; });
    return chain;
}

Rect Window::positionInWindow(const Control& control) const {
    Rect r = control.position;
    for (const Control* p = find(control.parent); p; p = find(p->parent)) {
        r.left += p->position.left;
        r.top += p->position.top;
    }
    return r;
}

const Window& ConversionWindow() {
    static const Window window = MakeConversionWindow();
    return window;
}

const Window& VersionWindow() {
    static const Window window = MakeVersionWindow();
    return window;
}

const Window& BatchWindow() {
    static const Window window = MakeBatchWindow();
    return window;
}

std::string VersionText(int major, int minor) {
    std::string minorText = std::to_string(minor);
    if (minorText.size() < 2) minorText.insert(0, 2 - minorText.size(), '0');
    return "バージョン " + std::to_string(major) + "." + minorText;
}

} // namespace zel::ui::table
