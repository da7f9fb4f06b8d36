#include "ui/Dpi.h"

#include <algorithm>
#include <vector>

#include "win/GdiScope.h"

namespace vw {

HBITMAP ScaleBitmap(HBITMAP bitmap, int width, int height)
{
    BITMAP info{};
    if (width <= 0 || height <= 0 || !::GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 ||
        info.bmHeight <= 0)
        return nullptr;
    const int fromWidth = info.bmWidth;
    const int fromHeight = info.bmHeight;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    header.bmiHeader.biWidth = fromWidth;
    header.bmiHeader.biHeight = -fromHeight;  // top-down rows
    std::vector<RGBQUAD> from(static_cast<size_t>(fromWidth) * fromHeight);
    {
        const WindowDC screen(nullptr);
        if (!::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(fromHeight), from.data(), &header, DIB_RGB_COLORS))
            return nullptr;
    }

    // Each target pixel is the average of the source area it covers, weighted by the alpha of
    // each source pixel, so that transparent pixels lend no colour to the edges.
    std::vector<RGBQUAD> to(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const double top = static_cast<double>(y) * fromHeight / height;
        const double bottom = static_cast<double>(y + 1) * fromHeight / height;
        for (int x = 0; x < width; ++x) {
            const double left = static_cast<double>(x) * fromWidth / width;
            const double right = static_cast<double>(x + 1) * fromWidth / width;
            double area = 0, alpha = 0, red = 0, green = 0, blue = 0;
            for (int sy = static_cast<int>(top); sy < bottom && sy < fromHeight; ++sy) {
                const double h = std::min<double>(sy + 1, bottom) - std::max<double>(sy, top);
                for (int sx = static_cast<int>(left); sx < right && sx < fromWidth; ++sx) {
                    const double weight = h * (std::min<double>(sx + 1, right) - std::max<double>(sx, left));
                    const RGBQUAD& p = from[static_cast<size_t>(sy) * fromWidth + sx];
                    const double a = weight * p.rgbReserved;
                    area += weight;
                    alpha += a;
                    red += a * p.rgbRed;
                    green += a * p.rgbGreen;
                    blue += a * p.rgbBlue;
                }
            }
            RGBQUAD& q = to[static_cast<size_t>(y) * width + x];
            if (alpha > 0) {
                q.rgbRed = static_cast<BYTE>(red / alpha + 0.5);
                q.rgbGreen = static_cast<BYTE>(green / alpha + 0.5);
                q.rgbBlue = static_cast<BYTE>(blue / alpha + 0.5);
            }
            q.rgbReserved = static_cast<BYTE>(area > 0 ? alpha / area + 0.5 : 0);
        }
    }

    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    void* bits = nullptr;
    const WindowDC screen(nullptr);
    const HBITMAP scaled = ::CreateDIBSection(screen.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (scaled)
        std::copy(to.begin(), to.end(), static_cast<RGBQUAD*>(bits));
    return scaled;
}

}  // namespace vw
