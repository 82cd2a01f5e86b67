// Window classes and objects: class registration (own, generated and
// superclassed), subclassing in layers, the end of a window's life, and
// dialogs (modal results, modeless ones, answers through DWLP_MSGRESULT).
#include <gtest/gtest.h>

#include <string>

#include "DialogImpl.h"
#include "GuiHarness.h"
#include "WindowImpl.h"
#include "framework_test_ids.h"

namespace {
const UINT kProbe = WM_APP + 50;

std::wstring ClassName(HWND hWnd)
{
    wchar_t name[128] = L"";
    GetClassNameW(hWnd, name, 128);
    return name;
}

class NamedClassWnd : public ATL::CWindowImpl<NamedClassWnd> {
public:
    DECLARE_WND_CLASS_EX(L"PvTestNamedClass", CS_DBLCLKS, COLOR_BTNFACE)
    BEGIN_MSG_MAP(NamedClassWnd)
    END_MSG_MAP()
};

class AnonymousA : public ATL::CWindowImpl<AnonymousA> {
public:
    BEGIN_MSG_MAP(AnonymousA)
    END_MSG_MAP()
};
class AnonymousB : public ATL::CWindowImpl<AnonymousB> {
public:
    BEGIN_MSG_MAP(AnonymousB)
    END_MSG_MAP()
};

// An edit box under a new class name that refuses the letter x.
class NoXEdit : public ATL::CWindowImpl<NoXEdit> {
public:
    DECLARE_WND_SUPERCLASS(L"PvTestNoXEdit", L"EDIT")
    BEGIN_MSG_MAP(NoXEdit)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
    END_MSG_MAP()
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        bHandled = wParam == L'x';
        return 0;
    }
};
}  // namespace

TEST(WindowClass, DeclaredNameStyleAndBackground)
{
    NamedClassWnd wnd;
    ASSERT_NE(nullptr, wnd.Create(nullptr, nullptr, L"named", WS_POPUP));
    EXPECT_EQ(L"PvTestNamedClass", ClassName(wnd));
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(ATL::GetModuleInstance(), L"PvTestNamedClass", &info));
    EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), info.style);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), info.hbrBackground);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), info.hCursor);
    wnd.DestroyWindow();
}

TEST(WindowClass, UnnamedClassesGetNamesOfTheirOwn)
{
    AnonymousA a;
    AnonymousB b;
    ASSERT_NE(nullptr, a.Create(nullptr, nullptr, L"a", WS_POPUP));
    ASSERT_NE(nullptr, b.Create(nullptr, nullptr, L"b", WS_POPUP));
    EXPECT_EQ(0u, ClassName(a).find(L"Pelvane:"));
    EXPECT_NE(ClassName(a), ClassName(b));
    // A second window of the same class reuses the registration.
    AnonymousA again;
    ASSERT_NE(nullptr, again.Create(nullptr, nullptr, L"a2", WS_POPUP));
    EXPECT_EQ(ClassName(a), ClassName(again));
    a.DestroyWindow();
    b.DestroyWindow();
    again.DestroyWindow();
}

TEST(WindowClass, SuperclassBehavesAsTheOriginalUnderItsNewName)
{
    NoXEdit edit;
    ASSERT_NE(nullptr, edit.Create(nullptr, nullptr, L"", WS_POPUP | ES_AUTOHSCROLL));
    EXPECT_EQ(L"PvTestNoXEdit", ClassName(edit));
    edit.SendMessage(EM_LIMITTEXT, 5);
    EXPECT_EQ(5, edit.SendMessage(EM_GETLIMITTEXT));
    for (wchar_t c : std::wstring(L"axbx")) edit.SendMessage(WM_CHAR, c, 1);
    EXPECT_EQ(L"ab", edit.GetWindowText());
    edit.DestroyWindow();
}

namespace {
class Layer : public ATL::CWindowImpl<Layer> {
public:
    std::string* trace;
    char mark;
    explicit Layer(std::string* t, char m) : trace(t), mark(m) {}
    BEGIN_MSG_MAP(Layer)
        MESSAGE_HANDLER(kProbe, OnProbe)
    END_MSG_MAP()
    LRESULT OnProbe(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        *trace += mark;
        bHandled = FALSE;
        return 0;
    }
};
}  // namespace

TEST(Subclassing, LayersSeeMessagesOutermostFirstAndUnwindInOrder)
{
    HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_POPUP | BS_AUTOCHECKBOX, 0, 0, 50, 20, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, button);
    WNDPROC original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_WNDPROC));
    std::string trace;
    Layer inner(&trace, 'i'), outer(&trace, 'o');
    ASSERT_TRUE(inner.SubclassWindow(button));
    EXPECT_FALSE(inner.SubclassWindow(button)) << "an object implements one window";
    ASSERT_TRUE(outer.SubclassWindow(button));

    SendMessageW(button, kProbe, 0, 0);
    EXPECT_EQ("oi", trace);
    // The button itself still works beneath both layers.
    SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(button, BM_GETCHECK, 0, 0));

    EXPECT_EQ(nullptr, inner.UnsubclassWindow()) << "refused while another layer lies on top";
    EXPECT_EQ(button, outer.UnsubclassWindow());
    EXPECT_EQ(button, inner.UnsubclassWindow());
    EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_WNDPROC)));
    trace.clear();
    SendMessageW(button, kProbe, 0, 0);
    EXPECT_EQ("", trace);
    DestroyWindow(button);
}

