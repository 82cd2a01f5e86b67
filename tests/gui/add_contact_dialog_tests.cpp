// The add-contact dialog: the names it refuses itself, the request it
// sends, and the answers for the name in flight.
#include <windows.h>

#include <gtest/gtest.h>

#include "AddContactDlg.h"
#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"

using namespace dlgtest;

namespace {
HWND AddContact() { return FindOwnedDialog(nullptr); }

std::wstring Formatted(const wchar_t* format, const std::wstring& text)
{
    wchar_t out[1024];
    swprintf(out, 1024, format, text.c_str());
    return out;
}

struct AddContactDialog : DialogTest {
    CAddContactDlg dialog;

    static bool Ready(HWND d)
    {
        return ItemEnabled(d, IDC_NAME) && ItemEnabled(d, IDC_ADD) && ItemText(d, IDC_STATUS) == LanguageTable[72];
    }
    static bool Waiting(HWND d)
    {
        return !ItemEnabled(d, IDC_NAME) && !ItemEnabled(d, IDC_ADD) && ItemText(d, IDC_STATUS) == LanguageTable[73];
    }
    // Add pressed and handled at once. Without a link the core refuses the
    // request there and then, with an event for the name that queues behind
    // whatever was posted before.
    static void AddNow(HWND d, const wchar_t* name)
    {
        SetDlgItemTextW(d, IDC_NAME, name);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_ADD, BN_CLICKED), 0);
    }
    static void Tick(HWND d) { SendMessageW(d, WM_TIMER, CAddContactDlg::kTimerId, 0); }
};
}  // namespace

