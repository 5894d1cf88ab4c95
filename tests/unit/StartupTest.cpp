#include <gtest/gtest.h>

#include <optional>

#include "unit/Launch.h"

namespace trelvo {
namespace {

using testing::Ends;
using testing::HostWithIni;

TEST(Startup, MissingIniIsReportedOnce)
{
    const std::string silentExit = "[DIALOG]\r\nShow=False\r\nDefaultAction=exit\r\n";
    const struct {
        const char* name;
        void (*prepare)(MemoryHost&, const std::string&);
    } cases[] = {
        {"only in another folder",
         [](MemoryHost& host, const std::string& ini) { host.AddFile(L"C:\\Elsewhere\\setup.ini", ini); }},
        {"a registered folder named setup.ini",
         [](MemoryHost& host, const std::string&) { host.AddFolder(L"Setup.INI"); }},
        {"a folder named setup.ini holding a file",
         [](MemoryHost& host, const std::string& ini) { host.AddFile(L"setup.ini\\setup.ini", ini); }},
    };
    for (const auto& c : cases) {
        MemoryHost host;
        c.prepare(host, silentExit);
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << c.name;
        EXPECT_EQ(host.messages, std::vector<std::wstring>{L"D:\\Media\\setup.ini doesn't exist. "
                                                           L"INI filename must be the same as EXE filename."})
            << c.name;
        EXPECT_EQ(host.exitCode, ExitCode::MissingConfiguration) << c.name;
        EXPECT_TRUE(host.reads.empty()) << c.name;
        EXPECT_TRUE(host.started.empty()) << c.name;
        EXPECT_FALSE(host.window) << c.name;
    }
}

TEST(Startup, SilentModeActions)
{
    const struct {
        const char* ini;
        std::vector<std::wstring> started;
    } cases[] = {
        {"[DIALOG]\r\nShow=False\r\nDefaultAction=exit\r\n", {}},
        {"[DIALOG]\r\nShow=0\r\nDefaultAction=EXIT\r\n", {}},
        {"[DIALOG]\r\nShow=false\r\nDefaultAction=Exit\r\n", {}},
        {"[DIALOG]\r\nDefaultAction=Setup.exe /Lang=DE\r\n", {L"setup.exe /lang=de"}},
        {"[DIALOG]\r\nShow=False\r\nDefaultAction=\" exit\"\r\n", {L" exit"}},
        {"[DIALOG]\r\nShow=False\r\nDefaultAction=\"exit \"\r\n", {L"exit "}},
        {"", {L"false"}},
        {"[OTHER]\r\nShow=True\r\n", {L"false"}},
    };
    for (const auto& c : cases) {
        MemoryHost host = HostWithIni(c.ini);
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << c.ini;
        EXPECT_EQ(host.started, c.started) << c.ini;
        EXPECT_EQ(host.exitCode, ExitCode::Success) << c.ini;
        EXPECT_TRUE(host.messages.empty()) << c.ini;
        EXPECT_FALSE(host.window) << "silent mode builds no window: " << c.ini;
    }
}

TEST(Startup, ShowValues)
{
    const struct {
        const char* show;
        bool dialog;
    } cases[] = {{"0", false}, {"False", false}, {"FALSE", false}, {"1", true},
                 {"-1", true}, {"True", true},   {"true", true}};
    for (const auto& c : cases) {
        MemoryHost host = testing::DialogHost(std::string("[DIALOG]\r\nShow=") + c.show +
                                              "\r\nPicture=splash.bmp\r\nDefaultAction=exit\r\n");
        frmSplash form(host);
        bool ended = Ends(form, [&] { form.Form_Initialize(); });
        EXPECT_EQ(ended, !c.dialog) << c.show;
        EXPECT_EQ(host.window.has_value(), c.dialog) << c.show;
    }
}

TEST(Startup, ShowThatIsNotABooleanIsOneClearFailure)
{
    MemoryHost host = HostWithIni("[DIALOG]\r\nShow=Yes\r\nDefaultAction=exit\r\n");
    frmSplash form(host);
    EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); }));
    ASSERT_EQ(host.messages.size(), 1u);
    for (const wchar_t* part : {L"\"Show\"", L"[DIALOG]", L"D:\\Media\\setup.ini", L"\"Yes\""})
        EXPECT_NE(host.messages[0].find(part), std::wstring::npos) << part;
    EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
    EXPECT_EQ(host.reads, std::vector<std::wstring>{L"DIALOG/Show"}) << "nothing read after the failure";
    EXPECT_TRUE(host.started.empty());
}

TEST(Startup, CommandThatCannotStartIsReported)
{
    MemoryHost host = HostWithIni("");
    host.startOutcomes[L"false"] = {2, L"The system cannot find the file specified."};
    frmSplash form(host);
    EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); }));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(L"false"), std::wstring::npos);
    EXPECT_NE(host.messages[0].find(L"The system cannot find the file specified. (error 2)"), std::wstring::npos);
    EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
    EXPECT_TRUE(host.elevated.empty());
}

