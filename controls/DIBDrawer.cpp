#include "DIBDrawer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
// Entry (i, j) = i x j / 256, filled once for the process.
struct CoverageTable {
    uint8_t entries[256][256];
    CoverageTable()
    {
        for (int i = 0; i < 256; ++i)
            for (int j = 0; j < 256; ++j) entries[i][j] = static_cast<uint8_t>(i * j / 256);
    }
};
const CoverageTable& Coverage()
{
    static const CoverageTable table;
    return table;
}

int32_t ToFixed(float v) { return static_cast<int32_t>(v * 65536.0f); }
}  // namespace

winDIB::winDIB(HDC dc) : source_(), destination_(), dc_(dc), pixels_(nullptr), size_(0)
{
    Coverage();
    std::memset(&info_, 0, sizeof(info_));
    info_.header.biSize = sizeof(BITMAPINFOHEADER);
    info_.header.biPlanes = 1;
    info_.header.biXPelsPerMeter = 72;
    info_.header.biYPelsPerMeter = 72;
}

void winDIB::SetFormat(int bitsPerPixel)
{
    BITMAPINFOHEADER& h = info_.header;
    int bytes = 0;
    std::memset(info_.colors, 0, sizeof(info_.colors));
    switch (bitsPerPixel) {
    case 15:
    case 16: {
        // Red, green and blue masks of 5-5-5 and 5-6-5 pixels.
        static const DWORD kMasks[2][3] = {{0x7C00, 0x03E0, 0x001F}, {0xF800, 0x07E0, 0x001F}};
        h.biCompression = BI_BITFIELDS;
        h.biBitCount = 16;
        std::memcpy(info_.colors, kMasks[bitsPerPixel - 15], sizeof(kMasks[0]));
        bytes = 2;
        break;
    }
    case 24:
    case 32:
        h.biCompression = BI_RGB;
        h.biBitCount = static_cast<WORD>(bitsPerPixel);
        bytes = bitsPerPixel / 8;
        break;
    case 8:
        // One byte per pixel read as a level of grey.
        h.biCompression = BI_RGB;
        h.biBitCount = 8;
        for (DWORD i = 0; i < 256; ++i) info_.colors[i] = (i << 16) | (i << 8) | i;
        bytes = 1;
        break;
    default:
        h.biCompression = BI_RGB;
        h.biBitCount = 0;
        break;
    }
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    h.biSizeImage = static_cast<DWORD>(GetWidth()) * static_cast<DWORD>(GetHeight()) * bytes;
}

void* winDIB::SetBits(void* pixels, uint32_t size, int width, int height, int bitsPerPixel)
{
    info_.header.biWidth = width;
    info_.header.biHeight = -height;
    pixels_ = pixels;
    size_ = size;
    if (bitsPerPixel & 0xFFFF) SetFormat(bitsPerPixel & 0xFFFF);
    source_ = {0, 0, width, height};
    destination_ = source_;
    return pixels_;
}

int winDIB::StretchDraw()
{
    if (!pixels_ || info_.header.biBitCount == 0) return 0;
    return ::StretchDIBits(dc_, destination_.left, destination_.top, destination_.right - destination_.left,
                           destination_.bottom - destination_.top, source_.left, source_.top,
                           source_.right - source_.left, source_.bottom - source_.top, pixels_,
                           reinterpret_cast<const BITMAPINFO*>(&info_), DIB_RGB_COLORS, SRCCOPY);
}

int winDIB::Draw()
{
    if (!pixels_ || info_.header.biBitCount == 0) return 0;
    DWORD height = static_cast<DWORD>(destination_.bottom - destination_.top);
    return ::SetDIBitsToDevice(dc_, destination_.left, destination_.top,
                               static_cast<DWORD>(destination_.right - destination_.left), height, source_.left,
                               source_.top, 0, height, pixels_, reinterpret_cast<const BITMAPINFO*>(&info_),
                               DIB_RGB_COLORS);
}

bool winDIB::ClipLine(float& x1, float& y1, float& x2, float& y2)
{
    // The source rectangle, but never beyond the image itself.
    const float left = static_cast<float>(source_.left > 0 ? source_.left : 0);
    const float top = static_cast<float>(source_.top > 0 ? source_.top : 0);
    const float right = static_cast<float>(source_.right < GetWidth() ? source_.right : GetWidth());
    const float bottom = static_cast<float>(source_.bottom < GetHeight() ? source_.bottom : GetHeight());
    const float xmin = left, ymin = top, xmax = right - 2, ymax = bottom - 2;
    if (xmax < xmin || ymax < ymin) return false;

    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (y2 < ymin || y1 >= ymax) return false;
    if (y1 < ymin) {
        x1 += (x2 - x1) * (ymin - y1) / (y2 - y1);
        y1 = ymin;
    }
    if (y2 > ymax) {
        float target = bottom - 3;
        x2 = x1 + (x2 - x1) * (target - y1) / (y2 - y1);
        y2 = target;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x2 < xmin || x1 > xmax) return false;
    if (x1 < xmin) {
        y1 += (y2 - y1) * (xmin - x1) / (x2 - x1);
        x1 = xmin;
    }
    if (x2 > xmax) {
        y2 = y1 + (y2 - y1) * (xmax - x1) / (x2 - x1);
        x2 = xmax;
    }
    return true;
}

