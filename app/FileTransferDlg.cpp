#include "FileTransferDlg.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "MsgBox.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
// Language texts of the page.
enum {
    kBoxCaption = 28,
    kPeerCancelled = 83,
    kComplete = 85,
    kCancelled = 86,
    kSendingHeader = 87,
    kReceivingHeader = 88,
    kSendingLine = 89,
    kReceivingLine = 90,
    kFailed = 97,
    kCancelQuestion = 127,
    kNotSupported = 139,
};

// The peer's refusal of transfers, which has a text of its own.
const char kNotSupportedReply[] = "Not supported";

const COLORREF kHeaderColour = RGB(0, 0, 94);
const COLORREF kLineColour = RGB(104, 181, 58);
const int kButtonWidth = 73, kButtonHeight = 23;

SIZE TextExtent(HDC dc, const wchar_t* text, size_t length)
{
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
    return size;
}
}  // namespace

int TransferPercent(int32_t total, int32_t remaining)
{
    const double all = static_cast<uint32_t>(total), left = static_cast<uint32_t>(remaining);
    // Nothing to transfer is all done; more left than the whole is nothing
    // done (and never a division by zero).
    if (left >= all) return left == 0 ? 100 : 0;
    return static_cast<int>((all - left) * 100 / all);
}

std::wstring BreakIntoLines(HDC dc, const std::wstring& header, int limit)
{
    if (TextExtent(dc, header.c_str(), header.size()).cx <= limit) return header;
    std::wstring lines;
    size_t lineStart = 0;
    for (size_t i = 0; i < header.size(); ++i) {
        // A line keeps at least one character, however narrow the page.
        if (i > lineStart && TextExtent(dc, header.c_str() + lineStart, i - lineStart + 1).cx > limit) {
            lines += L'\n';
            lineStart = i;
        }
        lines += header[i];
    }
    return lines;
}

void DrawTransferProgressBar(HDC hdc, RECT rect, int percent, bool showText)
{
    WTL::CDCHandle dc(hdc);
    percent = std::min(std::max(percent, 0), 100);
    if (showText) rect.right -= 20;
    DrawLevelBar(dc, rect, percent);
    if (showText) {
        wchar_t text[16];
        swprintf(text, 16, L"%i %%", percent);
        const LONG widest = TextExtent(dc, L"100%", 4).cx;
        // Beside the frame, at the bar's height.
        RECT place = {rect.right - 1 + 10, rect.top + 1, rect.right - 1 + widest + 20, rect.bottom - 1};
        dc.DrawText(text, -1, &place, 0);
    }
}

CFileTransferDlg::CFileTransferDlg(const std::string& contactName, const std::wstring& displayText,
                                   const std::wstring& path, const std::wstring& fileTitle,
                                   const std::string& transferId, bool sending)
    : displayText_(displayText),
      contactName_(contactName),
      path_(path),
      fileTitle_(fileTitle),
      transferId_(transferId),
      sending_(sending),
      offerPending_(transferId.empty())
{
}

LRESULT CFileTransferDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    progress_ = 0;
    // Registered before the offer, which reports its outcome at once.
    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
    SetTimer(kTimerId, kTimerPeriodMs);
    if (offerPending_) GetVoIPManager()->OfferFile(contactName_, path_, fileTitle_, transferId_);
    cancel_.Subclass(GetDlgItem(IDCANCEL), IDB_BUTTON_CANCEL);
    return FALSE;
}

LRESULT CFileTransferDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    KillTimer(kTimerId);
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    return 0;
}

bool CFileTransferDlg::IsThisTransfer(const std::string& transferId) const
{
    // A page whose offer got no identifier follows no transfer.
    return !transferId_.empty() && transferId == transferId_;
}

LRESULT CFileTransferDlg::OnTimer(UINT, WPARAM, LPARAM, BOOL&)
{
    if (boxes_.IsOpen() || closed_) return 0;
    std::unique_ptr<VoipEvent> event(handler_.PopEvent());
    if (event) HandleEvent(*event);
    return 0;
}

bool CFileTransferDlg::HandleEvent(const VoipEvent& event)
{
    switch (event.GetKind()) {
    case VE_FileOfferFailed: {
        // An offer that could not be made names its recipient; a receive
        // that could not start names its transfer.
        VoipEventTransferAnswer* answer = event.Payload<VoipEventTransferAnswer>();
        if (answer && answer->wide == path_ && answer->first == (sending_ ? contactName_ : transferId_))
            return EndWithBox(FromAnsi(answer->second).c_str());
        break;
    }
    case VE_TransferFailed: {
        TextPair* failure = event.Payload<TextPair>();
        if (failure && IsThisTransfer(failure->first))
            return EndWithBox(LanguageTable[failure->second == kNotSupportedReply ? kNotSupported : kFailed]);
        break;
    }
    case VE_TransferCancelled: {
        VoipEventText* cancelled = event.Payload<VoipEventText>();
        if (cancelled && IsThisTransfer(cancelled->text)) return EndWithBox(LanguageTable[kPeerCancelled]);
        break;
    }
    case VE_TransferProgress: {
        VoipEventProgress* step = event.Payload<VoipEventProgress>();
        if (step && IsThisTransfer(step->text)) {
            progress_ = TransferPercent(step->first, step->second);
            Invalidate(FALSE);
        }
        break;
    }
    case VE_TransferComplete: {
        VoipEventText* done = event.Payload<VoipEventText>();
        if (done && IsThisTransfer(done->text)) return EndWithBox(LanguageTable[kComplete]);
        break;
    }
    default:
        break;
    }
    return false;
}

