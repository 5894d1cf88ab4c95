#include <gtest/gtest.h>

#include "unit/Launch.h"

namespace trelvo {
namespace {

using testing::DialogHost;
using testing::DialogIni;
using testing::Ends;

std::string ShownButtons(int count)
{
    std::string ini;
    for (int n = 1; n <= count; ++n)
        ini += "[BUTTON" + std::to_string(n) + "]\r\nShow=True\r\nCaption=B" + std::to_string(n) +
               "\r\nAction=b" + std::to_string(n) + ".exe\r\n";
    return ini;
}

TEST(Layout, EveryRowOfTheTable)
{
    constexpr int X = -1;  // hidden
    const int expectedLeft[6][5] = {
        {X, X, X, X, X},
        {2910, X, X, X, X},
        {2910, 5790, X, X, X},
        {30, 2910, 5790, X, X},
        {30, 1950, 3870, 5790, X},
        {30, 1470, 2910, 4350, 5790},
    };
    for (int count = 0; count <= 5; ++count) {
        MemoryHost host = DialogHost(DialogIni("", ShownButtons(count)));
        frmSplash form(host);
        ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); })) << count;
        EXPECT_EQ(form.ButtonCount(), count);
        for (int i = 0; i < 5; ++i) {
            const auto& button = host.window->buttons[i];
            SCOPED_TRACE(::testing::Message() << "count " << count << " button " << i);
            EXPECT_EQ(button.visible, expectedLeft[count][i] != X);
            if (expectedLeft[count][i] != X) {
                EXPECT_EQ(button.left, expectedLeft[count][i]);
                EXPECT_EQ(button.caption, L"B" + std::to_wstring(i + 1));
            }
        }
    }
}

TEST(Layout, FiveButtonsMoveOnlyTheLastAndEveryButtonGetsAVisibility)
{
    MemoryHost host = DialogHost(DialogIni("", ShownButtons(5)));
    frmSplash form(host);
    ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    std::vector<std::wstring> layout(host.window->log.end() - 6, host.window->log.end());
    EXPECT_EQ(layout, (std::vector<std::wstring>{L"button 0 shown", L"button 1 shown", L"button 2 shown",
                                                 L"button 3 shown", L"button 4 left 5790", L"button 4 shown"}));
}

TEST(Buttons, PackingAndDefaults)
{
    const std::string ini = DialogIni("",
                                      "[BUTTON2]\r\nShow=True\r\nCaption=Install\r\nAction=Setup.exe\r\n"
                                      "[BUTTON4]\r\nShow=-1\r\n"
                                      "[BUTTON5]\r\nShow=False\r\nCaption=Never\r\n"
                                      "[BUTTON6]\r\nShow=True\r\nCaption=Six\r\nAction=six.exe\r\n");
    MemoryHost host = DialogHost(ini);
    frmSplash form(host);
    ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    EXPECT_EQ(form.ButtonCount(), 2);
    EXPECT_EQ(host.window->buttons[0].caption, L"Install");
    EXPECT_EQ(form.ButtonAction(0), L"Setup.exe");
    EXPECT_EQ(host.window->buttons[1].caption, L"False");
    EXPECT_EQ(form.ButtonAction(1), L"False");
    EXPECT_EQ(form.ButtonAction(2), L"");
    EXPECT_EQ(host.window->buttons[2].caption, L"Command1");
    for (const auto& read : host.reads) EXPECT_NE(read.substr(0, 7), L"BUTTON6");
    EXPECT_EQ(std::count(host.reads.begin(), host.reads.end(), L"BUTTON5/Caption"), 0);
}

TEST(Buttons, NotABooleanStopsBeforeLaterSections)
{
    MemoryHost host = DialogHost(DialogIni("", "[BUTTON2]\r\nShow=maybe\r\n[BUTTON3]\r\nShow=True\r\n"));
    frmSplash form(host);
    EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); }));
    EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(L"[BUTTON2]"), std::wstring::npos);
    EXPECT_EQ(host.reads.back(), L"BUTTON2/Show");
}

