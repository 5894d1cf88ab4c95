// The in-memory host's file system, which every other native test leans on:
// paths name one entry in any spelling, and a folder is never a file.
#include <gtest/gtest.h>

#include "support/MemoryHost.h"

namespace trelvo {
namespace {

TEST(MemoryHost, FilesAndFolders)
{
    MemoryHost host;  // current directory D:\Media
    host.AddFile(L"setup.exe", "MZ");
    host.AddFile(L"art\\logo.png", "PNG");
    host.AddFolder(L"C:\\Empty");
    host.AddFile(L"C:\\Empty", "gone");  // a file replaces the folder of its name...
    host.AddFile(L"C:\\Tools\\x", "x");
    host.AddFolder(L"C:\\Tools\\X");     // ...and a folder the file

    const struct {
        const wchar_t* path;
        bool file;
        bool folder;
    } cases[] = {
        {L"setup.exe", true, false},
        {L"SETUP.EXE", true, false},
        {L"d:/media/./setup.exe", true, false},
        {L"..\\Media\\setup.exe", true, false},
        {L"\\Media\\setup.exe", true, false},
        {L"art\\logo.png", true, false},
        {L"art", false, true},            // holds a file
        {L"art\\", false, true},
        {L"D:\\MEDIA\\Art", false, true},
        {L".", false, true},              // the current directory
        {L"D:\\", false, true},           // and its parents
        {L"D:\\Med", false, false},       // a prefix of a name is nothing
        {L"C:\\Empty", true, false},
        {L"C:\\Tools\\x", false, true},
        {L"C:\\Tools", false, true},
        {L"missing.txt", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host.FileExists(c.path), c.file) << c.path;
        EXPECT_EQ(host.IsFolder(c.path), c.folder) << c.path;
    }
}

}  // namespace
}  // namespace trelvo
