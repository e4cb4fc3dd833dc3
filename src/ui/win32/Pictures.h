// The pictures of the Win32 windows: the program icon and the convert button's face, the same
// pictures as the Qt windows show, at the size a screen's DPI asks for.
#pragma once
// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <vector>

namespace zel::ui::win32 {

// A picture as 32-bit pixels 0xAARRGGBB with premultiplied alpha, top row first.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;
};

// A 32-bit BITMAP resource of the running program, or an empty picture when it is missing.
Pixels LoadBitmapResource(int id);

// `picture` resampled to `width` × `height`, each new pixel the average of the area it covers.
Pixels Resampled(const Pixels& picture, int width, int height);

// The convert button's face (94 × 24 at 96 dpi) for `dpi`: the 100 % bitmap at 96 dpi, else the
// 200 % bitmap resampled to the size.
Pixels ConvertFace(UINT dpi);

// An icon of the picture, with its alpha; the caller destroys it.
HICON IconFromPixels(const Pixels& picture);

// The program icon at `size` × `size` pixels; shared, never destroyed.
HICON AppIcon(int size);

} // namespace zel::ui::win32

#endif // _WIN32
