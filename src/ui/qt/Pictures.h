// The pictures the windows show: the program icon and the face of the Convert button.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace zel::ui {

// The program icon (a green arrow pointing right, led by three short bars), sharp at every size
// and pixel ratio the windows use.
QIcon AppIcon();

// The icon drawn at `size` × `size` logical pixels for the pixel ratio `ratio`.
QPixmap AppIconPixmap(int size, qreal ratio);

// The 94 × 24 face of the Convert button: a small blue spiral and the words "データ変換" on a
// transparent background (ui/pictures/convert-face.svg), drawn for the pixel ratio `ratio`. The
// Win32 window shows bitmaps rendered by this function (see RenderPictures.cpp).
QPixmap ConvertFacePixmap(qreal ratio);

// The same face at 100 % and 200 %, ready for QAbstractButton::setIcon.
QIcon ConvertFace();

} // namespace zel::ui
