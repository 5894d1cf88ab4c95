#include <gtest/gtest.h>

#include "config/ProfileText.h"
#include "unit/Launch.h"

namespace trelvo {
namespace {

using testing::HostWithIni;

TEST(ReadIniValue, AbsenceReadsAsFalse)
{
    MemoryHost host = HostWithIni("[DIALOG]\r\nEmpty=\r\nLiteral=False\r\nCaption=\"Product Setup\"\r\n");
    frmSplash form(host);
    const std::wstring file = L"D:\\Media\\setup.ini";
    EXPECT_EQ(form.ReadIniValue(file, L"DIALOG", L"Empty", L""), L"False");
    EXPECT_EQ(form.ReadIniValue(file, L"DIALOG", L"Missing", L""), L"False");
    EXPECT_EQ(form.ReadIniValue(file, L"NOSECTION", L"Caption", L""), L"False");
    EXPECT_EQ(form.ReadIniValue(file, L"DIALOG", L"Literal", L""), L"False");
    EXPECT_EQ(form.ReadIniValue(L"D:\\Media\\absent.ini", L"DIALOG", L"Caption", L""), L"False");
    EXPECT_EQ(form.ReadIniValue(file, L"dialog", L"caption", L""), L"Product Setup");
}

TEST(ReadIniValue, LongValuesAreCutTo254)
{
    MemoryHost host = HostWithIni("[A]\r\nk=" + std::string(300, 'v') + "\r\nj=" + std::string(254, 'w') + "\r\n");
    frmSplash form(host);
    EXPECT_EQ(form.ReadIniValue(L"D:\\Media\\setup.ini", L"A", L"k", L""), std::wstring(254, L'v'));
    EXPECT_EQ(form.ReadIniValue(L"D:\\Media\\setup.ini", L"A", L"j", L""), std::wstring(254, L'w'));
}

TEST(WriteIniValue, LineBreaksBecomeBlanks)
{
    MemoryHost host = HostWithIni("[A]\r\n");
    frmSplash form(host);
    const std::wstring file = L"D:\\Media\\setup.ini";
    form.WriteIniValue(file, L"A", L"k", L"one\r\ntwo\nthree\rfour");
    EXPECT_EQ(form.ReadIniValue(file, L"A", L"k", L""), L"one  two three four");
    // No 16-bit limit on the value's length.
    form.WriteIniValue(file, L"B", L"long", std::wstring(40000, L'x'));
    EXPECT_NE(host.FileBytes(L"setup.ini")->find(std::string(40000, 'x')), std::string::npos);
}

TEST(IniFile, LocationRule)
{
    const struct {
        const wchar_t* directory;
        const wchar_t* exe;
        const wchar_t* expected;
    } cases[] = {
        {L"D:\\Media", L"setup", L"D:\\Media\\setup.ini"},
        {L"D:\\", L"setup", L"D:\\setup.ini"},
        {L"\\\\server\\share\\disk1", L"Install.Me", L"\\\\server\\share\\disk1\\Install.Me.ini"},
    };
    for (const auto& c : cases) {
        MemoryHost host;
        host.currentDirectory = c.directory;
        host.executableBaseName = c.exe;
        frmSplash form(host);
        EXPECT_TRUE(testing::Ends(form, [&] { form.Form_Initialize(); }));
        EXPECT_EQ(form.IniFile(), c.expected);
    }
}

}  // namespace
}  // namespace trelvo