TEST(Startup, ElevationRequiredGoesThroughTheShell)
{
    // The shell is handed the program the process start found, as a full
    // path, and the rest of the line; never the line cut at its first blank.
    struct Case {
        const char* action;
        const wchar_t* command;   // as started: lower-cased, quotes of the value removed
        const wchar_t* elevated;  // "program|parameters"; null: the prompt was declined
    };
    const Case cases[] = {
        {"'\"Sub Dir\\Setup.exe\" /S /V'", L"\"sub dir\\setup.exe\" /s /v", L"D:\\Media\\sub dir\\setup.exe|/s /v"},
        {"D:\\My Setup\\Setup.exe /S", L"d:\\my setup\\setup.exe /s", L"d:\\my setup\\setup.exe|/s"},
        {"D:\\My Setup\\Setup /S", L"d:\\my setup\\setup /s", L"d:\\my setup\\setup.exe|/s"},
        {"Install Tool.exe", L"install tool.exe", L"D:\\Media\\install tool.exe|"},
        // Found by neither (the search and the process start disagree): split as before.
        {"Sub Dir\\Missing.exe /q", L"sub dir\\missing.exe /q", L"sub|dir\\missing.exe /q"},
        {"D:\\My Setup\\Setup.exe /S", L"d:\\my setup\\setup.exe /s", nullptr},
    };
    for (const auto& c : cases) {
        MemoryHost host = HostWithIni(std::string("[DIALOG]\r\nDefaultAction=") + c.action + "\r\n");
        host.AddFile(L"Sub Dir\\Setup.exe", "MZ");
        host.AddFile(L"D:\\My Setup\\Setup.exe", "MZ");
        host.AddFile(L"Install Tool.exe", "MZ");
        host.startOutcomes[c.command] = {kErrorElevationRequired, L"The requested operation requires elevation."};
        frmSplash form(host);
        if (!c.elevated) host.elevatedOutcome = StartOutcome{1223, L"The operation was canceled by the user."};
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << c.action;
        EXPECT_TRUE(host.started.empty()) << c.action;
        if (c.elevated) {
            EXPECT_EQ(host.elevated, std::vector<std::wstring>{c.elevated}) << c.action;
            EXPECT_EQ(host.exitCode, ExitCode::Success) << c.action;
            EXPECT_TRUE(host.messages.empty()) << c.action;
        } else {
            EXPECT_TRUE(host.elevated.empty());
            EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_NE(host.messages[0].find(L"error 1223"), std::wstring::npos);
        }
    }
}

TEST(Startup, ReadOrderInDialogMode)
{
    MemoryHost host = testing::DialogHost(testing::DialogIni(
        "", "[BUTTON1]\r\nShow=True\r\n[BUTTON3]\r\nShow=1\r\nCaption=Exit\r\nAction=exit\r\n"));
    frmSplash form(host);
    EXPECT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    const std::vector<std::wstring> expected = {
        L"DIALOG/Show",    L"BUTTON1/Show",      L"BUTTON1/Caption", L"BUTTON1/Action",
        L"BUTTON2/Show",   L"BUTTON3/Show",      L"BUTTON3/Caption", L"BUTTON3/Action",
        L"BUTTON4/Show",   L"BUTTON5/Show",      L"DIALOG/BackColor", L"DIALOG/Picture",
        L"DIALOG/Icon",    L"DIALOG/Caption",
    };
    EXPECT_EQ(host.reads, expected);
    EXPECT_EQ(form.ButtonCount(), 2);
    EXPECT_EQ(form.ButtonAction(0), L"False");
    EXPECT_EQ(form.ButtonAction(1), L"exit");
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

// Start-up says what comes next: only a dressed dialog-mode window is to be
// shown; every other road has ended the program, with its message (if any)
// and status in one step.
TEST(Startup, StartSaysWhatComesNext)
{
    const struct {
        const char* name;
        std::string ini;  // empty: no INI file
        bool picture;
        std::optional<ExitCode> end;  // nullopt: the window is to be shown
        size_t messages;
    } cases[] = {
        {"dialog mode", testing::DialogIni(), true, std::nullopt, 0},
        {"dialog mode, no buttons shown", testing::DialogIni("", "[BUTTON1]\r\nShow=False\r\n"), true, std::nullopt, 0},
        {"silent exit", "[DIALOG]\r\nShow=False\r\nDefaultAction=exit\r\n", false, ExitCode::Success, 0},
        {"silent start", "[DIALOG]\r\nShow=0\r\nDefaultAction=setup.exe\r\n", false, ExitCode::Success, 0},
        {"no INI file", "", false, ExitCode::MissingConfiguration, 1},
        {"picture missing", testing::DialogIni(), false, ExitCode::MissingPicture, 1},
        {"Show not boolean", "[DIALOG]\r\nShow=maybe\r\n", false, ExitCode::UncheckedFailure, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryHost host;
        if (!c.ini.empty()) host.AddFile(L"setup.ini", c.ini);
        if (c.picture) host.AddFile(L"splash.bmp", "BM");
        frmSplash form(host);
        std::optional<StartupResult> next;
        try {
            next = form.Start();
        } catch (const ProgramEnded& end) {
            EXPECT_EQ(end.code, host.exitCode);
        }
        if (c.end) {
            EXPECT_FALSE(next.has_value());
            EXPECT_EQ(host.exitCode, c.end);
        } else {
            EXPECT_EQ(next, StartupResult::ShowWindow);
            EXPECT_FALSE(host.exitCode.has_value());
            EXPECT_TRUE(host.window.has_value());
        }
        EXPECT_EQ(host.messages.size(), c.messages);
    }
}

}  // namespace
}  // namespace trelvo
