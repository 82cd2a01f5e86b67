// The secure-device enrolment dialog: the installation's picture, the name
// it sends, and the core's answers.
#include <windows.h>

#include <gtest/gtest.h>

#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "RegisterMidDlg.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"

using namespace dlgtest;

namespace {
HWND Enrolment() { return FindOwnedDialog(nullptr); }

struct EnrolmentDialog : DialogTest {
    CRegisterMidDlg dialog;
};

// The picture file's pixel at (x, y), 0x00RRGGBB; it is a 24-bit bottom-up
// bitmap file.
uint32_t PicturePixel(const std::vector<unsigned char>& file, int x, int y)
{
    const int width = *reinterpret_cast<const int32_t*>(&file[18]);
    const int height = *reinterpret_cast<const int32_t*>(&file[22]);
    const int stride = (width * 3 + 3) & ~3;
    const unsigned char* p = &file[54 + static_cast<size_t>(height - 1 - y) * stride + x * 3];
    return gui::Rgb(p[2], p[1], p[0]);
}

std::vector<unsigned char> ReadFileBytes(const std::wstring& path)
{
    std::vector<unsigned char> bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return bytes;
    unsigned char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

// Where the picture is painted: the picture area in client coordinates.
RECT PictureArea(HWND d)
{
    RECT area;
    GetClientRect(GetDlgItem(d, IDC_DEVICE_PICTURE), &area);
    MapWindowPoints(GetDlgItem(d, IDC_DEVICE_PICTURE), d, reinterpret_cast<POINT*>(&area), 2);
    return area;
}
}  // namespace

TEST_F(EnrolmentDialog, TheInstallationPictureTakesTheBannersPlace)
{
    const std::wstring picturePath = BesideExe(L"pics\\logo.jpg");
    const std::vector<unsigned char> picture = ReadFileBytes(picturePath);
    ASSERT_EQ(54u + 236 * 3 * 62, picture.size());
    // Points of the picture: the middle of the green tick, the screen's
    // frame, and the band beside and below the word mark.
    const POINT samples[] = {{52, 37}, {14, 26}, {120, 55}, {225, 10}};
    struct Case {
        bool installed;
    } cases[] = {{true}, {false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installed);
        const std::wstring aside = picturePath + L".aside";
        if (!c.installed) {
            ASSERT_TRUE(MoveFileW(picturePath.c_str(), aside.c_str()));
        }
        CRegisterMidDlg enrolment;
        bool bannerShown = !c.installed;
        std::vector<uint32_t> shown, expected;
        Script script({[&] {
            HWND d = Enrolment();
            if (!d) return false;
            bannerShown = IsWindowVisible(GetDlgItem(d, IDB_BANNER)) != FALSE;
            const gui::Pixels window = gui::CaptureScreen(d);
            EXPECT_TRUE(gui::SavePng(window, c.installed ? "enrolment" : "enrolment_without_picture"));
            RECT frame;
            GetWindowRect(d, &frame);
            POINT origin = {0, 0};
            ClientToScreen(d, &origin);
            const RECT area = PictureArea(d);
            const int width = area.right - area.left, height = area.bottom - area.top;
            for (POINT p : samples) {
                const int x = area.left + (p.x * width + width / 2) / 236 + origin.x - frame.left;
                const int y = area.top + (p.y * height + height / 2) / 62 + origin.y - frame.top;
                shown.push_back(window.At(x, y));
                expected.push_back(PicturePixel(picture, p.x, p.y));
            }
            PostMessageW(d, WM_CLOSE, 0, 0);
            return true;
        }});
        script.Start();
        EXPECT_EQ(2, enrolment.DoModal(nullptr));
        if (!c.installed) {
            ASSERT_TRUE(MoveFileW(aside.c_str(), picturePath.c_str()));
        }
        EXPECT_EQ(!c.installed, bannerShown);
        ASSERT_EQ(expected.size(), shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            SCOPED_TRACE(i);
            if (c.installed) {
                EXPECT_TRUE(gui::Near(expected[i], shown[i], 24)) << std::hex << expected[i] << " " << shown[i];
            }
        }
        // Without the picture the built-in banner shows: no green tick.
        if (!c.installed) {
            EXPECT_FALSE(gui::Near(expected[0], shown[0], 40)) << std::hex << shown[0];
        }
    }
}

TEST_F(EnrolmentDialog, AnEmptyNameIsRefusedAndNothingIsSent)
{
    GetAppConfig()->SetDeviceName("Office PC");
    EventProbe probe;
    ShownBox box;
    std::wstring status;
    bool enabled = false;
    Script script({[&] {
                       if (!Enrolment()) return false;
                       Click(Enrolment(), IDC_REGISTER);
                       return true;
                   },
                   AnswerBox(Enrolment, &box), [&] { return !FindOwnedDialog(Enrolment()); }, Pause(300),
                   Do([&] {
                       status = ItemText(Enrolment(), IDC_STATUS);
                       enabled = ItemEnabled(Enrolment(), IDC_REGISTER);
                       PostMessageW(Enrolment(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[46], box.text);
    EXPECT_EQ(LanguageTable[45], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
    EXPECT_EQ(L"New device detected. Please select a name for this secure device.", status);
    EXPECT_TRUE(enabled);
    EXPECT_EQ("Office PC", GetAppConfig()->GetDeviceName());
    // A request would have failed at once on the missing link, with its event.
    EXPECT_TRUE(probe.Kinds().empty());
}

TEST_F(EnrolmentDialog, RegisterWaitsForTheCoreAndAFailureLetsTheUserTryAgain)
{
    EventProbe probe;
    ShownBox box;
    std::wstring waitingStatus, retryStatus;
    bool enabledWhileWaiting = true, enabledAfter = false;
    Script script({[&] {
                       HWND d = Enrolment();
                       if (!d) return false;
                       TypeText(GetDlgItem(d, IDC_NAME), L"Desk");
                       // Pressed and handled at once: no event is taken before the checks.
                       SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_REGISTER, BN_CLICKED), 0);
                       waitingStatus = ItemText(d, IDC_STATUS);
                       enabledWhileWaiting = ItemEnabled(d, IDC_REGISTER);
                       return true;
                   },
                   // Not connected: the core refuses at once with its own text.
                   AnswerBox(Enrolment, &box), [&] { return ItemEnabled(Enrolment(), IDC_REGISTER); }, Do([&] {
                       retryStatus = ItemText(Enrolment(), IDC_STATUS);
                       enabledAfter = true;
                       PostMessageW(Enrolment(), WM_CLOSE, 0, 0);
                   })});
    script.Start();
    EXPECT_EQ(2, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[47], waitingStatus);
    EXPECT_FALSE(enabledWhileWaiting);
    EXPECT_EQ("Desk", GetAppConfig()->GetDeviceName());
    EXPECT_EQ(LanguageTable[50], box.text);
    EXPECT_EQ(LanguageTable[41], box.caption);
    EXPECT_EQ(BoxIcon(MB_ICONEXCLAMATION), box.icon);
    EXPECT_EQ(LanguageTable[42], retryStatus);
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(std::vector<int>{VE_DeviceRegisterFailed}, probe.Kinds());
}

TEST_F(EnrolmentDialog, ARegisteredDeviceClosesTheDialogWithOneAfterItsBox)
{
    ShownBox box;
    Script script({[&] {
                       if (!Enrolment()) return false;
                       // Kinds the dialog does not handle come first.
                       Post(VE_SignInSending);
                       Post(VE_DeviceUnknown);
                       Post(VE_DeviceRegistered);
                       return true;
                   },
                   AnswerBox(Enrolment, &box)});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(LanguageTable[43], box.text);
    EXPECT_EQ(LanguageTable[44], box.caption);
    EXPECT_EQ(nullptr, box.icon);
}

TEST_F(EnrolmentDialog, ASuccessAfterAFailureWaitsForTheFailuresBox)
{
    ShownBox failed, registered;
    size_t openWithFailure = 0;
    Script script({[&] {
                       if (!Enrolment()) return false;
                       Post(VE_DeviceRegisterFailed, "The name is taken.");
                       return true;
                   },
                   [&] { return FindOwnedDialog(Enrolment()) != nullptr; }, Do([] { Post(VE_DeviceRegistered); }),
                   CountOpenAfter(Enrolment, 400, &openWithFailure), AnswerBox(Enrolment, &failed),
                   AnswerBox(Enrolment, &registered)});
    script.Start();
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(1u, openWithFailure);
    EXPECT_EQ(L"The name is taken.", failed.text);
    EXPECT_EQ(LanguageTable[43], registered.text);
}
