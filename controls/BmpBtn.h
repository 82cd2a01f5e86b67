// Push buttons that blend into the painted pages. CBmpBtn draws its
// image-list face over the copy of the page background that its page
// captured for it. CBmpBtnEx draws one of four alpha-blended frames of a
// pixel strip over what lay under it when it was first painted.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "BitmapButton.h"
#include "Gdi.h"
#include "OffscreenDraw.h"

class CBmpBtn : public WTL::CBitmapButtonImpl<CBmpBtn, WTL::CButton>, public WTL::COffscreenDrawRect<CBmpBtn> {
public:
    typedef WTL::CBitmapButtonImpl<CBmpBtn, WTL::CButton> Base;

    explicit CBmpBtn(DWORD extendedStyle = BMPBTN_AUTOSIZE | BMPBTN_AUTO3D_SINGLE) : Base(extendedStyle) {}

    BEGIN_MSG_MAP(CBmpBtn)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<CBmpBtn>)
        CHAIN_MSG_MAP(Base)
    END_MSG_MAP()

    // The captured background first, the standard face over it.
    void DoPaint(WTL::CDCHandle dc);

    // Filled by the page's paint (CBackgroundDlg::CaptureParentBackground).
    WTL::CBitmap& BackgroundBitmap() { return m_background; }

    WTL::CBitmap m_background;
};

// A page's button: the dialog item and the CBmpBtn that subclasses it.
class CBmpBtnItem {
public:
    ATL::CWindow m_item;
    CBmpBtn m_button;

    // The face every page uses: hover mode, sized to its image, frames of
    // 73 pixels cut from bitmap resource bitmapId on a magenta key, images
    // normal 0, pushed 1, hover 2 and none for disabled.
    bool Subclass(HWND item, UINT bitmapId);
};

// 0xAARRGGBB source over an opaque backdrop, by the source's alpha.
uint32_t BlendPixel(uint32_t backdrop, uint32_t source);

class CBmpBtnEx : public WTL::CBitmapButtonImpl<CBmpBtnEx, WTL::CButton> {
public:
    typedef WTL::CBitmapButtonImpl<CBmpBtnEx, WTL::CButton> Base;

    enum { kNormalFrame = 0, kPushedFrame = 1, kHoverFrame = 2, kDisabledFrame = 3 };

    explicit CBmpBtnEx(DWORD extendedStyle = BMPBTN_AUTOSIZE | BMPBTN_AUTO3D_SINGLE) : Base(extendedStyle) {}
    ~CBmpBtnEx() override;

    BEGIN_MSG_MAP(CBmpBtnEx)
        MESSAGE_HANDLER(WM_PAINT, OnPaintWithoutStrip)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaintWithoutStrip)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnPaintWithoutStrip)
        CHAIN_MSG_MAP(Base)
    END_MSG_MAP()

    // True when the four frames lie side by side, false when stacked; set
    // before loading.
    void SetHorizontalStrip(bool horizontal) { m_horizontal = horizontal; }
    // A strip of stripWidth x stripHeight RGBA pixels from a "RAW" resource
    // of the module, or from a file in the executable's folder. The button
    // takes the size of one frame. False, with no strip, when it is missing
    // or holds fewer bytes than that many pixels.
    bool LoadStripResource(UINT resourceId, int stripWidth, int stripHeight);
    bool LoadStripFile(const wchar_t* fileName, int stripWidth, int stripHeight);
    // A copy of region becomes the button's window region.
    void SetRegion(HRGN region);
    void CaptureParentBackground(HDC parentDC);
    // The next paint takes the backdrop anew.
    void ResetBackdrop() { m_backdropCaptured = false; }

    void DoPaint(WTL::CDCHandle dc);
    // The frame the button's state shows.
    int ChooseFrame() const;

    SIZE FrameSize() const { return {m_frameWidth, m_frameHeight}; }
    bool HasStrip() const { return m_strip != nullptr; }
    WTL::CBitmap& BackgroundBitmap() { return m_background; }

private:
    void ForgetStrip();
    bool UseStrip(const uint8_t* pixels, size_t bytes, int stripWidth, int stripHeight);
    void SetOwnerDrawn(bool ownerDrawn);
    void PrepareBackground(HDC dc);
    void DrawFrame(HDC dc, int frame);
    LRESULT OnPaintWithoutStrip(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    WTL::CBitmap m_background;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    bool m_horizontal = false;
    bool m_regionSet = false;
    WTL::CRgn m_region;
    bool m_backdropCaptured = false;
    std::unique_ptr<uint32_t[]> m_backdrop;
    const uint8_t* m_strip = nullptr;
    std::unique_ptr<uint8_t[]> m_ownedStrip;
    int m_stripWidth = 0;
    int m_stripHeight = 0;
};

// The call indicator: the dialog item and the CBmpBtnEx that subclasses it.
class CBmpBtnExItem {
public:
    ATL::CWindow m_item;
    CBmpBtnEx m_button;
};