bool CFileTransferDlg::TakeWaitingEvents()
{
    while (VoipEvent* taken = handler_.PopEvent()) {
        std::unique_ptr<VoipEvent> event(taken);
        if (HandleEvent(*event)) return true;
    }
    return false;
}

LRESULT CFileTransferDlg::OnCancel(WORD, WORD, HWND, BOOL&)
{
    AskCancel();
    return 1;
}

void CFileTransferDlg::AskCancel()
{
    // Asked again while a box of the page is open (the session was reset
    // meanwhile): the page stays; the open box decides.
    if (boxes_.IsOpen() || closed_) return;
    // A transfer that has ended already (a session reset ends every one)
    // is reported as it ended, and nothing is asked.
    if (TakeWaitingEvents()) return;
    if (boxes_.Box(m_hWnd, LanguageTable[kCancelQuestion], LanguageTable[kBoxCaption], MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    // No event is taken while the question is open: the transfer may have
    // ended meanwhile, and only the core knows whether this cancel ended it.
    switch (GetVoIPManager()->CancelFileTransfer(transferId_)) {
    case VoIPManager::kCancelledHere:
        EndWithBox(LanguageTable[kCancelled]);
        break;
    case VoIPManager::kEndedMeanwhile:
        // Its end event is on its way; the timer reports it.
        break;
    case VoIPManager::kNoSuchTransfer:
        // Its end, if it ran at all, waits in the queue.
        if (!TakeWaitingEvents()) EndWithBox(LanguageTable[kCancelled]);
        break;
    }
}

void CFileTransferDlg::ShowBox(const wchar_t* text)
{
    ModalGuard::Scope open(boxes_);
    CMsgBox box(text);
    box.DoModal(m_hWnd);
}

bool CFileTransferDlg::EndWithBox(const wchar_t* text)
{
    ShowBox(text);
    ClosePage();
    return true;
}

void CFileTransferDlg::ClosePage()
{
    closed_ = true;
    RemovePageTab(host_, m_hWnd, WM_REMOVE_TRANSFER_PAGE);
}

void CFileTransferDlg::DoPaint(WTL::CDCHandle dc)
{
    DrawBackground(dc);
    WTL::CRect client;
    GetClientRect(&client);
    dc.SetBkMode(TRANSPARENT);

    const size_t slash = path_.find_last_of(L'\\');
    const std::wstring fileName = slash == std::wstring::npos ? std::wstring() : path_.substr(slash + 1);
    // Broken to the page's width, not the area being painted: a partial
    // repaint must show the same lines.
    const std::wstring header = BreakIntoLines(
        dc, LanguageTable[sending_ ? kSendingHeader : kReceivingHeader] + fileName, client.right - 40);
    const COLORREF oldColour = dc.SetTextColor(kHeaderColour);
    WTL::CRect headerArea = client;
    headerArea.top += 50;
    // A file name is no menu text: an ampersand in it is shown.
    dc.DrawText(header.c_str(), -1, &headerArea, DT_CENTER | DT_NOPREFIX);

    dc.SetTextColor(kLineColour);
    WTL::CRect lineArea = client;
    lineArea.top = client.Height() / 2 - 20;
    dc.DrawText(LanguageTable[sending_ ? kSendingLine : kReceivingLine], -1, &lineArea, DT_CENTER);
    dc.SetTextColor(oldColour);

    const int barWidth = client.Width() - 100;
    const int barLeft = client.Width() / 2 - barWidth / 2, barTop = client.Height() / 2 + 10;
    const RECT bar = {barLeft, barTop, barLeft + barWidth, barTop + 16};
    DrawTransferProgressBar(dc, bar, progress_, true);

    CBmpBtn& button = cancel_.m_button;
    if (!button.IsWindow()) return;
    const int left = client.Width() / 2 - 36, top = bar.bottom + 50;
    button.MoveWindow(left, top, kButtonWidth, kButtonHeight, FALSE);
    // Taken at the button's new place, and only from a paint that drew all
    // of it: the off-screen DC of a partial repaint holds nothing elsewhere.
    const RECT place = {left, top, left + kButtonWidth, top + kButtonHeight};
    if (PaintCovers(place)) CaptureParentBackground(button, dc);
    button.ShowWindow(SW_SHOW);
}
