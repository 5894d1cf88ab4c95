// Finding the program of a command line the way the process start does, over
// the in-memory host. The launcher lives in E:\Disc, the current directory is
// D:\Media; the system folders are C:\Windows\System32, C:\Windows\System and
// C:\Windows, and PATH is "C:\Tools\;;C:\Bin".
#include <gtest/gtest.h>

#include "launch/CommandLine.h"
#include "support/MemoryHost.h"

namespace trelvo {
namespace {

MemoryHost SearchHost()
{
    MemoryHost host;
    host.programSearch = {L"E:\\Disc", L"C:\\Windows\\System32", L"C:\\Windows", L"C:\\Tools\\;;C:\\Bin", true};
    for (const wchar_t* file : {
             L"d:\\my setup\\setup.exe", L"d:\\trap.exe", L"d:\\trap dir\\setup.exe",
             L"d:\\my.setup files\\setup.exe", L"d:\\tools\\run", L"d:\\tools\\run.exe",
             L"E:\\Disc\\both.exe", L"D:\\Media\\both.exe", L"D:\\Media\\setup.exe", L"D:\\Media\\readme.txt",
             L"D:\\Media\\sub dir\\tool.exe", L"D:\\Media\\cmd.exe", L"C:\\Windows\\System32\\cmd.exe",
             L"C:\\Windows\\System32\\sys.exe", L"C:\\Windows\\System\\sys.exe", L"C:\\Windows\\System\\old.exe",
             L"C:\\Windows\\old.exe", L"C:\\Windows\\win.exe", L"C:\\Bin\\win.exe", L"C:\\Bin\\onpath.exe",
             L"C:\\Tools\\tool.exe"})
        host.AddFile(file, "MZ");
    host.AddFolder(L"d:\\my.setup");  // a folder that looks like a program name
    host.AddFolder(L"D:\\Media\\folder.exe");
    return host;
}

TEST(FindProgram, TheProcessStartsRules)
{
    const struct {
        const wchar_t* line;
        const wchar_t* program;  // null: nothing found
        const wchar_t* parameters;
    } cases[] = {
        // Quoted: up to the closing quote, no prefixes tried.
        {L"\"d:\\my setup\\setup.exe\" /s", L"d:\\my setup\\setup.exe", L"/s"},
        {L"\"d:\\my setup\\setup\"  /s /v", L"d:\\my setup\\setup.exe", L"/s /v"},
        {L"\"d:\\my setup\\setup.exe", L"d:\\my setup\\setup.exe", L""},
        {L"\"d:\\trap dir\\missing.exe\" /s", nullptr, nullptr},
        // Unquoted with blanks: each blank-delimited prefix in turn.
        {L"d:\\my setup\\setup.exe /s", L"d:\\my setup\\setup.exe", L"/s"},
        {L"d:\\my setup\\setup /s", L"d:\\my setup\\setup.exe", L"/s"},
        {L"d:\\trap dir\\setup.exe /s", L"d:\\trap.exe", L"dir\\setup.exe /s"},
        {L"d:\\my.setup files\\setup.exe", L"d:\\my.setup files\\setup.exe", L""},  // folder skipped
        {L"  setup.exe\t/s", L"D:\\Media\\setup.exe", L"/s"},
        // A name with its own folder: as written first, then with ".exe".
        {L"d:\\tools\\run -x", L"d:\\tools\\run", L"-x"},
        {L".\\setup", L"D:\\Media\\.\\setup.exe", L""},
        {L"..\\media\\setup.exe", L"D:\\Media\\..\\media\\setup.exe", L""},
        {L"\\media\\readme.txt", L"D:\\media\\readme.txt", L""},
        // Relative: the launcher's folder, the current directory, System32,
        // System, the Windows folder, then PATH.
        {L"both.exe", L"E:\\Disc\\both.exe", L""},
        {L"setup /s", L"D:\\Media\\setup.exe", L"/s"},
        {L"readme.txt", L"D:\\Media\\readme.txt", L""},  // an extension: no ".exe"
        {L"sub dir\\tool.exe -x", L"D:\\Media\\sub dir\\tool.exe", L"-x"},
        {L"cmd /c", L"D:\\Media\\cmd.exe", L"/c"},
        {L"sys", L"C:\\Windows\\System32\\sys.exe", L""},
        {L"old", L"C:\\Windows\\System\\old.exe", L""},
        {L"win", L"C:\\Windows\\win.exe", L""},
        {L"onpath.exe a b", L"C:\\Bin\\onpath.exe", L"a b"},
        {L"tool", L"C:\\Tools\\tool.exe", L""},
        // Not found.
        {L"folder.exe", nullptr, nullptr},
        {L"nothing.exe /x", nullptr, nullptr},
        {L"d:\\my", nullptr, nullptr},
        {L"", nullptr, nullptr},
        {L"   ", nullptr, nullptr},
        {L"\"\"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        MemoryHost host = SearchHost();
        std::optional<CommandParts> found = FindProgram(host, c.line);
        if (!c.program) {
            EXPECT_FALSE(found) << c.line << " found " << (found ? found->program : L"");
            continue;
        }
        ASSERT_TRUE(found) << c.line;
        EXPECT_EQ(found->program, c.program) << c.line;
        EXPECT_EQ(found->parameters, c.parameters) << c.line;
        EXPECT_TRUE(host.FileExists(found->program)) << c.line;
    }
}

TEST(FindProgram, CurrentDirectoryLeftOutOnRequest)
{
    MemoryHost host = SearchHost();
    host.programSearch.currentDirectory = false;
    EXPECT_EQ(FindProgram(host, L"setup.exe /s"), std::nullopt);
    // Names with a backslash still look there, as the system's rule says.
    EXPECT_EQ(FindProgram(host, L"sub dir\\tool.exe")->program, L"D:\\Media\\sub dir\\tool.exe");
    EXPECT_EQ(FindProgram(host, L".\\setup.exe")->program, L"D:\\Media\\.\\setup.exe");
    EXPECT_EQ(FindProgram(host, L"cmd")->program, L"C:\\Windows\\System32\\cmd.exe");
}

}  // namespace
}  // namespace trelvo
