// The real setup.exe in real windows: the usage dialog, the progress dialog
// and the "Setup failed" box, and how the program ends.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/gui.h"
#include "tests/support/test_support.h"

namespace {

const char* const kUsageTexts[] = {
    "Usage:",
    "Setup  - Install/Replace modem driver",
    "Setup  [PATH] - Install/Replace modem driver with new driver from [PATH]",
    "Setup /Remove - Remove modem driver",
    "Setup /NONGUI - Installation without GUI ",
    "Setup /Silent - Silent, without GUI installation",
    "Setup  ? - Show this window",
};

// Where template 129's controls lie, in pixels, for the dialog font of this machine.
RECT TemplateRect(HWND dialog, int x, int y, int cx, int cy)
{
    // The dialog manager maps the origin and the size separately.
    RECT rect = {x, y, cx, cy};
    MapDialogRect(dialog, &rect);
    return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

TEST(ShellGui, UsageDialogShowsItsEightControlsAndOkEndsTheProgram)
{
    for (const char* arguments : {"?", "/?"}) {
        SCOPED_TRACE(arguments);
        SetupProcess setup;
        ASSERT_TRUE(setup.Start(arguments));
        HWND dialog = WaitForWindow(setup.Id(), "Setup usage", 15000);
        ASSERT_NE(nullptr, dialog);
        if (std::string(arguments) == "?") SaveScreenshot(dialog, "usage");

        std::vector<ControlInfo> controls = ReadControls(dialog);
        ASSERT_EQ(8u, controls.size());
        const ControlInfo* ok = FindControl(controls, IDOK);
        ASSERT_NE(nullptr, ok);
        EXPECT_EQ("OK", ok->text);
        EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), ok->style & 0x0F);
        int statics = 0;
        for (const ControlInfo& control : controls) {
            if (control.id == IDOK) continue;
            EXPECT_EQ(kUsageTexts[statics], control.text);
            EXPECT_TRUE(control.visible);
            ++statics;
        }
        EXPECT_EQ(7, statics);

        // Positions as the template gives them, measured against a local copy of it.
        HWND local = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_USAGE), nullptr, nullptr, 0);
        ASSERT_NE(nullptr, local);
        RECT expected = TemplateRect(local, 106, 120, 50, 14);
        EXPECT_EQ(expected.left, ok->rect.left);
        EXPECT_EQ(expected.top, ok->rect.top);
        EXPECT_EQ(expected.right, ok->rect.right);
        RECT longest = TemplateRect(local, 17, 39, 235, 11);
        EXPECT_EQ(longest.right, controls[3].rect.right);
        DestroyWindow(local);

        ClickButton(dialog, IDOK);
        EXPECT_TRUE(setup.WaitForExit(10000));
    }
}

// Finds the message box with the given caption whose static text is `text`.
bool IsBoxWithText(HWND window, const char* text)
{
    for (const ControlInfo& control : ReadControls(window))
        if (control.text == text) return true;
    return false;
}

bool IsProgressDialog(HWND window)
{
    return GetDlgItem(window, IDC_PROGRESS) != nullptr;
}

bool IsSetupFailedBox(HWND window)
{
    return IsBoxWithText(window, "Setup failed");
}

// The progress dialog and the result box share the caption "Setup".
HWND WaitForSetupWindow(const SetupProcess& setup, bool (*matches)(HWND))
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        HWND candidate = WaitForWindow(setup.Id(), "Setup", 1000);
        if (candidate && matches(candidate)) return candidate;
    }
    return nullptr;
}

// On NT 4.0 a folder without INF files fails at once and quietly.
class FailingSetup : public testing::Test {
protected:
    void SetUp() override { SetProgramWindowsVersion("setup.exe", "nt40"); }
    void TearDown() override { SetProgramWindowsVersion("setup.exe", "winxp"); }
    ScratchFolder folder;
    SetupProcess setup;
};

TEST_F(FailingSetup, ShowsSetupFailedAndEnds)
{
    ASSERT_TRUE(setup.Start("\"" + folder.Path().str() + "\""));
    HWND box = WaitForSetupWindow(setup, IsSetupFailedBox);
    ASSERT_NE(nullptr, box);
    SaveScreenshot(box, "setup-failed");
    bool hasIcon = false;
    for (const ControlInfo& control : ReadControls(box))
        if (control.className == "Static" && (control.style & SS_TYPEMASK) == SS_ICON) hasIcon = true;
    EXPECT_TRUE(hasIcon);
    ClickButton(box, IDOK);
    EXPECT_TRUE(setup.WaitForExit(10000));
}

TEST_F(FailingSetup, SilentShowsNothing)
{
    ASSERT_TRUE(setup.Start("/SILENT \"" + folder.Path().str() + "\""));
    bool boxSeen = false;
    while (!setup.WaitForExit(100)) {
        HWND window = WaitForWindow(setup.Id(), "Setup", 0);
        if (window && IsSetupFailedBox(window)) boxSeen = true;
    }
    EXPECT_FALSE(boxSeen);
}

TEST_F(FailingSetup, ProgressDialogCarriesTheSetupCaptionAndABarUpTo12000)
{
    ASSERT_TRUE(setup.Start("\"" + folder.Path().str() + "\""));
    HWND dialog = WaitForSetupWindow(setup, IsProgressDialog);
    ASSERT_NE(nullptr, dialog);
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    EXPECT_EQ(1, SendMessageA(bar, PBM_GETRANGE, TRUE, 0));
    EXPECT_EQ(12000, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_NE(0, GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH);
    SaveScreenshot(dialog, "progress");
    setup.WaitForExit(3000);
}

}  // namespace
