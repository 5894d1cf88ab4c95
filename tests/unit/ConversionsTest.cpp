#include <gtest/gtest.h>

#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "window/frmSplash.h"

namespace trelvo {
namespace {

TEST(BooleanText, Table)
{
    const struct {
        const wchar_t* text;
        std::optional<bool> expected;
    } cases[] = {
        {L"True", true},   {L"TRUE", true},   {L"tRuE", true},  {L"False", false}, {L"false", false},
        {L"0", false},     {L"-0", false},    {L"000", false},  {L"1", true},      {L"-1", true},
        {L"+7", true},     {L" True ", true}, {L"99999999999999999999", true},
        {L"", std::nullopt},      {L"yes", std::nullopt}, {L"1.5", std::nullopt}, {L"-", std::nullopt},
        {L"Tru", std::nullopt},   {L"1 2", std::nullopt}, {L"&H1", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseBooleanText(c.text), c.expected) << '"' << c.text << '"';
}

TEST(NumberText, Table)
{
    const struct {
        const wchar_t* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {L"0", 0},
        {L"7020335", 7020335},
        {L"-12", -12},
        {L" 42 ", 42},
        {L"&H6B1F2F", 0x6B1F2F},
        {L"&h6b1f2f", 0x6B1F2F},
        {L"&HFF0000", 0xFF0000},
        {L"&H0000100", 0x100},
        {L"&HFFFFFFFF", -1},
        {L"&H0000000001", 1},
        {L"12.5", 13},
        {L"12.4", 12},
        {L"-2.5", -3},
        {L".5", 1},
        {L"2147483647", 2147483647},
        {L"-2147483648", INT32_MIN},
        {L"False", 0},
        {L"TRUE", -1},
        {L"2147483648", std::nullopt},
        {L"&H100000000", std::nullopt},
        {L"&H", std::nullopt},
        {L"&HXYZ", std::nullopt},
        {L"", std::nullopt},
        {L"red", std::nullopt},
        {L"1e3", std::nullopt},
        {L"0.49999999999999999", 0},
        {L"2147483647.4999999999", 2147483647},
        {L"2147483647.5", std::nullopt},
        {L"99999999999999999999", std::nullopt},
        {L".", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.expected) << '"' << c.text << '"';
}

TEST(HexDigits, Table)
{
    EXPECT_EQ(ToHexDigits(0), L"0");
    EXPECT_EQ(ToHexDigits(255), L"FF");
    EXPECT_EQ(ToHexDigits(256), L"100");
    EXPECT_EQ(ToHexDigits(-1), L"FFFFFFFF");
}

TEST(DecimalDigits, Table)
{
    EXPECT_EQ(ToDecimalDigits(0), L"0");
    EXPECT_EQ(ToDecimalDigits(740), L"740");
    EXPECT_EQ(ToDecimalDigits(-12), L"-12");
    EXPECT_EQ(ToDecimalDigits(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(ToDecimalDigits(4294967295), L"4294967295");
}

TEST(LowerCase, Table)
{
    const struct {
        const char* name;
        std::wstring text, expected;
    } cases[] = {
        {"ASCII", L"Setup.EXE /Lang=DE", L"setup.exe /lang=de"},
        {"Latin-1, multiplication sign kept", L"\u00C9\u00D7\u00DE", L"\u00E9\u00D7\u00FE"},
        {"Latin Extended-A", L"\u0100\u0139\u014A\u0178\u017D", L"\u0101\u013A\u014B\u00FF\u017E"},
        {"Greek, Cyrillic", L"\u0394\u0418\u0401", L"\u03B4\u0438\u0451"},
        {"Latin Extended-B", L"\u0181\u01CD\u0222\u023A\u0246", L"\u0253\u01CE\u0223\u2C65\u0247"},
        {"Vietnamese", L"TI\u1EBENG VI\u1EC6T \u1EA0\u1EF8", L"ti\u1EBFng vi\u1EC7t \u1EA1\u1EF9"},
        {"Armenian", L"\u0540\u0531\u0545\u0535\u0550\u0535\u0546", L"\u0570\u0561\u0575\u0565\u0580\u0565\u0576"},
        {"Georgian Asomtavruli and Mtavruli", L"\u10A0\u10C5\u1C90\u1CBF", L"\u2D00\u2D25\u10D0\u10FF"},
        {"fullwidth letters", L"\uFF33\uFF25\uFF34\uFF35\uFF30", L"\uFF53\uFF45\uFF54\uFF55\uFF50"},
        {"Cyrillic from U+0460", L"\u0460\u048A\u04C0\u04D0\u0524\uA640", L"\u0461\u048B\u04CF\u04D1\u0525\uA641"},
        {"Greek with marks, Coptic, Glagolitic", L"\u0386\u03E2\u2C80\u2C00", L"\u03AC\u03E3\u2C81\u2C30"},
        // No round trip through the upper case: the system keeps these.
        {"capital I with dot kept", L"\u0130", L"\u0130"},
        {"title-case digraphs kept", L"\u01C5\u01C8\u01CB\u01F2", L"\u01C5\u01C8\u01CB\u01F2"},
        {"capital digraphs lowered", L"\u01C4\u01C7\u01CA\u01F1", L"\u01C6\u01C9\u01CC\u01F3"},
        {"theta symbol, sharp s, Ohm, Kelvin, Angstrom kept", L"\u03F4\u1E9E\u2126\u212A\u212B",
         L"\u03F4\u1E9E\u2126\u212A\u212B"},
        {"Deseret pair", L"\xD801\xDC00x", L"\xD801\xDC28x"},
        {"Adlam pair", L"\xD83A\xDD00", L"\xD83A\xDD22"},
        {"lone surrogates kept", L"\xDC00A\xD801", L"\xDC00a\xD801"},
        {"Roman numeral lowered; ideographs, digits kept", L"\u65E5\u672C 123 \u2160", L"\u65E5\u672C 123 \u2170"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToLowerCase(c.text), c.expected) << c.name;
        EXPECT_EQ(ToLowerCase(c.expected), c.expected) << c.name << ": lower case stays";
    }
}

TEST(SplitText, KeepsEmptyParts)
{
    EXPECT_EQ(SplitText(L"a,,b", L','), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(SplitText(L"", L','), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(SplitText(L",", L','), (std::vector<std::wstring>{L"", L""}));
}

TEST(RgbToHexColor, Table)
{
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"47,31,107", L"&H6B1F2F"},
        {L"255,128,0", L"&H0080FF"},
        {L"0,0,0", L"&H000000"},
        {L"255,255,255", L"&HFFFFFF"},
        {L"10, 20, 30", L"&H1E140A"},
        {L"256,0,0", L"&H0000100"},
        {L"1,2,3,4,5", L"&H030201"},
        {L"12.5,0,0", L"&H00000D"},
        {L"&HFF0000", L"&HFF0000"},
        {L"7020335", L"7020335"},
        {L"False", L"False"},
    };
    for (const auto& c : cases) EXPECT_EQ(frmSplash::RgbToHexColor(c.text), c.expected) << c.text;
}

TEST(RgbToHexColor, FailuresNameTheText)
{
    for (const wchar_t* text : {L"1,2", L",", L"red,0,0", L"1,,3", L"-1,0,0"}) {
        try {
            frmSplash::RgbToHexColor(text);
            ADD_FAILURE() << "no failure for " << text;
        } catch (const UncheckedFailure& failure) {
            EXPECT_NE(failure.Message().find(text), std::wstring::npos) << text;
        }
    }
}

TEST(CommandLine, SplitsLikeProcessStart)
{
    const struct {
        const wchar_t* line;
        const wchar_t* program;
        const wchar_t* parameters;
    } cases[] = {
        {L"setup.exe", L"setup.exe", L""},
        {L"setup.exe /s /v", L"setup.exe", L"/s /v"},
        {L"  setup.exe\t /s", L"setup.exe", L"/s"},
        {L"\"c:\\program files\\x.exe\" /q", L"c:\\program files\\x.exe", L"/q"},
        {L"\"unclosed path", L"unclosed path", L""},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        CommandParts parts = SplitCommandLine(c.line);
        EXPECT_EQ(parts.program, c.program) << c.line;
        EXPECT_EQ(parts.parameters, c.parameters) << c.line;
    }
}

}  // namespace
}  // namespace trelvo