namespace {
class FinalWnd : public ATL::CWindowImpl<FinalWnd> {
public:
    int* finals;
    bool* deleted;
    bool destroyInHandler = false;
    bool seenHandleAfterDestroy = false;
    FinalWnd(int* f, bool* d) : finals(f), deleted(d) {}
    ~FinalWnd() override
    {
        if (deleted) *deleted = true;
    }
    BEGIN_MSG_MAP(FinalWnd)
        MESSAGE_HANDLER(kProbe, OnProbe)
    END_MSG_MAP()
    LRESULT OnProbe(UINT, WPARAM, LPARAM, BOOL&)
    {
        ::DestroyWindow(m_hWnd);
        // Still inside a message of this window: not yet released.
        seenHandleAfterDestroy = m_hWnd != nullptr && *finals == 0;
        return 0;
    }
    void OnFinalMessage(HWND) override
    {
        ++*finals;
        if (deleted) delete this;
    }
};
}  // namespace

TEST(WindowLifetime, FinalMessageComesOnceAfterTheOutermostMessage)
{
    int finals = 0;
    FinalWnd wnd(&finals, nullptr);
    ASSERT_NE(nullptr, wnd.Create(nullptr, nullptr, L"final", WS_POPUP));
    wnd.SendMessage(kProbe);
    EXPECT_TRUE(wnd.seenHandleAfterDestroy);
    EXPECT_EQ(1, finals);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
}

TEST(WindowLifetime, ObjectMayDeleteItselfInItsFinalMessage)
{
    int finals = 0;
    bool deleted = false;
    FinalWnd* wnd = new FinalWnd(&finals, &deleted);
    HWND hWnd = wnd->Create(nullptr, nullptr, L"self-deleting", WS_POPUP);
    ASSERT_NE(nullptr, hWnd);
    DestroyWindow(hWnd);
    EXPECT_EQ(1, finals);
    EXPECT_TRUE(deleted);
}

TEST(WindowLifetime, WindowOutlivingItsObjectFallsBackToItsOwnProcedure)
{
    HWND hWnd;
    {
        NoXEdit edit;
        hWnd = edit.Create(nullptr, nullptr, L"", WS_POPUP | ES_AUTOHSCROLL);
        ASSERT_NE(nullptr, hWnd);
    }
    SendMessageW(hWnd, WM_CHAR, L'x', 1);
    wchar_t text[8] = L"";
    GetWindowTextW(hWnd, text, 8);
    EXPECT_STREQ(L"x", text) << "the edit procedure handles everything again";
    DestroyWindow(hWnd);
}

namespace {
class TestDialog : public ATL::CDialogImpl<TestDialog> {
public:
    enum { IDD = IDD_TEST_DIALOG };
    LPARAM initParam = -1;
    int finals = 0;
    HBRUSH brush = reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));

    BEGIN_MSG_MAP(TestDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_CTLCOLORDLG, OnColor)
        NOTIFY_CODE_HANDLER(kNotifyAnswer, OnNotify)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    static const UINT kNotifyAnswer = 0xFFFFF100u;
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        initParam = lParam;
        return TRUE;
    }
    LRESULT OnColor(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(brush); }
    LRESULT OnNotify(int, LPNMHDR, BOOL&) { return 1234; }
    LRESULT OnOK(WORD, WORD, HWND, BOOL&)
    {
        EndDialog(77);
        return 0;
    }
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&)
    {
        EndDialog(IDCANCEL);
        return 0;
    }
    void OnFinalMessage(HWND) override { ++finals; }
};
}  // namespace

TEST(Dialog, ModalRunEndsWithTheValueGivenToEndDialog)
{
    struct Case {
        WORD command;
        INT_PTR result;
    };
    for (Case c : {Case{IDOK, 77}, Case{IDCANCEL, IDCANCEL}}) {
        TestDialog dialog;
        bool sawDialog = false;
        gui::ModalDriver driver({[&] {
            HWND d = gui::FindThreadDialog();
            sawDialog = d == dialog.m_hWnd && d != nullptr;
            PostMessageW(d, WM_COMMAND, MAKEWPARAM(c.command, BN_CLICKED), 0);
        }});
        driver.Start();
        EXPECT_EQ(c.result, dialog.DoModal(nullptr, 0x5150));
        EXPECT_TRUE(sawDialog);
        EXPECT_EQ(0x5150, dialog.initParam);
        EXPECT_EQ(1, dialog.finals);
        EXPECT_EQ(nullptr, dialog.m_hWnd);
    }
}

TEST(Dialog, ModelessAnswersThroughMsgResultOrDirectly)
{
    TestDialog dialog;
    HWND hWnd = dialog.Create(nullptr, 9);
    ASSERT_NE(nullptr, hWnd);
    EXPECT_EQ(9, dialog.initParam);
    NMHDR header = {hWnd, 1, TestDialog::kNotifyAnswer};
    EXPECT_EQ(1234, SendMessageW(hWnd, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(1234, GetWindowLongPtrW(hWnd, DWLP_MSGRESULT));
    EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.brush), SendMessageW(hWnd, WM_CTLCOLORDLG, 0, 0));
    // Unhandled: the dialog manager answers.
    EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), SendMessageW(hWnd, DM_GETDEFID, 0, 0));
    EXPECT_NE(nullptr, GetDlgItem(hWnd, IDC_TEST_EDIT));
    DestroyWindow(hWnd);
    EXPECT_EQ(1, dialog.finals);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}
