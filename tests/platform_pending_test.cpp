// Delete and rename at the next start, on both stores: the registry value of
// the NT family and wininit.ini of Windows 9x, read and written for real.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/os_class.h"
#include "platform/handles.h"
#include "platform/pending_rename.h"
#include "tests/support/test_support.h"

namespace {
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kValue[] = "PendingFileRenameOperations";

template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// The stored value as raw bytes; "<none>" when there is no value.
std::string NtStore()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
    DWORD size = 0;
    std::string bytes = "<none>";
    if (RegQueryValueExA(key, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        bytes.assign(size, '\0');
        if (size > 0)
            RegQueryValueExA(key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&bytes[0]), &size);
        bytes.resize(size);
    }
    RegCloseKey(key);
    return bytes;
}

void SetNtStore(const std::string& bytes, DWORD type = REG_MULTI_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, kValue, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void ClearNtStore()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, kValue);
    RegCloseKey(key);
}

std::string WininitPath()
{
    char folder[MAX_PATH] = {0};
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\wininit.ini";
}

void WriteFile(const std::string& path, const std::string& content)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string Entries(const CPendingRenameList& list)
{
    std::string text;
    for (int i = 0; i < list.Count(); ++i) text += std::string(list.SourceAt(i)) + ">" + list.TargetAt(i) + ";";
    return text;
}

// How many entries of the store concern the path as a pending delete.
int PendingDeletesOf(const char* path)
{
    CPendingRenameList list;
    EXPECT_TRUE(list.Load());
    int count = 0, kind = 0;
    for (int at = list.FindFor(path, 0, &kind); at >= 0; at = list.FindFor(path, at + 1, &kind))
        if (kind == PENDING_DELETES) ++count;
    return count;
}

// A file held open by this process without delete sharing: in use.
class InUseFile {
public:
    explicit InUseFile(const char* path)
        : m_handle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr))
    {
    }
    bool IsOpen() const { return m_handle.IsValid(); }
    void Close() { m_handle.Reset(); }

private:
    KernelHandle m_handle;
};

class NtPendingStore : public ::testing::Test {
protected:
    void SetUp() override { ClearNtStore(); }
    void TearDown() override { ClearNtStore(); }
    ScopedVersion m_version{kWinXp};
};

class Win9xPendingStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearNtStore();
        DeleteFileA(WininitPath().c_str());
    }
    void TearDown() override
    {
        DeleteFileA(WininitPath().c_str());
        ClearNtStore();
    }
    ScopedVersion m_version{kWin98};
};
}  // namespace

TEST_F(NtPendingStore, ScheduleWithoutValueWritesOneDelete)
{
    ASSERT_EQ(NtStore(), "<none>");
    EXPECT_TRUE(ScheduleDeleteAtReboot("C:\\X.SYS"));
    EXPECT_EQ(NtStore(), Bytes("\\??\\C:\\X.SYS\0\0\0"));
    // Scheduling again leaves one pending delete, not two.
    EXPECT_TRUE(ScheduleDeleteAtReboot("c:\\x.sys"));
    EXPECT_EQ(PendingDeletesOf("C:\\X.SYS"), 1);
    EXPECT_EQ(NtStore(), Bytes("\\??\\c:\\x.sys\0\0\0"));
}

TEST_F(NtPendingStore, ScheduleReplacesARenameOntoThePath)
{
    SetNtStore(Bytes("\\??\\C:\\X.NEW\0!\\??\\C:\\X.SYS\0\\??\\C:\\KEEP\0\0\0"));
    EXPECT_TRUE(ScheduleDeleteAtReboot("C:\\X.SYS"));
    EXPECT_EQ(NtStore(), Bytes("\\??\\C:\\KEEP\0\0\\??\\C:\\X.SYS\0\0\0"));
}