uint32_t* winDIB::DrawablePixels() const
{
    if (!pixels_ || info_.header.biBitCount != 32 || GetWidth() <= 0 || GetHeight() <= 0) return nullptr;
    uint64_t needed = static_cast<uint64_t>(GetWidth()) * static_cast<uint64_t>(GetHeight()) * 4;
    return needed <= size_ ? static_cast<uint32_t*>(pixels_) : nullptr;
}

uint32_t winDIB::ScaleAlpha(uint32_t colour, uint32_t coverage)
{
    uint32_t alpha = (colour >> 24) * coverage / 256;
    return (alpha << 24) | (colour & 0x00FFFFFF);
}

uint32_t winDIB::BlendOver(uint32_t backdrop, uint32_t source)
{
    uint32_t a = source >> 24;
    uint32_t out = source & 0xFF000000;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t s = (source >> shift) & 0xFF;
        uint32_t b = (backdrop >> shift) & 0xFF;
        out |= ((s * a + b * (255 - a)) / 256) << shift;
    }
    return out;
}

void winDIB::Plot(uint32_t* pixels, int x, int y, uint32_t colour, uint32_t coverage) const
{
    if (x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return;
    uint32_t& p = pixels[static_cast<size_t>(y) * GetWidth() + x];
    p = coverage >= 256 ? colour : BlendOver(p, ScaleAlpha(colour, coverage));
}

namespace {
// The walk of both line kinds: the end points in 16.16 fixed point, ordered
// down the rows; one whole pixel per step along the longer axis while the
// other advances by the slope. Calls step(major, minorFixed, index, count).
template <typename Step>
void WalkLine(float x1, float y1, float x2, float y2, Step step)
{
    int32_t fx1 = ToFixed(x1), fy1 = ToFixed(y1), fx2 = ToFixed(x2), fy2 = ToFixed(y2);
    if (fy1 > fy2) {
        std::swap(fx1, fx2);
        std::swap(fy1, fy2);
    }
    int32_t dx = fx2 - fx1, dy = fy2 - fy1;
    bool xMajor = std::abs(dx) > dy;
    int32_t longer = xMajor ? std::abs(dx) : dy;
    int32_t shorter = xMajor ? dy : dx;
    // A line shorter than a pixel still marks the pixel it lies in.
    int steps = longer >> 16;
    if (steps == 0) steps = 1;
    int64_t slope = longer == 0 ? 0 : static_cast<int64_t>(shorter) * 65536 / longer;
    int direction = dx < 0 ? -1 : 1;
    int32_t major = xMajor ? (fx1 >> 16) : (fy1 >> 16);
    int64_t minor = xMajor ? fy1 : fx1;
    for (int i = 0; i < steps; ++i) {
        step(xMajor, xMajor ? major + i * direction : major + i, minor, i, steps);
        minor += slope;
    }
}
}  // namespace

void winDIB::DrawLine(float x1, float y1, float x2, float y2, uint32_t colour)
{
    uint32_t* pixels = DrawablePixels();
    if (!pixels || !ClipLine(x1, y1, x2, y2)) return;
    WalkLine(x1, y1, x2, y2, [&](bool xMajor, int major, int64_t minor, int, int) {
        int m = static_cast<int>(minor >> 16);
        if (xMajor)
            Plot(pixels, major, m, colour, 256);
        else
            Plot(pixels, m, major, colour, 256);
    });
}

void winDIB::DrawLineAA(float x1, float y1, float x2, float y2, uint32_t colour)
{
    uint32_t* pixels = DrawablePixels();
    if (!pixels || !ClipLine(x1, y1, x2, y2)) return;
    const CoverageTable& table = Coverage();
    WalkLine(x1, y1, x2, y2, [&](bool xMajor, int major, int64_t minor, int index, int count) {
        int m = static_cast<int>(minor >> 16);
        uint32_t f = static_cast<uint32_t>((minor >> 8) & 0xFF);
        uint32_t closer = 255 - f, further = f;
        // The end pixels are half covered.
        if (index == 0 || index == count - 1) {
            closer = table.entries[closer][128];
            further = table.entries[further][128];
        }
        if (xMajor) {
            Plot(pixels, major, m, colour, closer);
            Plot(pixels, major, m + 1, colour, further);
        } else {
            Plot(pixels, m, major, colour, closer);
            Plot(pixels, m + 1, major, colour, further);
        }
    });
}

void winDIB::FillRectangle(int left, int top, int right, int bottom, uint32_t colour)
{
    uint32_t* pixels = DrawablePixels();
    const int width = GetWidth(), height = GetHeight();
    if (!pixels || left >= width || right < 0 || top >= height || bottom < 0) return;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > width - 1) right = width - 1;
    if (bottom > height - 1) bottom = height - 1;
    if (right < left || bottom < top) return;
    bool opaque = (colour >> 24) == 0xFF;
    for (int y = top; y <= bottom; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (int x = left; x <= right; ++x) row[x] = opaque ? colour : BlendOver(row[x], colour) & 0x00FFFFFF;
    }
}
