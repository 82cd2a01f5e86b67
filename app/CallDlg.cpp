#include "CallDlg.h"

#include <memory>

#include "media/SoundSet.h"
#include "PelvaneFrame.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
// Language texts of the page.
enum {
    kTitleText = 29,
    kTalkingText = 30,
    kCallingText = 31,
    kIncomingText = 32,
    kRingingText = 33,
    kRefusedText = 34,
    kEndedText = 35,
    kCancelledText = 36,
    kVolumeText = 37,
    kAnsweringText = 141,
};

// As wide as a verification code.
const wchar_t kCodeRoom[] = L"00000";

const COLORREF kTextBlue = RGB(20, 43, 84);
const COLORREF kStatusRed = RGB(255, 0, 0);
const UINT kCentredLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

// FitFont's sizes, in tenths of a point. Beyond the largest the search
// gives up: a text that measures nothing would never stop it.
const int kFirstFontTenths = 29, kFontStepTenths = 4, kLargestFontTenths = 720;

// The call lamp's strip: four frames side by side.
const int kLampStripWidth = 124, kLampStripHeight = 34;

// The row of call buttons lies this far below the trackbar's place, and an
// off-centre button keeps this margin to the trackbar's ends.
const int kRowGap = 30, kRowMargin = 10;

// Instance numbers are given to test clients: the even ones answer every
// call, the odd ones hang up by themselves.
bool IsEvenInstance(int32_t index) { return index != -1 && index % 2 == 0; }
bool IsOddInstance(int32_t index) { return index != -1 && index % 2 != 0; }

HFONT DefaultFaceFont(HDC dc, int tenths, bool bold)
{
    WTL::CFont font;
    font.CreatePointFont(tenths, L"", dc, bold);
    return font.Detach();
}

SIZE MeasureLine(HDC dc, HFONT font, const wchar_t* text)
{
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT measured = {0, 0, 0, 0};
    ::DrawTextW(dc, text, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(dc, old);
    return {measured.right - measured.left, measured.bottom - measured.top};
}

// Draws text in the font that fits fitFor to area.
void DrawFittedText(WTL::CDCHandle dc, const RECT& area, const wchar_t* text, const wchar_t* fitFor, bool bold,
                    COLORREF colour, UINT format)
{
    WTL::CFont font(FitFont(dc, bold, area, fitFor));
    HFONT old = dc.SelectFont(font);
    dc.SetTextColor(colour);
    RECT place = area;
    dc.DrawText(text, -1, &place, format);
    dc.SelectFont(old);
}
}  // namespace

HFONT FitFont(HDC dc, bool bold, const RECT& area, const wchar_t* text)
{
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    int tenths = kFirstFontTenths;
    for (; tenths < kLargestFontTenths; tenths += kFontStepTenths) {
        WTL::CFont font(DefaultFaceFont(dc, tenths, bold));
        const SIZE measured = MeasureLine(dc, font, text);
        if (measured.cx >= width || measured.cy >= height) break;
    }
    return DefaultFaceFont(dc, tenths - kFontStepTenths, bold);
}

CCallDlg::CCallDlg(const std::string& contactName, const std::wstring& displayText, bool outgoing)
    : displayText_(displayText), ringStep_(0), volumeHidden_(false), contactName_(contactName),
      outgoing_(outgoing), state_(kCallCalling), autoHangUpTimer_(kAutoHangUpMs), autoHangUpDone_(false),
      speakOffered_(1), answeringTimer_(kAnsweringMs), frame_(nullptr), host_(nullptr), ringing_(false),
      mediaNumber_(0)
{
}

CCallDlg::~CCallDlg() = default;

void CCallDlg::SetHosts(CTabHost* tabHost, CPelvaneFrame* frame)
{
    host_ = tabHost;
    frame_ = frame;
}

bool CCallDlg::IsCallActive() const
{
    return state_ != kCallRefused && state_ != kCallEndedBeforeTalking && state_ != kCallEndedAfterTalking;
}

// ---------------------------------------------------------------- opening

