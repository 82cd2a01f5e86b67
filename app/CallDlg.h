// The call page: one voice call with one contact, outgoing or incoming, as
// a tab of the conversation window. It places or answers the call through
// the session manager, follows it through the core's events (one per poll
// of the conversation window), plays the call sounds, sets the output
// volume, shows the call's state and verification code, and closes its own
// tab once the call is over.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "BackgroundDlg.h"
#include "base/Locks.h"
#include "BmpBtn.h"
#include "Controls.h"
#include "ConversationPages.h"
#include "events/VoIPMsgHandler.h"
#include "resource.h"

class SoundSet;

// The page's own view of the call (not the core's call state).
enum CallPageState : int32_t {
    kCallCalling = 0,
    kCallRinging = 1,
    kCallAnswering = 2,
    kCallTalking = 3,
    kCallRefused = 4,
    kCallEndedBeforeTalking = 5,
    kCallEndedAfterTalking = 6,
};

// The largest font of the default face, in steps of 0.4 point from 2.9
// point, in which text stays narrower and lower than area on one line.
// The caller owns the font.
HFONT FitFont(HDC dc, bool bold, const RECT& area, const wchar_t* text);

class CCallDlg : public CBackgroundDlg<CCallDlg>, public CCallPage {
public:
    enum { IDD = IDD_CALL };
    enum { kCloseTimer = 1, kClosePeriodMs = 100 };
    // A numbered test instance hangs up by itself this long after the page
    // opened (odd numbers); the audio is given this long to start after
    // the user accepts.
    enum { kAutoHangUpMs = 14000, kAnsweringMs = 2000 };
    enum { kButtonWidth = 73, kVolumeSteps = 10 };

    CCallDlg(const std::string& contactName, const std::wstring& displayText, bool outgoing);
    ~CCallDlg() override;

    // The page as the conversation window holds it.
    HWND CreatePage(HWND tabHost) override { return Create(tabHost); }
    HWND GetPageWindow() const override { return m_hWnd; }
    void SetHosts(CTabHost* tabHost, CPelvaneFrame* frame) override;
    std::wstring GetDisplayText() const override { return displayText_; }
    bool IsCallActive() const override;
    void MarkEnded() override { state_ = kCallEndedBeforeTalking; }