TEST(Dressing, BackColorForms)
{
    const struct {
        const char* value;  // nullptr: no BackColor key
        std::uint32_t colour;
    } cases[] = {
        {"47,31,107", 0x006B1F2Fu}, {"255,128,0", 0x000080FFu}, {"&HFF0000", 0x00FF0000u},
        {"&h6b1f2f", 0x006B1F2Fu},  {"7020335", 0x006B1F2Fu},   {"256,0,0", 0x00000100u},
        {nullptr, 0u},              {"&H8000000F", 0x8000000Fu},
    };
    for (const auto& c : cases) {
        std::string ini = "[DIALOG]\r\nShow=1\r\nPicture=splash.bmp\r\n";
        if (c.value) ini += std::string("BackColor=") + c.value + "\r\n";
        MemoryHost host = DialogHost(ini);
        frmSplash form(host);
        ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); })) << (c.value ? c.value : "absent");
        EXPECT_EQ(host.window->backColor, c.colour) << (c.value ? c.value : "absent");
    }
}

TEST(Dressing, BadColourIsOneFailureNamingKeyAndText)
{
    for (const char* value : {"1,2", "blue", "10,x,3", "&HGG"}) {
        MemoryHost host = DialogHost(std::string("[DIALOG]\r\nShow=1\r\nPicture=splash.bmp\r\nBackColor=") + value);
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << value;
        ASSERT_EQ(host.messages.size(), 1u) << value;
        EXPECT_NE(host.messages[0].find(L"BackColor"), std::wstring::npos) << value;
        EXPECT_NE(host.messages[0].find(std::wstring(value, value + strlen(value))), std::wstring::npos) << value;
        EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
        EXPECT_EQ(host.reads.back(), L"DIALOG/BackColor") << "stops before the picture";
    }
}

TEST(Dressing, MissingPicture)
{
    // The medium holds a registered folder "folder" and "art\\logo.png",
    // which makes "art" a folder too; a picture path naming a folder is no
    // picture, whether the folder is registered, holds a file, or is the
    // current directory itself.
    const struct {
        const char* pictureLine;
        const wchar_t* message;
    } cases[] = {
        {"Picture=art\\splash.png\r\n", L"Couldn't find splash screen picture - art\\splash.png"},
        {"", L"Couldn't find splash screen picture - False"},
        {"Picture=folder\r\n", L"Couldn't find splash screen picture - folder"},
        {"Picture=Folder\\\r\n", L"Couldn't find splash screen picture - Folder\\"},
        {"Picture=art\r\n", L"Couldn't find splash screen picture - art"},
        {"Picture=D:\\Media\\ART\r\n", L"Couldn't find splash screen picture - D:\\Media\\ART"},
        {"Picture=.\r\n", L"Couldn't find splash screen picture - ."},
    };
    for (const auto& c : cases) {
        MemoryHost host = testing::HostWithIni(std::string("[DIALOG]\r\nShow=1\r\nBackColor=1,2,3\r\n") +
                                               c.pictureLine + "[BUTTON1]\r\nShow=1\r\nCaption=Go\r\n");
        host.AddFolder(L"folder");
        host.AddFile(L"art\\logo.png", "PNG");
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << c.pictureLine;
        EXPECT_EQ(host.messages, std::vector<std::wstring>{c.message});
        EXPECT_EQ(host.exitCode, ExitCode::MissingPicture);
        // Buttons were loaded and the colour set before the picture failed.
        EXPECT_EQ(host.window->buttons[0].caption, L"Go");
        EXPECT_EQ(host.window->backColor, 0x030201u);
        EXPECT_EQ(host.reads.back(), L"DIALOG/Picture");
    }
}