LRESULT CCallDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    volumeTrackbar_.Attach(GetDlgItem(IDC_VOLUME));
    volumeTrackbar_.SetRange(0, kVolumeSteps, TRUE);
    ringStep_ = 0;
    speakOffered_ = 1;

    const int32_t percent = GetAppConfig()->GetVolumePercent();
    GetVoIPManager()->GetAudioEngine().SetVolume(PercentToVolume(percent));
    volumeTrackbar_.SetPos(percent / 10);

    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
    SetupButtons();

    if (outgoing_) {
        state_ = kCallCalling;
        GetVoIPManager()->PlaceCall(contactName_);
        HideVolume();
    } else {
        state_ = kCallRinging;
        StartRing(&SoundSet::PlayRecipientRing);
        ShowVolume();
        if (IsEvenInstance(GetAppConfig()->GetInstanceIndex())) Accept();
    }
    callIndicator_.m_button.EnableWindow(FALSE);
    autoHangUpTimer_.Stamp();
    return TRUE;
}

void CCallDlg::SetupButtons()
{
    const struct {
        CBmpBtnItem* item;
        int id;
        UINT bitmap;
    } buttons[] = {
        {&chatButton_, IDC_OPEN_CHAT, IDB_BUTTON_CHAT},
        {&sendFileButton_, IDC_SEND_FILE, IDB_BUTTON_FILE},
        {&endButton_, IDC_END_CALL, IDB_BUTTON_END},
        {&acceptButton_, IDC_ACCEPT, IDB_BUTTON_ACCEPT},
        {&speakButton_, IDC_SPEAK, IDB_BUTTON_SPEAK},
        {&speakPendingButton_, IDC_SPEAK_WAIT, IDB_BUTTON_SPEAK_WAIT},
    };
    for (const auto& b : buttons) b.item->Subclass(GetDlgItem(b.id), b.bitmap);

    callIndicator_.m_item = GetDlgItem(IDC_CALL_LAMP);
    CBmpBtnEx& lamp = callIndicator_.m_button;
    lamp.SubclassWindow(callIndicator_.m_item);
    lamp.SetBitmapButtonExtendedStyle(BMPBTN_HOVER);
    lamp.SetHorizontalStrip(true);
    lamp.LoadStripResource(IDR_CALL_LAMP, kLampStripWidth, kLampStripHeight);
}

LRESULT CCallDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    KillTimer(kCloseTimer);
    for (CBmpBtnItem* item : {&chatButton_, &sendFileButton_, &acceptButton_, &endButton_, &speakButton_,
                              &speakPendingButton_})
        if (item->m_button.IsWindow()) item->m_button.DestroyWindow();
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    if (ringing_) StopSounds();
    // Closed while its call's media still runs (the tab closed before the
    // page took the end): the microphone must not outlive the page.
    if (mediaNumber_) GetVoIPManager()->EndCallOfMedia(mediaNumber_);
    bHandled = FALSE;
    return 0;
}

// ---------------------------------------------------------------- events

LRESULT CCallDlg::OnPollEvents(UINT, WPARAM, LPARAM, BOOL&)
{
    if (IsOddInstance(GetAppConfig()->GetInstanceIndex()) && autoHangUpTimer_.Expired() && !autoHangUpDone_) {
        HangUp();
        autoHangUpDone_ = true;
    }
    if (answeringTimer_.Expired() && state_ == kCallAnswering) {
        state_ = kCallTalking;
        Layout();
    }
    if (state_ == kCallTalking) {
        // The lamp blinks at the polling rate while the call runs.
        CBmpBtnEx& lamp = callIndicator_.m_button;
        lamp.EnableWindow(!lamp.IsWindowEnabled());
        lamp.Invalidate(FALSE);
    }
    std::unique_ptr<VoipEvent> event(handler_.PopEvent());
    if (event && HandleEvent(*event)) RequestRepaint();
    return 0;
}

bool CCallDlg::HandleEvent(const VoipEvent& event)
{
    switch (event.GetKind()) {
    case VE_CallReply: {
        const VoipEventValue* reply = event.Payload<VoipEventValue>();
        if (reply && reply->value != 0) {
            state_ = kCallRefused;
            SetTimer(kCloseTimer, kClosePeriodMs);
        } else {
            state_ = kCallCalling;
        }
        return true;
    }
    case VE_CallRequested:
        state_ = kCallCalling;
        return true;
    case VE_ProbeStatus:
        return true;
    case VE_CallValue:
        return !IsEnded();
    case VE_MediaConnected:
        if (IsEnded()) return false;
        state_ = kCallRinging;
        ShowVolume();
        StartRing(&SoundSet::PlayCallerRing);
        return true;
    case VE_PeerAccepted:
        // Only the caller's audio waits for the peer. An incoming call's
        // starts with this user's accept, and the peer's acceptance only
        // shows it running once that was given.
        if (!outgoing_ && state_ != kCallAnswering && state_ != kCallTalking) return false;
        state_ = kCallTalking;
        if (outgoing_) StartMedia();
        PlayAfterRing(&SoundSet::PlayCallStarted);
        return true;
    case VE_CallEnded:
        if (state_ == kCallEndedAfterTalking) return false;
        EndCallHere(kCallEndedAfterTalking);
        return true;
    case VE_CallPageSignal:
        speakOffered_ = 1;
        ShowSpeakButtons();
        return true;
    default:
        return false;
    }
}

