// The file-transfer page: one transfer, sending or receiving, as a tab of
// the conversation window. A sending page makes the offer itself when it
// opens; the page follows the transfer through the core's events, shows a
// progress bar, and closes itself when the transfer ends or is cancelled.
#pragma once

#include <cstdint>
#include <string>

#include "BackgroundDlg.h"
#include "BmpBtn.h"
#include "ConversationPages.h"
#include "events/VoIPMsgHandler.h"
#include "ModalGuard.h"

class CFileTransferDlg : public CBackgroundDlg<CFileTransferDlg>, public CFileTransferPage {
public:
    enum { IDD = IDD_FILE_TRANSFER };
    static const UINT_PTR kTimerId = 115;
    static const UINT kTimerPeriodMs = 100;

    // transferId is empty for a new outgoing transfer: the page offers the
    // file when it opens and learns the identifier then.
    CFileTransferDlg(const std::string& contactName, const std::wstring& displayText, const std::wstring& path,
                     const std::wstring& fileTitle, const std::string& transferId, bool sending);

    // The page as the conversation window holds it.
    HWND CreatePage(HWND tabHost) override { return Create(tabHost); }
    HWND GetPageWindow() const override { return m_hWnd; }
    void SetHosts(CTabHost* tabHost, CPelvaneFrame*) override { host_ = tabHost; }
    std::wstring GetDisplayText() const override { return displayText_; }
    void AskCancel() override;

    // The base's map first (off-screen painting); Enter does nothing, the
    // Cancel button and Escape ask whether to cancel.
    BEGIN_MSG_MAP(CFileTransferDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CFileTransferDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        COMMAND_ID_HANDLER(IDOK, OnEnter)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    // The tab host's background picture, which the page is cut from.
    WTL::CBitmap* GetParentBackground() { return host_ ? host_->GetBackgroundBitmap() : nullptr; }

    void DoPaint(WTL::CDCHandle dc);

    int GetProgress() const { return progress_; }
    const std::string& GetTransferId() const { return transferId_; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEnter(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);

    bool IsThisTransfer(const std::string& transferId) const;
    // Handles one core event; true when it ended the page.
    bool HandleEvent(const VoipEvent& event);
    // Handles every waiting event up to one that ends the page; true then.
    bool TakeWaitingEvents();
    // Shows the text in the program's message box, modal on the page.
    void ShowBox(const wchar_t* text);
    // The transfer ended: one box, then the page goes. True.
    bool EndWithBox(const wchar_t* text);
    // Deletes the page's tab and asks the conversation window to remove the
    // page.
    void ClosePage();

    std::wstring displayText_;
    CoreMessageHandler handler_;
    CBmpBtnItem cancel_;
    int progress_ = 0;
    std::string contactName_;
    std::wstring path_;
    std::wstring fileTitle_;
    std::string transferId_;
    bool sending_;
    bool offerPending_;
    CTabHost* host_ = nullptr;
    // The page's boxes.
    ModalGuard boxes_;
    bool closed_ = false;
};

// Percent of the transfer done, 0 to 100. The sizes are the core's unsigned
// 32-bit byte counts carried in signed fields.
int TransferPercent(int32_t total, int32_t remaining);

// header with a newline before every character that would make its line
// wider than limit pixels in the DC's font; unchanged when it fits.
std::wstring BreakIntoLines(HDC dc, const std::wstring& header, int limit);

// A white-framed dark bar with a red part for percent, and with showText
// the percentage to its right (the bar gives up 20 pixels for it).
void DrawTransferProgressBar(HDC dc, RECT rect, int percent, bool showText);
