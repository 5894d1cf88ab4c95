// Running an action over the in-memory host: what the process start does
// first, and which of its failures go to the shell (documents, folders,
// URLs) or end in the one message. The medium D:\Media holds setup.exe,
// readme.pdf, "read me.txt", other.bin and the folders docs and "my docs".
#include <gtest/gtest.h>

#include "unit/Launch.h"

namespace trelvo {
namespace {

using testing::Ends;
using testing::HostWithIni;

struct ActionCase {
    const char* action;        // the DefaultAction value as written in the INI
    const wchar_t* command;    // as handed to the process start
    std::uint32_t startError;  // 0: the process starts
    std::uint32_t shellError;  // 0: the shell opens what it is given
    const wchar_t* opened;     // "file|parameters|directory" through the shell, or null
    const wchar_t* message;    // part of the one message, or null for none
};

const ActionCase kActionCases[] = {
    // Programs first, exactly as before.
    {"Setup.exe /Q", L"setup.exe /q", 0, 0, nullptr, nullptr},
    {"ReadMe.pdf", L"readme.pdf", 0, 0, nullptr, nullptr},  // a process start that works is never second-guessed
    // Documents: the process start says "no program" about a file it found.
    {"ReadMe.pdf", L"readme.pdf", 193, 0, L"D:\\Media\\readme.pdf||D:\\Media", nullptr},
    {"Read Me.txt /P", L"read me.txt /p", 193, 0, L"D:\\Media\\read me.txt|/p|D:\\Media", nullptr},
    {"other.bin", L"other.bin", 1006, 0, L"D:\\Media\\other.bin||D:\\Media", nullptr},
    {"other.bin", L"other.bin", 11, 0, L"D:\\Media\\other.bin||D:\\Media", nullptr},
    // Folders, whatever the process start's error.
    {"Docs", L"docs", 5, 0, L"docs||D:\\Media", nullptr},
    {"docs\\", L"docs\\", 3, 0, L"docs\\||D:\\Media", nullptr},
    {"'\"My Docs\"'", L"\"my docs\"", 2, 0, L"my docs||D:\\Media", nullptr},
    {".", L".", 5, 0, L".||D:\\Media", nullptr},
    // URLs: a scheme of two or more characters.
    {"https://Example.com/Setup", L"https://example.com/setup", 123, 0, L"https://example.com/setup||D:\\Media", nullptr},
    {"mailto:help@example.com", L"mailto:help@example.com", 2, 0, L"mailto:help@example.com||D:\\Media", nullptr},
    {"ms-settings:display", L"ms-settings:display", 2, 0, L"ms-settings:display||D:\\Media", nullptr},
    // Everything else ends in the message, as before.
    {"c:\\x", L"c:\\x", 2, 0, nullptr, L"Couldn't start the command line\n\nc:\\x\n\nNot found. (error 2)"},
    {"Missing.pdf", L"missing.pdf", 2, 0, nullptr, L"Couldn't start the command line\n\nmissing.pdf\n\nNot found. (error 2)"},
    {"Setp.exe /q", L"setp.exe /q", 2, 0, nullptr, L"Couldn't start the command line\n\nsetp.exe /q\n\nNot found. (error 2)"},
    {"readme.pdf", L"readme.pdf", 5, 0, nullptr, L"(error 5)"},        // a file, but no "no program" answer
    {"other.bin", L"other.bin", 216, 0, nullptr, L"(error 216)"},      // a program for another machine
    {"absent.pdf", L"absent.pdf", 193, 0, nullptr, L"(error 193)"},    // no file found to open
    {"1st:thing", L"1st:thing", 2, 0, nullptr, L"(error 2)"},          // no scheme
    {"", L"false", 2, 0, nullptr, L"Couldn't start the command line\n\nfalse"},
    // The shell cannot open it either: one message naming the action and the reason.
    {"readme.pdf", L"readme.pdf", 193, 1155, nullptr,
     L"Couldn't open\n\nreadme.pdf\n\nNo application is associated. (error 1155)"},
    {"nobody-handles:this", L"nobody-handles:this", 2, 1155, nullptr,
     L"Couldn't open\n\nnobody-handles:this\n\nNo application is associated. (error 1155)"},
};

TEST(Action, ProcessStartFirstThenTheShell)
{
    for (const auto& c : kActionCases) {
        MemoryHost host = HostWithIni(std::string("[DIALOG]\r\nShow=False\r\nDefaultAction=") + c.action + "\r\n");
        for (const wchar_t* file : {L"setup.exe", L"readme.pdf", L"read me.txt", L"other.bin"}) host.AddFile(file, "x");
        host.AddFolder(L"docs");
        host.AddFolder(L"my docs");
        if (c.startError) host.startOutcomes[c.command] = {c.startError, L"Not found."};
        if (c.shellError) host.shellOutcome = StartOutcome{c.shellError, L"No application is associated."};
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << c.action;
        EXPECT_EQ(host.started, c.startError ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.command})
            << c.action;
        EXPECT_EQ(host.opened, c.opened ? std::vector<std::wstring>{c.opened} : std::vector<std::wstring>{})
            << c.action << " (error " << c.startError << ")";
        EXPECT_TRUE(host.elevated.empty()) << c.action;
        if (c.message) {
            ASSERT_EQ(host.messages.size(), 1u) << c.action;
            EXPECT_NE(host.messages[0].find(c.message), std::wstring::npos) << host.messages[0];
            EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure) << c.action;
        } else {
            EXPECT_TRUE(host.messages.empty()) << c.action;
            EXPECT_EQ(host.exitCode, ExitCode::Success) << c.action;
        }
    }
}

TEST(Action, ElevationStillComesBeforeTheShell)
{
    MemoryHost host = HostWithIni("[DIALOG]\r\nShow=False\r\nDefaultAction=docs\r\n");
    host.AddFolder(L"docs");
    host.AddFile(L"docs.exe", "MZ");
    host.startOutcomes[L"docs"] = {kErrorElevationRequired, L"The requested operation requires elevation."};
    frmSplash form(host);
    EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); }));
    EXPECT_EQ(host.elevated, std::vector<std::wstring>{L"D:\\Media\\docs.exe|"});
    EXPECT_TRUE(host.opened.empty());
    EXPECT_EQ(host.exitCode, ExitCode::Success);
}

TEST(Action, AButtonOpensADocumentToo)
{
    MemoryHost host = testing::DialogHost(
        testing::DialogIni("", "[BUTTON1]\r\nShow=1\r\nCaption=Manual\r\nAction=Manual.PDF\r\n"));
    host.AddFile(L"manual.pdf", "%PDF");
    host.startOutcomes[L"manual.pdf"] = {193, L"Bad EXE format."};
    frmSplash form(host);
    ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    WindowEvents& events = form;
    EXPECT_THROW(events.ButtonClicked(0), ProgramEnded);
    EXPECT_EQ(host.opened, std::vector<std::wstring>{L"D:\\Media\\manual.pdf||D:\\Media"});
    EXPECT_EQ(host.exitCode, ExitCode::Success);
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace trelvo
