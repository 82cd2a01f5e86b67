// The about page: a tab page that shows, on its host's painted background,
// the logo, the edition, the product version, a notice and the encryption
// summary.
#pragma once

#include <string>

#include "BackgroundDlg.h"
#include "ConversationPages.h"

class CAboutDlg : public CBackgroundDlg<CAboutDlg>, public CConversationPage {
public:
    enum { IDD = IDD_ABOUT };

    // The page as the conversation window holds it.
    HWND CreatePage(HWND tabHost) override { return Create(tabHost); }
    HWND GetPageWindow() const override { return m_hWnd; }
    void SetHosts(CTabHost* tabHost, CPelvaneFrame*) override { host_ = tabHost; }
    std::wstring GetDisplayText() const override { return std::wstring(); }

    // The base's map first (off-screen painting); Enter and Escape do nothing.
    BEGIN_MSG_MAP(CAboutDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CAboutDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnIgnoredCommand)
    END_MSG_MAP()

    // The tab host's background picture, which the page is cut from.
    WTL::CBitmap* GetParentBackground() { return host_ ? host_->GetBackgroundBitmap() : nullptr; }

    void DoPaint(WTL::CDCHandle dc);
    // The two columns of the encryption summary, centred above bottom.
    void DrawTextBlock(WTL::CDCHandle dc, const RECT& area);

    const std::wstring& GetVersionText() const { return versionText_; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnoredCommand(WORD, WORD, HWND, BOOL&) { return 0; }

    std::wstring versionText_ = L"---";
    CTabHost* host_ = nullptr;
};
