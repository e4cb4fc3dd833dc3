// Builds a Qt window from its toolkit-free table (ui/table), so that the Qt and the Win32 windows
// show the same controls in the same places.
#pragma once

#include "ui/table/WindowTable.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <string_view>

namespace zel::ui {

// The table's font as a QFont; ＭＳ Ｐゴシック falls back to an installed Japanese gothic.
QFont FontOf(const table::Font& font);

// Gives `window` the table's title, client size (fixed, or the least size of a sizable window,
// whose controls then follow their anchors), border, font, icon and placement (centred, frame
// included, whenever it is shown), creates every control with its object name, place, text, font,
// colour and picture, and sets the Tab order and the first focus. Enter presses the button with the
// focus, else the table's default button; Esc presses the table's cancel button. `table` outlives
// the window (the tables are the program's constants).
void BuildFromTable(QWidget& window, const table::Window& table);

// The control of that name on `window`; the table guarantees that it exists.
template <class Widget> Widget* ControlOf(const QWidget& window, std::string_view name) {
    auto* control = window.findChild<Widget*>(QString::fromUtf8(name.data(), qsizetype(name.size())));
    Q_ASSERT(control);
    return control;
}

} // namespace zel::ui