    // The base's map first (off-screen painting); Enter and Escape do not
    // close the page.
    BEGIN_MSG_MAP(CCallDlg)
        CHAIN_MSG_MAP(CBackgroundDlg<CCallDlg>)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_PAGE_POLL, OnPollEvents)
        MESSAGE_HANDLER(WM_USER + 150, OnIgnoredMessage)
        MESSAGE_HANDLER(WM_ACCEPT_CALL, OnAcceptMessage)
        MESSAGE_HANDLER(WM_HSCROLL, OnVolumeScroll)
        MESSAGE_HANDLER(WM_ENTERSIZEMOVE, OnEnterSizeMove)
        MESSAGE_HANDLER(WM_TIMER, OnCloseTimer)
        MESSAGE_HANDLER(WM_SHOW_LAMP, OnShowLamp)
        COMMAND_ID_HANDLER(IDOK, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnIgnoredCommand)
        COMMAND_ID_HANDLER(IDC_ACCEPT, OnAccept)
        COMMAND_ID_HANDLER(IDC_END_CALL, OnHangUp)
        COMMAND_ID_HANDLER(IDC_SEND_FILE, OnSendFile)
        COMMAND_ID_HANDLER(IDC_OPEN_CHAT, OnOpenChat)
        COMMAND_ID_HANDLER(IDC_SPEAK, OnSpeak)
    END_MSG_MAP()

    // Accepts an incoming call at once, without the answering delay.
    static const UINT WM_ACCEPT_CALL = WM_USER + 151;
    // The page's own: shows the call lamp after a paint.
    static const UINT WM_SHOW_LAMP = WM_APP + 1;

    WTL::CBitmap* GetParentBackground() { return host_ ? host_->GetBackgroundBitmap() : nullptr; }
    void DoPaint(WTL::CDCHandle dc);

    CallPageState GetState() const { return state_; }
    bool IsOutgoing() const { return outgoing_; }
    const std::string& GetContactName() const { return contactName_; }
    // The fill of the ringing bar at the next paint, in percent.
    int GetRingStep() const { return ringStep_; }
    bool IsVolumeHidden() const { return volumeHidden_; }
    // The upper half of the trackbar's place: the ringing bar and the
    // volume label go there.
    const RECT& GetVolumeArea() const { return volumeArea_; }
    bool IsSpeakOffered() const { return speakOffered_ != 0; }
    // The queue the core puts this page's events in.
    VoIPMsgHandler& GetEventHandler() { return handler_; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPollEvents(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnoredMessage(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnAcceptMessage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVolumeScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEnterSizeMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCloseTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnShowLamp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnIgnoredCommand(WORD, WORD, HWND, BOOL&) { return 0; }
    LRESULT OnAccept(WORD, WORD, HWND, BOOL&);
    LRESULT OnHangUp(WORD, WORD, HWND, BOOL&);
    LRESULT OnSendFile(WORD, WORD, HWND, BOOL&);
    LRESULT OnOpenChat(WORD, WORD, HWND, BOOL&);
    LRESULT OnSpeak(WORD, WORD, HWND, BOOL&);

    void SetupButtons();
    // True when the page changed and is to be repainted.
    bool HandleEvent(const VoipEvent& event);
    void Accept();
    // Accepts in the core, which starts this side's media.
    void StartMedia();
    void HangUp();
    // Ends the call on this side, leaves the core's broadcasts and closes
    // the page shortly after, in the given end state.
    void EndCallHere(CallPageState endState);
    void HideVolume();
    void ShowVolume();
    void Layout();
    void OpenContactPage(int kind);
    bool IsEnded() const { return !IsCallActive(); }
    bool HasSpeakRow() const;
    // Shows the speak button that fits the offer in the speak row, and
    // neither outside it.
    void ShowSpeakButtons();

    // Sounds. A ring loops until stopped; the page stops only its own ring
    // when it goes, so that a closing sound is heard to its end.
    void StartRing(void (SoundSet::*ring)());
    void StopSounds();
    void PlayAfterRing(void (SoundSet::*sound)());

    // Painting.
    WTL::CRect TrackbarPlace() const;
    void DrawTitle(WTL::CDCHandle dc, const WTL::CRect& client);
    void DrawStatus(WTL::CDCHandle dc, const WTL::CRect& client);
    void DrawVolumeLabel(WTL::CDCHandle dc);
    void PlaceButtons(WTL::CDCHandle dc, const WTL::CRect& client);
    // Shows the button (at left, top when given) over what this paint drew
    // under it.
    void ShowButtonOver(WTL::CDCHandle dc, CBmpBtn& button, const POINT* place = nullptr);
    std::wstring StatusText() const;

    std::wstring displayText_;
    WTL::CTrackBarCtrl volumeTrackbar_;
    int ringStep_;
    bool volumeHidden_;
    WTL::CRect volumeArea_;
    std::string contactName_;
    bool outgoing_;
    CBmpBtnItem chatButton_;
    CBmpBtnItem sendFileButton_;
    CBmpBtnItem acceptButton_;
    CBmpBtnItem endButton_;
    CBmpBtnItem speakButton_;
    CBmpBtnItem speakPendingButton_;
    CBmpBtnExItem callIndicator_;
    CallPageState state_;
    CoreMessageHandler handler_;
    IntervalTimer autoHangUpTimer_;
    bool autoHangUpDone_;
    int32_t speakOffered_;
    IntervalTimer answeringTimer_;
    CPelvaneFrame* frame_;
    CTabHost* host_;
    bool ringing_;
    // The core's number of the media this page started, until the page
    // ended its call; 0 for none.
    uint32_t mediaNumber_;
};
