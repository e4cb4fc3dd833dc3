// Built on Windows only; the guard says so to tools that read every source on other systems.
#ifdef _WIN32
#include "ui/win32/Pictures.h"

#include "ui/win32/Resources.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace zel::ui::win32 {

namespace {

constexpr int kFaceWidth = 94;
constexpr int kFaceHeight = 24;

std::uint32_t Channel(std::uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

} // namespace

Pixels LoadBitmapResource(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
    if (!data || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return {};
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0) return {};
    Pixels picture;
    picture.width = header.biWidth;
    picture.height = std::abs(header.biHeight);
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    if (SizeofResource(module, found) < header.biSize + count * 4) return {};
    picture.argb.resize(count);
    const unsigned char* bits = data + header.biSize;
    for (int y = 0; y < picture.height; ++y) {
        // Rows are stored bottom-up unless the height is negative.
        const int row = header.biHeight > 0 ? picture.height - 1 - y : y;
        std::memcpy(&picture.argb[static_cast<std::size_t>(y) * picture.width],
                    bits + static_cast<std::size_t>(row) * picture.width * 4,
                    static_cast<std::size_t>(picture.width) * 4);
    }
    return picture;
}

Pixels Resampled(const Pixels& picture, int width, int height) {
    Pixels result;
    if (picture.argb.empty() || width <= 0 || height <= 0) return result;
    result.width = width;
    result.height = height;
    result.argb.resize(static_cast<std::size_t>(width) * height);
    const double sx = static_cast<double>(picture.width) / width,
                 sy = static_cast<double>(picture.height) / height;
    for (int y = 0; y < height; ++y) {
        const double top = y * sy, bottom = (y + 1) * sy;
        for (int x = 0; x < width; ++x) {
            const double left = x * sx, right = (x + 1) * sx;
            double sum[4] = {0, 0, 0, 0}, area = 0;
            // Premultiplied channels average correctly, partly covered source pixels by their share.
            for (int v = static_cast<int>(top); v < bottom && v < picture.height; ++v) {
                const double h = std::min<double>(v + 1, bottom) - std::max<double>(v, top);
                for (int u = static_cast<int>(left); u < right && u < picture.width; ++u) {
                    const double w = (std::min<double>(u + 1, right) - std::max<double>(u, left)) * h;
                    const std::uint32_t p = picture.argb[static_cast<std::size_t>(v) * picture.width + u];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += w * Channel(p, 8 * c);
                    area += w;
                }
            }
            std::uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c)
                pixel |= static_cast<std::uint32_t>(std::lround(area > 0 ? sum[c] / area : 0)) << (8 * c);
            result.argb[static_cast<std::size_t>(y) * width + x] = pixel;
        }
    }
    return result;
}

Pixels ConvertFace(UINT dpi) {
    if (dpi == 96) return LoadBitmapResource(ZELCONV_IDB_CONVERT_FACE_96);
    return Resampled(LoadBitmapResource(ZELCONV_IDB_CONVERT_FACE_192), MulDiv(kFaceWidth, dpi, 96),
                     MulDiv(kFaceHeight, dpi, 96));
}

HICON IconFromPixels(const Pixels& picture) {
    if (picture.argb.empty()) return nullptr;
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = picture.width;
    header.bV5Height = -picture.height; // top row first
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!colour) return nullptr;
    // Icons hold straight alpha: undo the premultiplication.
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < picture.argb.size(); ++i) {
        const std::uint32_t p = picture.argb[i], alpha = Channel(p, 24);
        std::uint32_t straight = alpha << 24;
        for (int c = 0; c < 3 && alpha; ++c)
            straight |= std::min<std::uint32_t>(255, (Channel(p, 8 * c) * 255 + alpha / 2) / alpha)
                        << (8 * c);
        out[i] = straight;
    }
    // The alpha decides what shows; the mask, all zero, adds nothing.
    const std::vector<unsigned char> zeros(static_cast<std::size_t>((picture.width + 15) / 16 * 2) *
                                           picture.height);
    HBITMAP mask = CreateBitmap(picture.width, picture.height, 1, 1, zeros.data());
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

HICON AppIcon(int size) {
    static std::map<int, HICON> icons;
    HICON& icon = icons[size];
    if (!icon)
        icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZELCONV_IDI_APP),
                                             IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    return icon;
}

} // namespace zel::ui::win32

#endif // _WIN32