TEST(Dressing, PictureIconAndCaption)
{
    MemoryHost host = DialogHost(DialogIni("Icon=product.ico\r\nCaption=\"Product Setup\"\r\n"));
    host.AddFile(L"product.ico", "ico");
    frmSplash form(host);
    ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    EXPECT_EQ(host.window->picture, L"splash.bmp");
    EXPECT_EQ(host.window->icon, L"product.ico");
    EXPECT_EQ(host.window->caption, L"Product Setup");
    EXPECT_TRUE(host.messages.empty());

    // No icon file: the built-in icon stays, without a message.
    for (const char* icon : {"missing.ico", "icons", "icons\\"}) {
        MemoryHost bare = DialogHost(DialogIni(std::string("Icon=") + icon + "\r\n"));
        bare.AddFile(L"icons\\product.ico", "ico");  // "icons" is a folder
        frmSplash bareForm(bare);
        ASSERT_FALSE(Ends(bareForm, [&] { bareForm.Form_Initialize(); })) << icon;
        EXPECT_EQ(bare.window->icon, L"") << "built-in icon stays: " << icon;
        EXPECT_EQ(bare.window->caption, L"False");
        EXPECT_TRUE(bare.messages.empty()) << icon;
    }
}

TEST(Dressing, UnreadableImagesAreOneFailure)
{
    for (const wchar_t* broken : {L"splash.bmp", L"product.ico"}) {
        MemoryHost host = DialogHost(DialogIni("Icon=product.ico\r\n"));
        host.AddFile(L"product.ico", "ico");
        host.unreadableImages.insert(host.FullPath(broken));
        frmSplash form(host);
        EXPECT_TRUE(Ends(form, [&] { form.Form_Initialize(); })) << broken;
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].find(broken), std::wstring::npos);
        EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
    }
}

TEST(Events, ClicksAndClosing)
{
    const std::string buttons =
        "[BUTTON1]\r\nShow=1\r\nCaption=Install\r\nAction=Setup.EXE /Q\r\n"
        "[BUTTON2]\r\nShow=1\r\nCaption=Exit\r\nAction=Exit\r\n";
    struct Case {
        const char* name;
        int click;  // -1: close the window instead
        bool ends;
        std::vector<std::wstring> started;
    };
    const Case cases[] = {
        {"command button", 0, true, {L"setup.exe /q"}},
        {"exit button", 1, true, {}},
        {"index below range", -2, false, {}},
        {"index above range", 5, false, {}},
        {"close", -1, true, {}},
    };
    for (const auto& c : cases) {
        MemoryHost host = DialogHost(DialogIni("", buttons));
        frmSplash form(host);
        ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
        WindowEvents& events = form;
        bool ended;
        try {
            if (c.click == -1) events.WindowClosing();
            else events.ButtonClicked(c.click);
            ended = false;
        } catch (const ProgramEnded&) {
            ended = true;
        }
        EXPECT_EQ(ended, c.ends) << c.name;
        EXPECT_EQ(host.started, c.started) << c.name;
        if (c.ends) {
            EXPECT_EQ(host.exitCode, ExitCode::Success) << c.name;
        }
        EXPECT_TRUE(host.messages.empty()) << c.name;
    }
}

TEST(Events, ButtonWithoutActionReportsTheCommandNamedFalse)
{
    MemoryHost host = DialogHost(DialogIni("", "[BUTTON1]\r\nShow=1\r\n"));
    host.startOutcomes[L"false"] = {2, L"The system cannot find the file specified."};
    frmSplash form(host);
    ASSERT_FALSE(Ends(form, [&] { form.Form_Initialize(); }));
    WindowEvents& events = form;
    EXPECT_THROW(events.ButtonClicked(0), ProgramEnded);
    EXPECT_EQ(host.exitCode, ExitCode::UncheckedFailure);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find(L"false"), std::wstring::npos);
}

}  // namespace
}  // namespace trelvo