void CCallDlg::StartMedia()
{
    VoIPManager* manager = GetVoIPManager();
    if (manager->AcceptCall()) mediaNumber_ = manager->GetMediaNumber();
}

void CCallDlg::EndCallHere(CallPageState endState)
{
    GetVoIPManager()->EndCall();
    mediaNumber_ = 0;
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    // What is still queued belongs to the call just ended, the core's
    // answer to EndCall included: taken later, it would end the call again.
    while (VoipEvent* stale = handler_.PopEvent()) delete stale;
    state_ = endState;
    SetTimer(kCloseTimer, kClosePeriodMs);
    PlayAfterRing(&SoundSet::PlayEndOfCall);
}

// ---------------------------------------------------------------- user actions

LRESULT CCallDlg::OnAccept(WORD, WORD, HWND, BOOL&)
{
    Accept();
    return 0;
}

void CCallDlg::Accept()
{
    if (outgoing_ || state_ != kCallRinging) return;
    StartMedia();
    state_ = kCallAnswering;
    answeringTimer_.Stamp();
    Layout();
    StopSounds();
}

LRESULT CCallDlg::OnAcceptMessage(UINT, WPARAM, LPARAM, BOOL&)
{
    if (outgoing_ || state_ != kCallRinging) return 0;
    StartMedia();
    state_ = kCallTalking;
    RequestRepaint();
    PlayAfterRing(&SoundSet::PlayCallStarted);
    return 0;
}

LRESULT CCallDlg::OnHangUp(WORD, WORD, HWND, BOOL&)
{
    HangUp();
    return 0;
}

void CCallDlg::HangUp()
{
    if (IsEnded()) return;
    EndCallHere(state_ == kCallTalking ? kCallEndedAfterTalking : kCallEndedBeforeTalking);
    RequestRepaint();
}

void CCallDlg::OpenContactPage(int kind)
{
    if (frame_) frame_->OpenContactPage(displayText_.c_str(), FromAnsi(contactName_).c_str(), kind);
}

LRESULT CCallDlg::OnSendFile(WORD, WORD, HWND, BOOL&)
{
    OpenContactPage(kPageSendFile);
    return 0;
}

LRESULT CCallDlg::OnOpenChat(WORD, WORD, HWND, BOOL&)
{
    OpenContactPage(kPageChat);
    return 0;
}

LRESULT CCallDlg::OnSpeak(WORD, WORD, HWND, BOOL&)
{
    speakOffered_ = 0;
    ShowSpeakButtons();
    GetVoIPManager()->SendCommand43();
    return 0;
}

