// A caller's pixel buffer seen as a device-independent bitmap: described by
// a BITMAPINFOHEADER, copied to a device context, and drawn into with solid
// and antialiased lines and filled rectangles (32-bit 0xAARRGGBB pixels).
#pragma once

#include <windows.h>

#include <cstdint>

class winDIB {
public:
    explicit winDIB(HDC dc);
    virtual ~winDIB() {}

    // 15 and 16 bits (bit fields), 24 and 32 bits; 8 bits with a grey
    // colour table; anything else describes nothing.
    virtual void SetFormat(int bitsPerPixel);
    // Takes the buffer (not owned) and makes the whole image the source and
    // the destination; a bits value of 0 keeps the format.
    virtual void* SetBits(void* pixels, uint32_t size, int width, int height, int bitsPerPixel);
    virtual int StretchDraw();
    virtual int Draw();
    // Clips a segment to the source rectangle within the image, less a
    // margin at the right and bottom; false when nothing remains.
    virtual bool ClipLine(float& x1, float& y1, float& x2, float& y2);
    virtual void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour);
    virtual void DrawLineAA(float x1, float y1, float x2, float y2, uint32_t colour);
    // Bounds inclusive; a colour that is not opaque is blended over.
    virtual void FillRectangle(int left, int top, int right, int bottom, uint32_t colour);

    void SetSourceRect(const RECT& r) { source_ = r; }
    void SetDestinationRect(const RECT& r) { destination_ = r; }
    const RECT& GetSourceRect() const { return source_; }
    const RECT& GetDestinationRect() const { return destination_; }
    const BITMAPINFOHEADER& GetHeader() const { return info_.header; }
    int GetWidth() const { return info_.header.biWidth; }
    int GetHeight() const { return -info_.header.biHeight; }

    static uint32_t ScaleAlpha(uint32_t colour, uint32_t coverage);
    static uint32_t BlendOver(uint32_t backdrop, uint32_t source);

private:
    // The drawing operations write 32-bit pixels: only into a buffer that
    // holds the whole image at that depth.
    uint32_t* DrawablePixels() const;
    void Plot(uint32_t* pixels, int x, int y, uint32_t colour, uint32_t coverage) const;

    RECT source_;
    RECT destination_;
    HDC dc_;
    void* pixels_;
    uint32_t size_;
    struct {
        BITMAPINFOHEADER header;
        DWORD colors[256];  // the three masks for bit fields, or the grey table
    } info_;
};
