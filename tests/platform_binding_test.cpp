// The late-bound libraries: SetupAPI, the configuration manager and the
// extension library, bound to the real Wine DLLs and to fixture DLLs of ours
// through the library-name seams.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/cfgmgr_bind.h"
#include "platform/ext_lib.h"
#include "platform/handles.h"
#include "platform/late_binding.h"
#include "platform/setupapi_bind.h"
#include "tests/support/test_support.h"

namespace {
const HKEY kInvalidKey = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
const CONFIGRET kUnavailable = static_cast<CONFIGRET>(-1);

class LateBinding : public ::testing::Test {
protected:
    void TearDown() override
    {
        late_binding::SetSetupApiLibraryName(nullptr);
        late_binding::SetCfgMgrLibraryName(nullptr);
        late_binding::SetExtensionLibraryName(nullptr);
        late_binding::ForgetSetupApi();
        late_binding::ForgetCfgMgr();
    }
    void BindSetupApi(const char* name)
    {
        late_binding::ForgetSetupApi();
        late_binding::SetSetupApiLibraryName(name);
    }
    void BindCfgMgr(const char* name)
    {
        late_binding::ForgetCfgMgr();
        late_binding::SetCfgMgrLibraryName(name);
    }
    static void ExpectOneBox(const MessageBoxCapture& boxes, const char* text, const char* caption)
    {
        ASSERT_EQ(boxes.Boxes().size(), 1u) << text;
        const CapturedBox& box = boxes.Boxes()[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OK));
        EXPECT_EQ(box.owner, nullptr);
    }
};

// Every wrapper with the text of its box; the call answers whether the result
// was the wrapper's unavailability result.
struct WrapperCase {
    const char* text;
    std::function<bool()> callGivesUnavailable;
};