LRESULT CCallDlg::OnVolumeScroll(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
{
    if (reinterpret_cast<HWND>(lParam) != volumeTrackbar_.m_hWnd) {
        bHandled = FALSE;
        return 0;
    }
    const int32_t percent = volumeTrackbar_.GetPos() * 10;
    GetAppConfig()->SetVolumePercent(percent);
    GetVoIPManager()->GetAudioEngine().SetVolume(PercentToVolume(percent));
    return 0;
}

// ---------------------------------------------------------------- sounds

void CCallDlg::StartRing(void (SoundSet::*ring)())
{
    (GetSoundSet()->*ring)();
    ringing_ = true;
}

void CCallDlg::StopSounds()
{
    GetSoundSet()->Stop();
    ringing_ = false;
}

void CCallDlg::PlayAfterRing(void (SoundSet::*sound)())
{
    StopSounds();
    (GetSoundSet()->*sound)();
}

// ---------------------------------------------------------------- layout

void CCallDlg::HideVolume()
{
    volumeHidden_ = true;
    if (volumeTrackbar_.IsWindow()) volumeTrackbar_.ShowWindow(SW_HIDE);
}

void CCallDlg::ShowVolume()
{
    volumeHidden_ = false;
    if (volumeTrackbar_.IsWindow()) volumeTrackbar_.ShowWindow(SW_SHOW);
}

LRESULT CCallDlg::OnSize(UINT, WPARAM, LPARAM, BOOL&)
{
    Layout();
    return 0;
}

WTL::CRect CCallDlg::TrackbarPlace() const
{
    WTL::CRect client, bar;
    GetClientRect(&client);
    ::GetWindowRect(volumeTrackbar_, &bar);
    const int top = client.top + client.Height() / 2;
    return WTL::CRect(client.left + 30, top, client.right - 30, top + bar.Height());
}

void CCallDlg::Layout()
{
    // The dialog is sized once before its controls exist.
    if (!volumeTrackbar_.IsWindow()) return;
    const WTL::CRect place = TrackbarPlace();
    volumeTrackbar_.MoveWindow(&place, TRUE);
    volumeArea_ = place;
    volumeArea_.bottom -= place.Height() / 2;
    RequestRepaint();
    for (HWND button : {acceptButton_.m_button.m_hWnd, callIndicator_.m_button.m_hWnd, endButton_.m_button.m_hWnd,
                        speakButton_.m_button.m_hWnd, speakPendingButton_.m_button.m_hWnd})
        if (::IsWindow(button)) ::InvalidateRect(button, nullptr, TRUE);
}

LRESULT CCallDlg::OnEnterSizeMove(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    // The next paint puts them back where they belong.
    for (CBmpBtnItem* item : {&endButton_, &speakButton_, &speakPendingButton_})
        if (item->m_button.IsWindow()) item->m_button.ShowWindow(SW_HIDE);
    bHandled = FALSE;
    return 0;
}

bool CCallDlg::HasSpeakRow() const
{
    return state_ == kCallTalking && GetVoIPManager()->GetAudioEngine().GetCallMode() == 512;
}

void CCallDlg::ShowSpeakButtons()
{
    const bool row = HasSpeakRow();
    speakButton_.m_button.ShowWindow(row && speakOffered_ == 1 ? SW_SHOW : SW_HIDE);
    speakPendingButton_.m_button.ShowWindow(row && speakOffered_ != 1 ? SW_SHOW : SW_HIDE);
    speakButton_.m_button.Invalidate(FALSE);
    speakPendingButton_.m_button.Invalidate(FALSE);
}

// ---------------------------------------------------------------- closing

LRESULT CCallDlg::OnCloseTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
{
    if (wParam != kCloseTimer) {
        bHandled = FALSE;
        return 0;
    }
    // Another handler of the page lies below this one: its button ran a
    // dialog of the frame (the file to send, the busy box), and what the
    // user chooses there still happens. The page goes once it returned.
    if (GetMessageDepth() > 1) return 0;
    RemovePageTab(host_, m_hWnd, WM_REMOVE_CALL_PAGE);
    return 0;
}

// ---------------------------------------------------------------- painting

LRESULT CCallDlg::OnShowLamp(UINT, WPARAM, LPARAM, BOOL&)
{
    CBmpBtnEx& lamp = callIndicator_.m_button;
    if (!lamp.IsWindow() || (lamp.GetStyle() & WS_VISIBLE) != 0) return 0;
    // A paint while it was hidden saw nothing of the page.
    lamp.ResetBackdrop();
    lamp.ShowWindow(SW_SHOW);
    return 0;
}

void CCallDlg::DoPaint(WTL::CDCHandle dc)
{
    DrawBackground(dc);
    WTL::CRect client;
    GetClientRect(&client);
    dc.SetBkMode(TRANSPARENT);

    if (volumeHidden_) {
        DrawLevelBar(dc, volumeArea_, ringStep_);
        ringStep_ += 25;
        if (ringStep_ > 100) ringStep_ = 0;
    }

    CBmpBtnEx& lamp = callIndicator_.m_button;
    if (lamp.IsWindow()) {
        lamp.SetWindowPos(nullptr, client.right - 40, client.top + 5, 32, 32,
                          SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        // Shown once this paint is on the screen, since the lamp blends over
        // what the screen holds under it at its first paint: shown now, it
        // would clip this paint out of its place and find nothing there.
        if ((lamp.GetStyle() & WS_VISIBLE) == 0) PostMessage(WM_SHOW_LAMP);
    }

    DrawTitle(dc, client);
    DrawStatus(dc, client);
    if (!volumeHidden_) DrawVolumeLabel(dc);
    PlaceButtons(dc, client);
}

void CCallDlg::DrawTitle(WTL::CDCHandle dc, const WTL::CRect& client)
{
    WTL::CRect chat, sendFile;
    chatButton_.m_button.GetWindowRect(&chat);
    sendFileButton_.m_button.GetWindowRect(&sendFile);
    const WTL::CRect area(client.left + chat.Width() + sendFile.Width() + 25, client.top + 40, client.right - 42,
                          client.top + 60);
    const std::wstring title = std::wstring(LanguageTable[kTitleText]) + displayText_;
    DrawFittedText(dc, area, title.c_str(), title.c_str(), true, kTextBlue, kCentredLine);
}

std::wstring CCallDlg::StatusText() const
{
    switch (state_) {
    case kCallCalling:
        return LanguageTable[kCallingText];
    case kCallRinging:
        return LanguageTable[outgoing_ ? kRingingText : kIncomingText];
    case kCallAnswering:
        return LanguageTable[kAnsweringText];
    case kCallTalking:
        return LanguageTable[kTalkingText] + GetVoIPManager()->GetVerificationCode();
    case kCallRefused:
        return LanguageTable[kRefusedText];
    case kCallEndedBeforeTalking:
        return LanguageTable[kCancelledText];
    case kCallEndedAfterTalking:
        return LanguageTable[kEndedText];
    }
    return std::wstring();
}

void CCallDlg::DrawStatus(WTL::CDCHandle dc, const WTL::CRect& client)
{
    WTL::CRect bar, page;
    volumeTrackbar_.GetWindowRect(&bar);
    GetWindowRect(&page);
    const int top = (bar.top - page.top) - 60;
    const WTL::CRect area(client.left + 30, top, client.right - 30, top + 25);
    // One size for every state, so that the line does not jump as the call
    // goes on: the talking line's, with room for its five-digit code.
    const std::wstring longest = std::wstring(LanguageTable[kTalkingText]) + kCodeRoom;
    DrawFittedText(dc, area, StatusText().c_str(), longest.c_str(), false, kStatusRed, kCentredLine);
}

void CCallDlg::DrawVolumeLabel(WTL::CDCHandle dc)
{
    const WTL::CRect area(volumeArea_.left, volumeArea_.top - 25, volumeArea_.right, volumeArea_.top - 5);
    DrawFittedText(dc, area, LanguageTable[kVolumeText], LanguageTable[kVolumeText], false, kTextBlue,
                   DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

void CCallDlg::ShowButtonOver(WTL::CDCHandle dc, CBmpBtn& button, const POINT* place)
{
    if (!button.IsWindow()) return;
    if (place) button.SetWindowPos(nullptr, place->x, place->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WTL::CRect rect;
    button.GetWindowRect(&rect);
    ScreenToClient(&rect);
    // The button shows what this paint put under it; an area outside this
    // paint is painted again first.
    if (PaintCovers(rect))
        CaptureParentBackground(button, dc);
    else
        InvalidateRect(&rect, FALSE);
    button.ShowWindow(SW_SHOW);
    button.Invalidate(FALSE);
}

void CCallDlg::PlaceButtons(WTL::CDCHandle dc, const WTL::CRect& client)
{
    const WTL::CRect row = TrackbarPlace();
    const int top = row.bottom + kRowGap;
    const POINT nearLeft = {row.left + kRowMargin, top};
    const POINT nearRight = {row.right - kButtonWidth - kRowMargin, top};
    POINT end = {client.Width() / 2 - kButtonWidth / 2, top};

    ShowButtonOver(dc, chatButton_.m_button);
    ShowButtonOver(dc, sendFileButton_.m_button);

    if (!outgoing_ && (state_ == kCallCalling || state_ == kCallRinging)) {
        ShowButtonOver(dc, acceptButton_.m_button, &nearLeft);
        end = nearRight;
    } else {
        acceptButton_.m_button.ShowWindow(SW_HIDE);
    }

    if (HasSpeakRow()) {
        CBmpBtn& shown = speakOffered_ == 1 ? speakButton_.m_button : speakPendingButton_.m_button;
        CBmpBtn& hidden = speakOffered_ == 1 ? speakPendingButton_.m_button : speakButton_.m_button;
        hidden.ShowWindow(SW_HIDE);
        ShowButtonOver(dc, shown, &nearLeft);
    } else {
        speakButton_.m_button.ShowWindow(SW_HIDE);
        speakPendingButton_.m_button.ShowWindow(SW_HIDE);
    }
    if (GetVoIPManager()->GetAudioEngine().GetCallMode() == 512) end = nearRight;

    ShowButtonOver(dc, endButton_.m_button, &end);
}