TEST_F(NtPendingStore, LoadAndCancelAReplacingRename)
{
    SetNtStore(Bytes("\\??\\C:\\A.NEW\0!\\??\\C:\\A.SYS\0\0"));
    CPendingRenameList list;
    list.Add("stale", "");
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(Entries(list), "C:\\A.NEW>C:\\A.SYS;");
    EXPECT_TRUE(CancelPendingOperations("c:\\a.sys", PENDING_ALL));
    EXPECT_EQ(NtStore(), "<none>");
}

TEST_F(NtPendingStore, CancelRewritesOnlyWhenSomethingWent)
{
    // A non-replacing rename, as only other programs write it: any rewrite
    // would turn it into a replacing one.
    const std::string stored = Bytes("\\??\\C:\\B.NEW\0\\??\\C:\\B.SYS\0\\??\\C:\\Q\0\0\0");
    SetNtStore(stored);
    EXPECT_FALSE(CancelPendingOperations("C:\\OTHER", PENDING_ALL));
    EXPECT_FALSE(CancelPendingOperations("C:\\B.NEW", PENDING_ALL));  // renamed away: not concerned
    EXPECT_FALSE(CancelPendingOperations("C:\\Q", PENDING_RENAMES));
    EXPECT_FALSE(CancelPendingOperations("C:\\B.SYS", PENDING_DELETES));
    EXPECT_EQ(NtStore(), stored);

    // A removal rewrites the rest through Windows, as replacing renames.
    EXPECT_TRUE(CancelPendingOperations("c:\\q", PENDING_DELETES));
    EXPECT_EQ(NtStore(), Bytes("\\??\\C:\\B.NEW\0!\\??\\C:\\B.SYS\0\0"));
}

TEST_F(NtPendingStore, CancelRemovesEveryEntryForThePath)
{
    SetNtStore(Bytes("\\??\\C:\\P\0\0\\??\\C:\\N1\0!\\??\\C:\\P\0\\??\\C:\\R\0\0\\??\\C:\\N2\0!\\??\\c:\\p\0\0"));
    EXPECT_TRUE(CancelPendingOperations("C:\\P", PENDING_ALL));
    EXPECT_EQ(NtStore(), Bytes("\\??\\C:\\R\0\0\0"));
}

TEST_F(NtPendingStore, ValueWithoutTerminatorsIsReadToItsEnd)
{
    SetNtStore("\\??\\C:\\A", REG_BINARY);
    CPendingRenameList list;
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(Entries(list), "C:\\A>;");
}

TEST_F(NtPendingStore, DeleteFileOrSchedule)
{
    ScratchFolder folder;
    // A read-only file that nobody uses goes at once.
    CString readOnly = folder.Write("readonly.sys", "x");
    SetFileAttributesA(readOnly, FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFileOrSchedule(readOnly));
    EXPECT_FALSE(FileExists(readOnly));
    // A file that does not exist: nothing to do.
    EXPECT_FALSE(DeleteFileOrSchedule(folder.Path() + "missing.sys"));
    EXPECT_EQ(NtStore(), "<none>");

    // A file in use is scheduled, once however often it is asked for.
    CString inUse = folder.Write("inuse.sys", "x");
    InUseFile holder(inUse);
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_TRUE(DeleteFileOrSchedule(inUse));
    EXPECT_TRUE(DeleteFileOrSchedule(inUse));
    EXPECT_TRUE(FileExists(inUse));
    EXPECT_EQ(PendingDeletesOf(inUse), 1);
    EXPECT_EQ(NtStore(), "\\??\\" + inUse.str() + std::string(3, '\0'));
    holder.Close();
}

TEST(PathExists, FindsFilesAndPatterns)
{
    ScratchFolder folder;
    folder.Write("a.txt", "x");
    folder.Write("sub\\b.dat", "x");
    EXPECT_TRUE(PathExists(folder.Path() + "a.txt"));
    EXPECT_TRUE(PathExists(folder.Path() + "*.txt"));
    EXPECT_TRUE(PathExists(folder.Path() + "sub"));
    EXPECT_TRUE(PathExists(folder.Path() + "sub\\?.dat"));
    EXPECT_FALSE(PathExists(folder.Path() + "*.sys"));
    EXPECT_FALSE(PathExists(folder.Path() + "none\\a.txt"));
    EXPECT_FALSE(PathExists(""));
}

