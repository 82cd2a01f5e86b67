// Helpers for the tests of the program's dialogs: a private registry for
// the current user, scripted steps that wait inside modal loops, message
// boxes read and answered, typed text, events fed to the dialogs as the
// core would post them.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogAccess.h"
#include "events/VoIPMsgHandler.h"

namespace dlgtest {

// For the object's life every access to HKEY_CURRENT_USER of this process
// lands in a scratch key of its own, deleted at the end: the tests may
// write the program's start options and the Run value freely.
class UserRegistrySandbox {
public:
    UserRegistrySandbox();
    ~UserRegistrySandbox();
    UserRegistrySandbox(const UserRegistrySandbox&) = delete;
    UserRegistrySandbox& operator=(const UserRegistrySandbox&) = delete;
    bool Active() const { return scratch_ != nullptr; }

private:
    std::wstring path_;
    HKEY scratch_ = nullptr;
};

// A REG_SZ value as the test sees it; "<missing>" when there is none.
std::wstring ReadString(const wchar_t* key, const wchar_t* name);
void WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& value);

// Steps run on timer ticks of this thread, so inside whatever modal loop
// the test enters after Start. A step is tried on every tick until it
// returns true; the next one starts on a later tick. A step that does not
// finish in time, or dialogs still open that long after the last step, fail
// the test and close every dialog of the thread, so that the loops end. Steps must not enter a modal loop themselves: they
// post what would open one.
class Script {
public:
    typedef std::function<bool()> Step;
    explicit Script(std::vector<Step> steps, DWORD stepTimeoutMs = 20000);
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;
    void Start();
    bool Finished() const { return next_ >= steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    void Run();

    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD timeout_;
    DWORD stepStart_ = 0;
    bool running_ = false;
    bool aborted_ = false;
    UINT_PTR timer_ = 0;
};

// A step that does something once.
Script::Step Do(std::function<void()> action);
// A step that waits the given time.
Script::Step Pause(DWORD ms);

// A step: waits for a message box owned by owner (a function, since the
// owner may not exist yet when the script is made), records it and
// presses the button (OK, the first button of most boxes, unless told).
Script::Step AnswerBox(std::function<HWND()> owner, ShownBox* seen, int button = IDOK);
// The step for when no box may appear: fails at once if one is shown.
bool NoBoxOver(HWND owner);
// A step: waits for a box or dialog over owner, leaves it open for ms (the
// owner's timers tick meanwhile), then counts into open the boxes and
// dialogs owner shows.
Script::Step CountOpenAfter(std::function<HWND()> owner, DWORD ms, size_t* open);
// Runs act while a script answers, with button, a box that owner shows
// meanwhile: what the box said, all empty when none was shown. A box shown
// from inside act would otherwise wait for ever.
ShownBox Answering(std::function<HWND()> owner, std::function<void()> act, int button = IDOK);

// The events the core would post to every registered window.
void Post(VoipEventKind kind);
void Post(VoipEventKind kind, const std::string& text);
void PostPair(VoipEventKind kind, const std::string& first, const std::string& second);
// A kind that carries one number: a signed value, or a byte. A kind that
// carries nothing is posted bare.
void PostValue(VoipEventKind kind, int32_t value);

// A handler of the test's own: registered with the manager, it sees what
// the core broadcasts.
class EventProbe {
public:
    EventProbe();
    ~EventProbe();
    // The kinds received so far (taken out of the queue).
    std::vector<int> Kinds();

private:
    CoreMessageHandler handler_;
};

// Fills the manager's contact table as a plain contact-list command does:
// pairs of (name, second text).
void DeliverContactList(const std::vector<std::pair<std::string, std::string>>& contacts);

// The common ground of the dialog tests: the current user's registry in a
// sandbox, the English texts, a configuration with no server (a started
// core connects nowhere) and a free media port; the core stopped after.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    UserRegistrySandbox registry;
};

// A UDP port nobody else uses right now.
uint16_t FreeUdpPort();
// A file beside the test executable.
std::wstring BesideExe(const wchar_t* name);

}  // namespace dlgtest