TEST_F(AddContactDialog, OpensReadyWithItsTextsAndTheFocusInTheName)
{
    std::wstring caption, button;
    bool ready = false;
    HWND focus = nullptr, edit = nullptr;
    int looks = 0;
    Script script({[&] {
                       HWND d = AddContact();
                       if (!d) return false;
                       wchar_t text[128];
                       GetWindowTextW(d, text, 128);
                       caption = text;
                       button = ItemText(d, IDC_ADD);
                       ready = Ready(d);
                       edit = GetDlgItem(d, IDC_NAME);
                       return true;
                   },
                   [&] {
                       // Another program's window may have taken the activation, and
                       // the focus with it: the dialog gives its focus back when it is
                       // active again.
                       HWND d = AddContact();
                       if (GetActiveWindow() != d) SetActiveWindow(d);
                       focus = GetFocus();
                       return (focus && IsChild(d, focus)) || ++looks > 60;
                   },
                   Do([&] {
                       EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(AddContact()), "add_contact"));
                       PostMessageW(AddContact(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_EQ(LanguageTable[116], caption);
    EXPECT_EQ(LanguageTable[122], button);
    EXPECT_TRUE(ready);
    EXPECT_EQ(edit, focus);
}

TEST_F(AddContactDialog, NamesRefusedHereSendNothing)
{
    DeliverContactList({{"bob@pelvane.test", "Bob Baker"}});
    struct Case {
        const wchar_t* name;
        std::wstring text;
        std::wstring caption;
    } cases[] = {{L"", LanguageTable[79], LanguageTable[80]},
                 {L"Bob Baker", Formatted(LanguageTable[140], L"Bob Baker"), LanguageTable[76]}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        CAddContactDlg add;
        EventProbe probe;
        ShownBox box;
        bool ready = false;
        Script script({[&] {
                           if (!AddContact()) return false;
                           TypeText(GetDlgItem(AddContact(), IDC_NAME), c.name);
                           Click(AddContact(), IDC_ADD);
                           return true;
                       },
                       AnswerBox(AddContact, &box), Pause(400), Do([&] {
                           NoBoxOver(AddContact());
                           ready = Ready(AddContact());
                           PostMessageW(AddContact(), WM_CLOSE, 0, 0);
                       })});
        script.Start();
        EXPECT_EQ(2, add.DoModal(nullptr));
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(c.text, box.text);
        EXPECT_EQ(c.caption, box.caption);
        EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
        EXPECT_TRUE(ready);
        // A request sent without a link fails at once with its event.
        EXPECT_TRUE(probe.Kinds().empty());
    }
}

TEST_F(AddContactDialog, ARequestThatCannotGoOutIsRefusedAndTheDialogIsReadyAgain)
{
    // Equal to a contact's first text only: that is sent.
    DeliverContactList({{"bob@pelvane.test", "Bob Baker"}});
    EventProbe probe;
    ShownBox box;
    bool ready = false;
    Script script({[&] {
                       if (!AddContact()) return false;
                       TypeText(GetDlgItem(AddContact(), IDC_NAME), L"bob@pelvane.test");
                       Click(AddContact(), IDC_ADD);
                       return true;
                   },
                   AnswerBox(AddContact, &box), [&] { return Ready(AddContact()); }, Do([&] {
                       ready = true;
                       PostMessageW(AddContact(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[138], box.text);
    EXPECT_EQ(LanguageTable[76], box.caption);
    EXPECT_TRUE(ready);
    EXPECT_EQ(std::vector<int>{VE_AddContactFailed}, probe.Kinds());
}

TEST_F(AddContactDialog, OnlyAnswersForThePendingNameCount)
{
    ShownBox refused, added;
    std::vector<bool> waiting;
    Script script({[&] {
                       HWND d = AddContact();
                       if (!d) return false;
                       PostPair(VE_AddContactFailed, "carol@pelvane.test", "No such user");
                       Post(VE_AddContactDone, "carol@pelvane.test");
                       AddNow(d, L"dave@pelvane.test");
                       waiting.push_back(Waiting(d));
                       // One event per tick; the answers for carol change nothing.
                       for (int i = 0; i < 2; ++i) {
                           Tick(d);
                           waiting.push_back(Waiting(d));
                       }
                       return true;
                   },
                   // The core's refusal for dave.
                   AnswerBox(AddContact, &refused), [&] { return Ready(AddContact()); }, Do([&] {
                       HWND d = AddContact();
                       Post(VE_AddContactDone, "dave@pelvane.test");
                       AddNow(d, L"dave@pelvane.test");
                   }),
                   AnswerBox(AddContact, &added)});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ((std::vector<bool>{true, true, true}), waiting);
    EXPECT_EQ(LanguageTable[138], refused.text);
    EXPECT_EQ(LanguageTable[76], refused.caption);
    EXPECT_EQ(LanguageTable[77], added.text);
    EXPECT_EQ(LanguageTable[78], added.caption);
    EXPECT_EQ(nullptr, added.icon);
}

TEST_F(AddContactDialog, ASessionResetEndsTheDialogWithTwoAfterItsBox)
{
    ShownBox box;
    bool waiting = false;
    Script script({[&] {
                       HWND d = AddContact();
                       if (!d) return false;
                       Post(VE_SessionReset);
                       AddNow(d, L"dave@pelvane.test");
                       waiting = Waiting(d);
                       return true;
                   },
                   AnswerBox(AddContact, &box)});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(waiting);
    EXPECT_EQ(LanguageTable[74], box.text);
    EXPECT_EQ(LanguageTable[75], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
}

TEST_F(AddContactDialog, AResetWaitsForTheRefusalsBox)
{
    ShownBox refused, reset;
    size_t openWithRefusal = 0;
    bool readyAfterRefusal = false;
    Script script({[&] {
                       HWND d = AddContact();
                       if (!d) return false;
                       // Without a link the core refuses at once.
                       AddNow(d, L"dave@pelvane.test");
                       Post(VE_SessionReset);
                       return true;
                   },
                   CountOpenAfter(AddContact, 400, &openWithRefusal), AnswerBox(AddContact, &refused),
                   // The refusal is worked off before the reset's box comes.
                   [&] {
                       HWND d = AddContact();
                       if (!d || !FindOwnedDialog(d)) return false;
                       readyAfterRefusal = Ready(d);
                       return true;
                   },
                   AnswerBox(AddContact, &reset)});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(1u, openWithRefusal);
    EXPECT_EQ(LanguageTable[138], refused.text);
    EXPECT_TRUE(readyAfterRefusal);
    EXPECT_EQ(LanguageTable[74], reset.text);
}