TEST_F(Win9xPendingStore, LoadReadsRenameSection)
{
    WriteFile(WininitPath(), "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\X.VXD\r\n"
                             "  C:\\A.DLL  =  C:\\A.NEW  \r\nnul=C:\\Y.VXD\r\nno equals sign\r\n"
                             "NUL=C:\\" + std::string(800, 'L') + "\r\n"
                             "NUL=C:\\" + std::string(779 - 7, 'F') + "\r\n");
    CPendingRenameList list;
    ASSERT_TRUE(list.Load());
    EXPECT_EQ(Entries(list), "C:\\WINDOWS\\SYSTEM\\X.VXD>;C:\\A.NEW>C:\\A.DLL;C:\\Y.VXD>;C:\\" + std::string(772, 'F') + ">;");
}

TEST_F(Win9xPendingStore, MissingFileReadsEmpty)
{
    CPendingRenameList list;
    list.Add("stale", "");
    EXPECT_TRUE(list.Load());
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(Win9xPendingStore, ScheduleAddsOneLineAtTheEnd)
{
    WriteFile(WininitPath(), "[boot]\r\nx=1\r\n");
    EXPECT_TRUE(ScheduleDeleteAtReboot("C:\\X.SYS"));
    EXPECT_TRUE(ScheduleDeleteAtReboot("c:\\x.sys"));
    EXPECT_EQ(ReadWholeFile(WininitPath().c_str()), "[boot]\r\nx=1\r\n\r\n[rename]\r\nNUL=c:\\x.sys\r\n\r\n");
    EXPECT_EQ(NtStore(), "<none>");
}

TEST_F(Win9xPendingStore, ScheduleCreatesTheFile)
{
    EXPECT_TRUE(ScheduleDeleteAtReboot("C:\\X.SYS"));
    EXPECT_EQ(ReadWholeFile(WininitPath().c_str()), "[rename]\r\nNUL=C:\\X.SYS\r\n\r\n");
}

TEST_F(Win9xPendingStore, CancelRewritesOnlyWhenSomethingWent)
{
    // Blank lines and spacing that a rewrite would not keep.
    const std::string stored = "; comment\r\n\r\n[rename]\r\n\r\nNUL = C:\\Q\r\nC:\\A.DLL=C:\\A.NEW\r\n\r\n\r\n[x]\r\ny\r\n";
    WriteFile(WininitPath(), stored);
    EXPECT_FALSE(CancelPendingOperations("C:\\OTHER", PENDING_ALL));
    EXPECT_FALSE(CancelPendingOperations("C:\\A.NEW", PENDING_ALL));
    EXPECT_FALSE(CancelPendingOperations("C:\\Q", PENDING_RENAMES));
    EXPECT_EQ(ReadWholeFile(WininitPath().c_str()), stored);

    EXPECT_TRUE(CancelPendingOperations("c:\\a.dll", PENDING_ALL));
    EXPECT_EQ(ReadWholeFile(WininitPath().c_str()), "; comment\r\n\r\n[rename]\r\nNUL=C:\\Q\r\n\r\n[x]\r\ny\r\n\r\n");
}

TEST_F(Win9xPendingStore, FileInUseIsScheduledInWininit)
{
    ScratchFolder folder;
    CString inUse = folder.Write("inuse.vxd", "x");
    InUseFile holder(inUse);
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_TRUE(DeleteFileOrSchedule(inUse));
    EXPECT_TRUE(DeleteFileOrSchedule(inUse));
    EXPECT_EQ(PendingDeletesOf(inUse), 1);
    EXPECT_EQ(ReadWholeFile(WininitPath().c_str()), "[rename]\r\nNUL=" + inUse.str() + "\r\n\r\n");
    EXPECT_EQ(NtStore(), "<none>");
    holder.Close();
}