const WrapperCase kSetupApiWrappers[] = {
    {"SetupCopyOEMInf", [] { return setupapi::SetupCopyOEMInfA("a.inf", nullptr, 0, 0, nullptr, 0, nullptr, nullptr) == FALSE; }},
    {"SetupDiDestroyDeviceInfoList", [] { return setupapi::SetupDiDestroyDeviceInfoList(nullptr) == FALSE; }},
    {"SetupDiGetDeviceRegistryProperty", [] { return setupapi::SetupDiGetDeviceRegistryPropertyA(nullptr, nullptr, 0, nullptr, nullptr, 0, nullptr) == FALSE; }},
    {"SetupDiEnumDeviceInfo", [] { return setupapi::SetupDiEnumDeviceInfo(nullptr, 0, nullptr) == FALSE; }},
    {"SetupDiGetClassDevs", [] { return setupapi::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES) == INVALID_HANDLE_VALUE; }},
    {"SetupCloseInfFile", [] { setupapi::SetupCloseInfFile(nullptr); return true; }},
    {"SetupFindNextLine", [] { return setupapi::SetupFindNextLine(nullptr, nullptr) == FALSE; }},
    {"SetupGetLineText", [] { return setupapi::SetupGetLineTextA(nullptr, nullptr, "s", "k", nullptr, 0, nullptr) == FALSE; }},
    {"SetupFindFirstLine", [] { return setupapi::SetupFindFirstLineA(nullptr, "s", "k", nullptr) == FALSE; }},
    {"SetupOpenInfFile", [] { return setupapi::SetupOpenInfFileA("a.inf", nullptr, INF_STYLE_WIN4, nullptr) == INVALID_HANDLE_VALUE; }},
    {"SetupDiOpenDeviceInfo", [] { return setupapi::SetupDiOpenDeviceInfoA(nullptr, "ROOT\\X\\0000", nullptr, 0, nullptr) == FALSE; }},
    {"SetupDiCreateDeviceInfoList", [] { return setupapi::SetupDiCreateDeviceInfoList(nullptr, nullptr) == INVALID_HANDLE_VALUE; }},
    {"SetupDiCallClassInstaller", [] { return setupapi::SetupDiCallClassInstaller(DIF_REMOVE, nullptr, nullptr) == FALSE; }},
    {"SetupPromptReboot", [] { return setupapi::SetupPromptReboot(nullptr, nullptr, FALSE) == 0; }},
    {"SetupDiSetDeviceRegistryProperty", [] { return setupapi::SetupDiSetDeviceRegistryPropertyA(nullptr, nullptr, 0, nullptr, 0) == FALSE; }},
    {"SetupDiCreateDeviceInfo", [] { return setupapi::SetupDiCreateDeviceInfoA(nullptr, "X", nullptr, nullptr, nullptr, 0, nullptr) == FALSE; }},
    {"SetupDiGetINFClass", [] { return setupapi::SetupDiGetINFClassA("a.inf", nullptr, nullptr, 0, nullptr) == FALSE; }},
    {"SetupOpenFileQueue", [] { return setupapi::SetupOpenFileQueue() == INVALID_HANDLE_VALUE; }},
    {"SetupInstallFilesFromInfSection", [] { return setupapi::SetupInstallFilesFromInfSectionA(nullptr, nullptr, nullptr, "s", nullptr, 0) == FALSE; }},
    {"SetupCommitFileQueue", [] { return setupapi::SetupCommitFileQueueA(nullptr, nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupCloseFileQueue", [] { return setupapi::SetupCloseFileQueue(nullptr) == FALSE; }},
    {"SetupTermDefaultQueueCallback", [] { setupapi::SetupTermDefaultQueueCallback(nullptr); return true; }},
    {"SetupInitDefaultQueueCallback", [] { return setupapi::SetupInitDefaultQueueCallback(nullptr) == nullptr; }},
    {"SetupDefaultQueueCallback", [] { return setupapi::SetupDefaultQueueCallbackA(nullptr, 0, 0, 0) == 0; }},
    {"SetupDecompressOrCopyFile", [] { return setupapi::SetupDecompressOrCopyFileA("a", "b", nullptr) == 0; }},
    {"SetupScanFileQueue", [] { return setupapi::SetupScanFileQueueA(nullptr, 0, nullptr, nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupDiRegisterDeviceInfo", [] { return setupapi::SetupDiRegisterDeviceInfo(nullptr, nullptr, 0, nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupDiCreateDevRegKeyA", [] { return setupapi::SetupDiCreateDevRegKeyA(nullptr, nullptr, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr) == kInvalidKey; }},
    {"SetupDiSetDeviceInstallParamsA", [] { return setupapi::SetupDiSetDeviceInstallParamsA(nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupDiRemoveDevice", [] { return setupapi::SetupDiRemoveDevice(nullptr, nullptr) == FALSE; }},
    {"SetupDiBuildDriverInfoList", [] { return setupapi::SetupDiBuildDriverInfoList(nullptr, nullptr, SPDIT_COMPATDRIVER) == FALSE; }},
    {"SetupDiGetDeviceInstallParamsA", [] { return setupapi::SetupDiGetDeviceInstallParamsA(nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupDiClassGuidsFromNameA", [] { return setupapi::SetupDiClassGuidsFromNameA("Modem", nullptr, 0, nullptr) == FALSE; }},
    {"SetupDiOpenDevRegKey", [] { return setupapi::SetupDiOpenDevRegKey(nullptr, nullptr, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ) == kInvalidKey; }},
    {"SetupDiDeleteDeviceInfo", [] { return setupapi::SetupDiDeleteDeviceInfo(nullptr, nullptr) == FALSE; }},
    {"SetupInstallFromInfSectionA", [] { return setupapi::SetupInstallFromInfSectionA(nullptr, nullptr, "s", SPINST_ALL, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr) == FALSE; }},
    {"SetupInstallServicesFromInfSectionA", [] { return setupapi::SetupInstallServicesFromInfSectionA(nullptr, "s", 0) == FALSE; }},
    {"SetupDiDeleteDevRegKey", [] { return setupapi::SetupDiDeleteDevRegKey(nullptr, nullptr, DICS_FLAG_GLOBAL, 0, DIREG_BOTH) == FALSE; }},
};
static_assert(sizeof(kSetupApiWrappers) / sizeof(kSetupApiWrappers[0]) == 38, "one case per wrapper");
}  // namespace

TEST_F(LateBinding, MissingSetupApiEntryPointShowsOneBoxPerCall)
{
    BindSetupApi("setupapi_none.dll");
    MessageBoxCapture boxes;
    for (const WrapperCase& wrapper : kSetupApiWrappers) {
        for (int call = 0; call < 2; ++call) {
            boxes.Clear();
            EXPECT_TRUE(wrapper.callGivesUnavailable()) << wrapper.text;
            ExpectOneBox(boxes, wrapper.text, "Bad call to SetupApi");
        }
    }
    EXPECT_NE(GetModuleHandleA("setupapi_none.dll"), nullptr);
}

TEST_F(LateBinding, AbsentSetupApiIsSilentAndLoadedOnALaterCall)
{
    BindSetupApi("no_such_setupapi.dll");
    MessageBoxCapture boxes;
    for (const WrapperCase& wrapper : kSetupApiWrappers) EXPECT_TRUE(wrapper.callGivesUnavailable()) << wrapper.text;
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(late_binding::LoadedSetupApi(), nullptr);

    // The failed load is not remembered: once the library can be found, the
    // next call loads it.
    late_binding::SetSetupApiLibraryName("setupapi_partial.dll");
    EXPECT_EQ(setupapi::SetupPromptReboot(reinterpret_cast<HSPFILEQ>(1), reinterpret_cast<HWND>(2), TRUE), 121);
    EXPECT_NE(late_binding::LoadedSetupApi(), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LateBinding, PresentEntryPointsGetArgumentsAndKeepResults)
{
    BindSetupApi("setupapi_partial.dll");
    MessageBoxCapture boxes;
    SetLastError(0);
    EXPECT_EQ(setupapi::SetupPromptReboot(reinterpret_cast<HSPFILEQ>(3), reinterpret_cast<HWND>(4), TRUE), 341);
    EXPECT_EQ(GetLastError(), 0x2345u);

    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    HDEVINFO set = reinterpret_cast<HDEVINFO>(1000);
    EXPECT_TRUE(setupapi::SetupDiEnumDeviceInfo(set, 2, &device));
    EXPECT_EQ(device.DevInst, 1002u);
    EXPECT_FALSE(setupapi::SetupDiEnumDeviceInfo(set, 3, &device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(boxes.Boxes().empty());

    // The same library lacks the others: each call is looked up by its own name.
    EXPECT_EQ(setupapi::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ), kInvalidKey);
    ExpectOneBox(boxes, "SetupDiOpenDevRegKey", "Bad call to SetupApi");
}

TEST_F(LateBinding, LoadedSetupApiIsNeverFreed)
{
    BindSetupApi("setupapi_partial.dll");
    MessageBoxCapture boxes;
    setupapi::SetupPromptReboot(nullptr, nullptr, FALSE);
    HMODULE loaded = GetModuleHandleA("setupapi_partial.dll");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(late_binding::LoadedSetupApi(), loaded);
    setupapi::SetupGetLineTextA(nullptr, nullptr, "s", "k", nullptr, 0, nullptr);  // missing: a box, no unload
    setupapi::SetupPromptReboot(nullptr, nullptr, FALSE);
    EXPECT_EQ(GetModuleHandleA("setupapi_partial.dll"), loaded);
    EXPECT_EQ(late_binding::LoadedSetupApi(), loaded);
}

TEST_F(LateBinding, RealSetupApiReadsAnInf)
{
    ScratchFolder folder;
    CString inf = folder.Write("test.inf",
                               "[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                               "[Strings]\r\nVXSignature=\"VX 9X NT 2K\"\r\n");
    MessageBoxCapture boxes;
    {
        InfHandle handle(setupapi::SetupOpenInfFileA(inf, nullptr, INF_STYLE_WIN4, nullptr));
        ASSERT_TRUE(handle.IsValid());
        INFCONTEXT context;
        ASSERT_TRUE(setupapi::SetupFindFirstLineA(handle, "Strings", "VXSignature", &context));
        char text[64] = {0};
        ASSERT_TRUE(setupapi::SetupGetLineTextA(&context, nullptr, nullptr, nullptr, text, sizeof(text), nullptr));
        EXPECT_STREQ(text, "VX 9X NT 2K");
        EXPECT_FALSE(setupapi::SetupFindNextLine(&context, &context));
    }
    // A failure of SetupAPI itself comes back with SetupAPI's own error code.
    SetLastError(0);
    CString missing = folder.Path() + "missing.inf";
    EXPECT_EQ(setupapi::SetupOpenInfFileA(missing, nullptr, INF_STYLE_WIN4, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(late_binding::LoadedSetupApi(), GetModuleHandleA("setupapi.dll"));
}

TEST_F(LateBinding, HoldersReleaseThroughTheWrappers)
{
    // Bound to a library without the release functions, each holder's release
    // shows the box of its wrapper: proof that it went through the binding.
    BindSetupApi("setupapi_none.dll");
    MessageBoxCapture boxes;
    const struct {
        const char* text;
        std::function<void()> holdAndRelease;
    } holders[] = {
        {"SetupDiDestroyDeviceInfoList", [] { DevInfoList list(reinterpret_cast<HDEVINFO>(0x10)); }},
        {"SetupCloseInfFile", [] { InfHandle inf(reinterpret_cast<HINF>(0x10)); }},
        {"SetupCloseFileQueue", [] { FileQueue queue(reinterpret_cast<HSPFILEQ>(0x10)); }},
        {"SetupTermDefaultQueueCallback", [] { QueueContext context(reinterpret_cast<PVOID>(0x10)); }},
    };
    for (const auto& holder : holders) {
        boxes.Clear();
        holder.holdAndRelease();
        ExpectOneBox(boxes, holder.text, "Bad call to SetupApi");
    }
    // Empty holders release nothing.
    boxes.Clear();
    { DevInfoList list; InfHandle inf; FileQueue queue; QueueContext context; }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(LateBinding, ConfigurationManagerWrappers)
{
    BindCfgMgr("cfgmgr_partial.dll");
    MessageBoxCapture boxes;
    DEVINST child = 0;
    EXPECT_EQ(cfgmgr::CM_Get_Child(&child, 5, 2), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(child, 52u);
    EXPECT_TRUE(boxes.Boxes().empty());

    const WrapperCase missing[] = {
        {"CM_Locate_DevNodeA", [] { DEVINST root = 0; return cfgmgr::CM_Locate_DevNodeA(&root, nullptr, 0) == kUnavailable; }},
        {"CM_Reenumerate_DevNode", [] { return cfgmgr::CM_Reenumerate_DevNode(1, 0) == kUnavailable; }},
        {"CM_Get_Device_IDA", [] { char id[256]; return cfgmgr::CM_Get_Device_IDA(1, id, sizeof(id), 0) == kUnavailable; }},
    };
    for (const WrapperCase& wrapper : missing) {
        for (int call = 0; call < 2; ++call) {
            boxes.Clear();
            EXPECT_TRUE(wrapper.callGivesUnavailable()) << wrapper.text;
            ExpectOneBox(boxes, wrapper.text, "Bad call to CfgMgr32");
        }
    }
    EXPECT_EQ(late_binding::LoadedCfgMgr(), GetModuleHandleA("cfgmgr_partial.dll"));
}

TEST_F(LateBinding, AbsentConfigurationManagerIsSilentAndRetried)
{
    BindCfgMgr("no_such_cfgmgr.dll");
    MessageBoxCapture boxes;
    DEVINST node = 0;
    char id[256];
    EXPECT_EQ(cfgmgr::CM_Locate_DevNodeA(&node, nullptr, 0), kUnavailable);
    EXPECT_EQ(cfgmgr::CM_Reenumerate_DevNode(node, 0), kUnavailable);
    EXPECT_EQ(cfgmgr::CM_Get_Child(&node, 1, 0), kUnavailable);
    EXPECT_EQ(cfgmgr::CM_Get_Device_IDA(1, id, sizeof(id), 0), kUnavailable);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(late_binding::LoadedCfgMgr(), nullptr);

    late_binding::SetCfgMgrLibraryName("cfgmgr_partial.dll");
    EXPECT_EQ(cfgmgr::CM_Get_Child(&node, 4, 1), static_cast<CONFIGRET>(CR_SUCCESS));
    EXPECT_EQ(node, 41u);
}

TEST_F(LateBinding, RealConfigurationManagerAnswersItself)
{
    MessageBoxCapture boxes;
    DEVINST root = 0;
    // Wine only stubs the tree functions; whatever they answer is passed on.
    CONFIGRET result = cfgmgr::CM_Locate_DevNodeA(&root, nullptr, 0);
    EXPECT_NE(result, kUnavailable);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_NE(late_binding::LoadedCfgMgr(), nullptr);
    EXPECT_EQ(late_binding::LoadedCfgMgr(), GetModuleHandleA("cfgmgr32.dll"));
}

TEST_F(LateBinding, ExtensionLibraryIsLoadedForEachCallOnly)
{
    ScratchFolder folder;
    CString log = folder.Path() + "zedor.log";
    SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", log);
    late_binding::SetExtensionLibraryName("zedor_fixture.dll");
    MessageBoxCapture boxes;

    EXPECT_EQ(VXAddExtra(0, 0, "VXExtBU /restore \"C:\\Program Files\\X\"", 0), 7);
    EXPECT_EQ(GetModuleHandleA("zedor_fixture.dll"), nullptr);
    EXPECT_EQ(VXAddExtra(1, 2, "", 3), 7);
    EXPECT_EQ(GetModuleHandleA("zedor_fixture.dll"), nullptr);
    EXPECT_EQ(ReadWholeFile(log), "0|0|VXExtBU /restore \"C:\\Program Files\\X\"|0\n1|2||3\n");
    EXPECT_TRUE(boxes.Boxes().empty());
    SetEnvironmentVariableA("ZEDOR_FIXTURE_LOG", nullptr);
}

TEST_F(LateBinding, ExtensionLibraryMissingOrWithoutExportGivesMinusOne)
{
    MessageBoxCapture boxes;
    // The product's own name: no such library beside the tests or in the system.
    EXPECT_EQ(VXAddExtra(0, 0, "", 0), -1);

    late_binding::SetExtensionLibraryName("zedor_without_export.dll");
    EXPECT_EQ(VXAddExtra(0, 0, "", 0), -1);
    EXPECT_EQ(GetModuleHandleA("zedor_without_export.dll"), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
}
