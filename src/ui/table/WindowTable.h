// The conversion window and the version window as plain data: title, client size, font, and each
// control's name, kind, text, place, font and focus order. Each toolkit's windows are built from
// these tables, so that the Qt and the Win32 windows cannot drift apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::ui::table {

enum class Kind {
    TextField,     // single-line text entry
    Button,        // push button with a text
    PictureButton, // push button whose face is a picture; its text names it for screen readers
    Label,         // static text; wraps at its right edge when it holds more than a line
    Frame,         // group frame with a title; other controls may lie inside it
    PictureBox,    // shows a picture
    Line,          // a filled horizontal strip
    List,          // a list of rows with column headings (`columns`), one row selected at a time
    ProgressBar,   // a bar that fills from left to right
};

enum class Picture { None, AppIcon, ConvertFace };

// Left, top, width and height in pixels at 96 dots per inch.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const Rect&) const = default;
};

struct Font {
    std::string face; // UTF-8
    int points = 0;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

struct Colour {
    unsigned char red = 0, green = 0, blue = 0;
    bool operator==(const Colour&) const = default;
};

// A column of a List: its heading and its width in pixels at 96 dots per inch.
struct Column {
    std::string heading; // UTF-8
    int width = 0;
    bool operator==(const Column&) const = default;
};

// The edges of the window that a control's edges keep their distance to when a resizable window
// changes its size. Left and top alone: the control stays where it is; left and right: it grows
// with the window's width; right alone: it moves with the right edge.
struct Anchors {
    bool left = true, top = true, right = false, bottom = false;
    bool operator==(const Anchors&) const = default;
};

struct Control {
    std::string name; // the object name tests and tools find the control by
    Kind kind = Kind::Label;
    std::string text;             // UTF-8, as shown; a Frame's title
    Rect position;                // relative to the client area of `parent`
    std::string parent;           // a Frame's name, or empty for the window itself
    std::optional<Font> font;     // none: the window's font
    int focusOrder = 0;           // 1 for the control focused first; 0 when it takes no focus
    std::optional<Colour> colour; // a Label's text colour or a Line's colour; none: the default
    Picture picture = Picture::None;
    std::vector<Column> columns; // a List's columns, left to right
    Anchors anchors;             // how the control follows a resizable window
};

enum class Border {
    FixedSingle, // a main window that cannot be resized
    FixedDialog, // a dialog frame that cannot be resized
    Sizable,     // a window the user may resize, with minimise and maximise buttons; the client
                 // size is where it starts and the least it can be made
};

enum class Placement { CentreOfScreen, CentreOfOwner };

struct Window {
    std::string name;  // the window's object name
    std::string title; // UTF-8
    int clientWidth = 0, clientHeight = 0;
    Border border = Border::FixedSingle;
    Placement placement = Placement::CentreOfScreen;
    Picture icon = Picture::AppIcon;
    Font font;                 // the window's own font, used by every control that names none
    std::string defaultButton; // pressed by Enter; empty when Enter presses nothing
    std::string cancelButton;  // pressed by Esc; empty when Esc presses nothing
    // Later controls lie over earlier ones where they overlap.
    std::vector<Control> controls;

    // The control of that name, or nullptr.
    const Control* find(std::string_view name) const;
    // The controls that take the focus, in the order Tab visits them.
    std::vector<const Control*> focusChain() const;
    // The control's place relative to the window's client area, through its frame.
    Rect positionInWindow(const Control& control) const;
    // The font the control is drawn with.
    const Font& fontOf(const Control& control) const { return control.font ? *control.font : font; }
};

// The program's main window: the two name fields, browse, version, convert and close.
const Window& ConversionWindow();

// The version window, with its labels filled from the program's identity.
const Window& VersionWindow();

// The batch window: the list of the files to convert, the progress, the counts and its four buttons.
const Window& BatchWindow();

// "バージョン 1.00": the major version, a point and the minor version with at least two digits.
std::string VersionText(int major, int minor);

// The text of the convert button's picture, which also names the button.
inline constexpr std::string_view kConvertWords = "データ変換";

// The object names of the controls that the windows' code finds by name.
// ConversionWindow(): the source and the target name fields and the four buttons.
inline constexpr std::string_view kSourceField = "imText1";
inline constexpr std::string_view kTargetField = "imText2";
inline constexpr std::string_view kBrowseButton = "Command1";
inline constexpr std::string_view kVersionButton = "Command2";
inline constexpr std::string_view kConvertButton = "CmdConv";
inline constexpr std::string_view kCloseButton = "CmdClose";
// VersionWindow(): the button that closes it.
inline constexpr std::string_view kOkButton = "cmdOK";
// BatchWindow(): the file list (columns: the file, its format, the result), the progress bar, the
// line of counts and the buttons that start, put back the old files (元に戻す), stop, save the report
// and close. Esc is the close button; no button is pressed by Enter unless it has the focus.
inline constexpr std::string_view kFileList = "lvFiles";
inline constexpr std::string_view kProgressBar = "pbProgress";
inline constexpr std::string_view kCountsLabel = "lblCounts";
inline constexpr std::string_view kStartButton = "cmdStart";
inline constexpr std::string_view kUndoButton = "cmdUndo";
inline constexpr std::string_view kStopButton = "cmdStop";
inline constexpr std::string_view kSaveButton = "cmdSave";
inline constexpr std::string_view kBatchCloseButton = "cmdClose";

// The save dialog of the report button: its title and its one filter.
inline constexpr std::string_view kSaveDialogTitle = "変換結果を保存";
inline constexpr std::string_view kSaveDialogFilterDescription = "CSV ファイル (*.csv)";
inline constexpr std::string_view kSaveDialogFilterPattern = "*.csv";

// The open-file dialog of the browse button, which is no table of its own: its title, and its one
// filter as the description shown and the pattern matched (UTF-8).
inline constexpr std::string_view kOpenDialogTitle = "カルトゥーバファイルを開く";
inline constexpr std::string_view kOpenDialogFilterDescription = "カルトゥーバファイル (*.ZEL)";
inline constexpr std::string_view kOpenDialogFilterPattern = "*.ZEL";

} // namespace zel::ui::table
