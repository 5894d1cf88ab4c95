#include <gtest/gtest.h>

#include "ProfileCases.h"
#include "config/ProfileText.h"

namespace trelvo {
namespace {

std::wstring Read(const std::string& bytes, const wchar_t* section, const wchar_t* key,
                  std::uint32_t size = 255, std::uint32_t* count = nullptr)
{
    wchar_t buffer[512];
    std::uint32_t n = ReadProfileText(bytes, section, key, L"", buffer, size);
    if (count) *count = n;
    EXPECT_EQ(buffer[n], L'\0');
    return std::wstring(buffer, n);
}

TEST(ProfileText, SharedCases)
{
    for (const auto& c : testing::kProfileCases) {
        std::uint32_t count = 0;
        std::string bytes = testing::CaseFileExists(c) ? testing::CaseBytes(c) : std::string();
        EXPECT_EQ(Read(bytes, c.section, c.key, 255, &count), c.expected) << c.name;
        EXPECT_EQ(count, c.expected.size()) << c.name;
    }
}

TEST(ProfileText, OwnChoices)
{
    struct Case {
        const char* name;
        std::string ini;
        std::wstring expected;
    };
    const Case cases[] = {
        {"CR-only line ends", "[A]\rx=1\rk=cr\r", L"cr"},
        {"comment line", "[A]\r\n;k=commented\r\n", L""},
        {"first of a repeated section", "[A]\r\nk=1\r\n[A]\r\nk=2\r\n", L"1"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9t\xC3\xA9\r\n", L"\u00E9t\u00E9"},
        // After a mark, each ill-formed piece of bytes becomes one U+FFFD.
        {"UTF-8 mark, ill-formed bytes", "\xEF\xBB\xBF[A]\r\nk=a\x80\xC3(\xE2\x82\xF4\x90\xED\xA0\xC0\xAFz\r\n",
         L"a\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"},
        {"UTF-16 byte-order mark", std::string("\xFF\xFE[\0A\0]\0\n\0k\0=\0\x3A\x04\n\0", 18), L"\u043A"},
        {"Windows-1252 bytes", "[A]\r\nk=\x80\xE9\r\n", L"\u20AC\u00E9"},
        {"section line without bracket", "[A\r\nk=1\r\n", L""},
        {"tab around value", "[A]\r\nk=\tv\t\r\n", L"v"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.ini, L"A", L"k"), c.expected) << c.name;
}

TEST(ProfileText, EncodingRule)
{
    const struct {
        const char* name;
        std::string bytes;
        ProfileEncoding expected;
    } cases[] = {
        {"empty", "", ProfileEncoding::CodePage},
        {"ASCII only", "[A]\r\nk=v\r\n", ProfileEncoding::CodePage},
        {"UTF-16 little-endian mark", "\xFF\xFE[\0", ProfileEncoding::Utf16Le},
        {"UTF-16 big-endian mark", "\xFE\xFF\0[", ProfileEncoding::Utf16Be},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", ProfileEncoding::Utf8Marked},
        {"UTF-8 mark, ill-formed after it", "\xEF\xBB\xBFk=\xE9", ProfileEncoding::Utf8Marked},
        {"two-byte letters", "k=\xC3\xA9", ProfileEncoding::Utf8},
        {"largest code point", "k=\xF4\x8F\xBF\xBF", ProfileEncoding::Utf8},
        {"last before the surrogates", "k=\xED\x9F\xBF", ProfileEncoding::Utf8},
        {"beyond U+10FFFF", "k=\xF4\x90\x80\x80", ProfileEncoding::CodePage},
        {"lead byte F5", "k=\xF5\x80\x80\x80", ProfileEncoding::CodePage},
        {"overlong two bytes", "k=\xC1\xBF", ProfileEncoding::CodePage},
        {"overlong three bytes", "k=\xE0\x9F\xBF", ProfileEncoding::CodePage},
        {"overlong four bytes", "k=\xF0\x8F\xBF\xBF", ProfileEncoding::CodePage},
        {"surrogate", "k=\xED\xB0\x80", ProfileEncoding::CodePage},
        {"stray continuation byte", "k=\xA9", ProfileEncoding::CodePage},
        {"lead byte without continuation", "k=\xC3 ", ProfileEncoding::CodePage},
        {"cut at the end", "k=\xE2\x82", ProfileEncoding::CodePage},
        {"UTF-8 lines and one Windows-1252 line", "a=\xC3\xA9\r\nb=\xE9\r\n", ProfileEncoding::CodePage},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileFileEncoding(c.bytes), c.expected) << c.name;
}

TEST(ProfileText, SmallBufferCopiesSizeLessOne)
{
    std::uint32_t count = 0;
    EXPECT_EQ(Read("[A]\r\nk=abcdef\r\n", L"A", L"k", 4, &count), L"abc");
    EXPECT_EQ(count, 3u);
    wchar_t untouched = L'#';
    EXPECT_EQ(ReadProfileText("[A]\r\nk=1\r\n", L"A", L"k", L"", &untouched, 0), 0u);
    EXPECT_EQ(untouched, L'#');
}

TEST(ProfileText, WriteReplacesAddsAndCreates)
{
    std::string ini = "[A]\r\nk=old\r\nother=1\r\n[B]\r\nz=9\r\n";
    ini = WriteProfileText(ini, L"a", L"K", L"new");
    EXPECT_EQ(Read(ini, L"A", L"k"), L"new");
    EXPECT_EQ(Read(ini, L"A", L"other"), L"1");
    ini = WriteProfileText(ini, L"A", L"added", L"2");
    EXPECT_EQ(Read(ini, L"A", L"added"), L"2");
    EXPECT_EQ(Read(ini, L"B", L"added"), L"");
    ini = WriteProfileText(ini, L"C", L"k", L"\u00E9");
    EXPECT_EQ(Read(ini, L"C", L"k"), L"\u00E9");
    EXPECT_EQ(Read(ini, L"B", L"z"), L"9");
    EXPECT_NE(ini.find("\xE9"), std::string::npos) << "written in Windows-1252";

    // A UTF-8 file without a mark stays UTF-8, a lone surrogate written as
    // U+FFFD so that the file stays well-formed.
    std::string utf8 = WriteProfileText("[A]\r\nk=\xC3\xA9\r\n", L"A", L"s", L"\u20AC\xD800x");
    EXPECT_EQ(ProfileFileEncoding(utf8), ProfileEncoding::Utf8);
    EXPECT_EQ(Read(utf8, L"A", L"s"), L"\u20AC\uFFFDx");
    EXPECT_EQ(Read(utf8, L"A", L"k"), L"\u00E9");
}

TEST(ProfileText, WritingKeepsTheRestOfTheFile)
{
    const struct {
        const char* name;
        std::string ini;
        std::wstring value;  // of k in [A], read back after writing another key
    } cases[] = {
        {"undefined Windows-1252 bytes", "[A]\r\nk=\x81\x8D\x8F\x90\x9D\r\n", L"\u0081\u008D\u008F\u0090\u009D"},
        {"UTF-8 file", "\xEF\xBB\xBF[A]\r\nk=\xC3\xBF\xC3\xBE\xE2\x82\xAC\r\n", L"\u00FF\u00FE\u20AC"},
        {"UTF-8 file without a mark", "[A]\r\nk=\xC3\xBF\xC3\xBE\xE2\x82\xAC\r\n", L"\u00FF\u00FE\u20AC"},
        {"UTF-16 file", std::string("\xFF\xFE[\0A\0]\0\n\0k\0=\0\x3A\x04\n\0", 18), L"\u043A"},
    };
    for (const auto& c : cases) {
        std::string written = WriteProfileText(c.ini, L"A", L"other", L"1");
        EXPECT_EQ(Read(written, L"A", L"k"), c.value) << c.name;
        EXPECT_EQ(Read(written, L"A", L"other"), L"1") << c.name;
        EXPECT_EQ(ProfileFileEncoding(written), ProfileFileEncoding(c.ini)) << c.name << ": encoding kept";
        EXPECT_EQ(written.substr(0, 2), c.ini.substr(0, 2)) << c.name << ": mark kept, none added";
    }
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

TEST(ProfileScan, SectionsKeysAndLines)
{
    ProfileScan scan = ScanProfile("orphan=1\r\n[DIALOG]\r\n; note\r\nShow = 1 \r\nshow=2\r\n\r\n[ BUTTON1 ]\rCaption='x'\nbare\r\n[dialog]\r\nShow=3\r\n");
    ASSERT_EQ(scan.outside.size(), 1u);
    EXPECT_EQ(scan.outside[0].line, 1);
    ASSERT_EQ(scan.sections.size(), 3u);
    EXPECT_EQ(scan.sections[0].name, L"DIALOG");
    EXPECT_EQ(scan.sections[0].line, 2);
    EXPECT_EQ(scan.sections[0].end, 6);  // blank and comment lines belong to the section
    ASSERT_EQ(scan.sections[0].keys.size(), 2u);
    EXPECT_EQ(scan.sections[0].keys[1].line, 5);
    EXPECT_EQ(scan.sections[1].name, L"BUTTON1");  // CR alone ends a line too
    ASSERT_EQ(scan.sections[1].keys.size(), 2u);
    EXPECT_EQ(scan.sections[1].keys[0].value, L"'x'");
    EXPECT_EQ(scan.sections[1].keys[1].line, 9);
    EXPECT_FALSE(scan.sections[1].keys[1].hasEquals);
    // Every read finds the first section and its first key of a name.
    const ProfileKey* show = FindProfileKey(scan, L"dialog", L"SHOW");
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->line, 4);
    EXPECT_EQ(FindProfileSection(scan, L"Dialog"), &scan.sections[0]);
    EXPECT_EQ(Read("[DIALOG]\r\nShow = 1 \r\nshow=2\r\n[dialog]\r\nShow=3\r\n", L"DIALOG", L"Show"), L"1");
}

TEST(ProfileScan, EncodingsAndCodePages)
{
    const struct {
        const char* name;
        std::string bytes;
        unsigned codePage;
        ProfileEncoding encoding;
        std::wstring value;
    } cases[] = {
        {"Windows-1252", "[A]\r\nk=\x80\xE9\x81\r\n", 1252, ProfileEncoding::CodePage, L"\u20AC\u00E9\u0081"},
        {"Windows-1251", "[A]\r\nk=\xCF\xF0\xE8\r\n", 1251, ProfileEncoding::CodePage, L"\u041F\u0440\u0438"},
        {"Shift-JIS", "[A]\r\nk=\x83\x65\x83\x58\r\n", 932, ProfileEncoding::CodePage, L"\u30C6\u30B9"},
        {"UTF-8 mark", "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n", 1252, ProfileEncoding::Utf8Marked, L"\u00E9"},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0[\0A\0]\0\n\0k\0=\0\xE9", 16), 1252, ProfileEncoding::Utf16Be, L"\u00E9"},
    };
    for (const auto& c : cases) {
        ProfileScan scan = ScanProfile(c.bytes, c.codePage);
        EXPECT_EQ(scan.encoding, c.encoding) << c.name;
        const ProfileKey* key = FindProfileKey(scan, L"A", L"k");
        ASSERT_NE(key, nullptr) << c.name;
        EXPECT_EQ(key->value, c.value) << c.name;
    }
    // Written back in the same code page, undefined bytes as they were.
    std::string written = WriteProfileText("[A]\r\nk=\x80\x81\r\n", L"A", L"j", L"\u00E9\u20AC");
    EXPECT_EQ(written, "[A]\r\nk=\x80\x81\r\nj=\xE9\x80\r\n");
}

}  // namespace
}  // namespace trelvo
