// Folders, file names and started programs on the real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_support.h"

namespace {
bool IsFolder(const CString& path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A tree of three levels with files at each, below folder\tree.
CString MakeTree(const ScratchFolder& folder)
{
    folder.Write("tree\\top.txt", "1");
    folder.Write("tree\\a\\mid.txt", "2");
    folder.Write("tree\\a\\b\\low.txt", "3");
    folder.Write("tree\\a\\b\\low2.sys", "3");
    CreateDirectoryA(folder.Path() + "tree\\empty", nullptr);
    return folder.Path() + "tree";
}
}  // namespace

TEST(FileNamePart, TextAfterLastBackslash)
{
    EXPECT_EQ(FileNamePart("C:\\A\\B.SYS"), "B.SYS");
    EXPECT_EQ(FileNamePart("B.SYS"), "B.SYS");
    EXPECT_EQ(FileNamePart("C:\\A\\"), "");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FileNamePart("C:B.SYS"), "C:B.SYS");
}

TEST(CreateDirectoryPath, CreatesEveryMissingParent)
{
    ScratchFolder folder;
    CString deep = folder.Path() + "a\\b\\c";
    CreateDirectoryPath(deep);
    EXPECT_TRUE(IsFolder(deep));
    CreateDirectoryPath(deep);  // existing folders do no harm
    EXPECT_TRUE(IsFolder(deep));
    CreateDirectoryPath(folder.Path() + "x\\y\\");  // a trailing backslash too
    EXPECT_TRUE(IsFolder(folder.Path() + "x\\y"));
}

TEST(DeleteDirectoryTree, KeepFoldersDeletesOnlyFiles)
{
    ScratchFolder folder;
    CString tree = MakeTree(folder);
    EXPECT_TRUE(DeleteDirectoryTree(tree, true));
    for (const char* file : {"\\top.txt", "\\a\\mid.txt", "\\a\\b\\low.txt", "\\a\\b\\low2.sys"})
        EXPECT_FALSE(FileExists(tree + file)) << file;
    for (const char* sub : {"", "\\a", "\\a\\b", "\\empty"}) EXPECT_TRUE(IsFolder(tree + sub)) << sub;
}

TEST(DeleteDirectoryTree, RemovesWholeTree)
{
    ScratchFolder folder;
    CString tree = MakeTree(folder);
    EXPECT_TRUE(DeleteDirectoryTree(tree, false));
    EXPECT_FALSE(FileExists(tree));
    // A folder given with a trailing backslash is searched as "folder\\*.*".
    tree = MakeTree(folder);
    EXPECT_TRUE(DeleteDirectoryTree(tree + "\\", false));
    EXPECT_FALSE(FileExists(tree));
}

TEST(DeleteDirectoryTree, WhatStaysKeepsItsFolders)
{
    ScratchFolder folder;
    CString tree = MakeTree(folder);
    // A read-only file is not deleted, nor is anything in a dot-folder.
    SetFileAttributesA(tree + "\\a\\b\\low.txt", FILE_ATTRIBUTE_READONLY);
    folder.Write("tree\\.hidden\\kept.txt", "4");
    EXPECT_FALSE(DeleteDirectoryTree(tree, false));
    EXPECT_TRUE(FileExists(tree + "\\a\\b\\low.txt"));
    EXPECT_FALSE(FileExists(tree + "\\a\\b\\low2.sys"));
    EXPECT_TRUE(FileExists(tree + "\\.hidden\\kept.txt"));
    EXPECT_FALSE(FileExists(tree + "\\empty"));
    EXPECT_FALSE(FileExists(tree + "\\top.txt"));
    SetFileAttributesA(tree + "\\a\\b\\low.txt", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(tree + "\\.hidden\\kept.txt");
    RemoveDirectoryA(tree + "\\.hidden");
}

TEST(DeleteDirectoryTree, MissingFolder)
{
    ScratchFolder folder;
    EXPECT_FALSE(DeleteDirectoryTree(folder.Path() + "missing", false));
    EXPECT_TRUE(DeleteDirectoryTree(folder.Path() + "missing", true));
}

TEST(RunAndWait, MissingProgramFailsAtOnce)
{
    DWORD start = GetTickCount();
    EXPECT_FALSE(RunAndWait("no_such_program_anywhere.exe /x"));
    EXPECT_LT(GetTickCount() - start, 10000u);  // not the 20 s of a wait
}

TEST(RunAndWait, WaitsForTheProgramToEnd)
{
    ScratchFolder folder;
    CString marker = folder.Path() + "done.txt";
    EXPECT_TRUE(RunAndWait("cmd.exe /c echo done>" + marker));
    EXPECT_EQ(ReadWholeFile(marker), "done\r\n");
    EXPECT_TRUE(RunToEnd("cmd.exe /c exit 3"));
    EXPECT_FALSE(RunToEnd("no_such_program_anywhere.exe"));
}
