// Profile-reading cases checked against both our own reader (native unit
// tests) and the system's GetPrivateProfileStringW (Windows test under Wine),
// so the two cannot drift apart. Reads use a 256-character buffer offered as
// 255, as the launcher does.
#pragma once

#include <string>
#include <string_view>

namespace trelvo::testing {

using namespace std::string_view_literals;

struct ProfileCase {
    const char* name;
    std::string_view ini;  // file bytes; no data at all: the file does not exist
    const wchar_t* section;
    const wchar_t* key;
    std::wstring expected;
};

inline std::string Repeat(char c, size_t n) { return std::string(n, c); }

inline const ProfileCase kProfileCases[] = {
    {"names in lower case", "[dialog]\r\nshow=True\r\n", L"DIALOG", L"Show", L"True"},
    {"names in mixed case", "[DiAlOg]\r\nSHOW=1\r\n", L"DIALOG", L"Show", L"1"},
    {"blanks around value", "[A]\r\nk =   spaced value   \r\n", L"A", L"k", L"spaced value"},
    {"blanks around key", "[A]\r\n   k   = v\r\n", L"A", L"K", L"v"},
    {"double quotes removed", "[A]\r\nk=\"Product Setup\"\r\n", L"A", L"k", L"Product Setup"},
    {"single quotes removed", "[A]\r\nk='Product Setup'\r\n", L"A", L"k", L"Product Setup"},
    {"quotes keep inner blanks", "[A]\r\nk=\" exit \"\r\n", L"A", L"k", L" exit "},
    {"one pair only", "[A]\r\nk=\"\"x\"\"\r\n", L"A", L"k", L"\"x\""},
    {"mismatched quotes kept", "[A]\r\nk=\"abc'\r\n", L"A", L"k", L"\"abc'"},
    {"equals sign in value", "[A]\r\nk=a=b\r\n", L"A", L"k", L"a=b"},
    {"empty value", "[A]\r\nk=\r\n", L"A", L"k", L""},
    {"absent key", "[A]\r\nother=1\r\n", L"A", L"k", L""},
    {"absent section", "[B]\r\nk=1\r\n", L"A", L"k", L""},
    {"blanks inside the brackets", "[ A ]\r\nk=inner\r\n", L"A", L"k", L"inner"},
    {"key of another section", "[A]\r\n[B]\r\nk=1\r\n", L"A", L"k", L""},
    {"LF line ends", "[A]\nx=1\nk=lf\n", L"A", L"k", L"lf"},
    {"no line end at the end", "[A]\r\nk=last", L"A", L"k", L"last"},
    {"first of a repeated key", "[A]\r\nk=first\r\nk=second\r\n", L"A", L"k", L"first"},
    {"300 characters cut to 254", {}, L"A", L"k", std::wstring(254, L'x')},
    {"file absent", {}, L"A", L"k", L""},
    // Encodings: UTF-8 with its mark or, without one, when the bytes outside
    // ASCII are well-formed UTF-8 throughout; UTF-16 after its mark; any other
    // file in the code page (Windows-1252 here, and under Wine's default).
    {"UTF-8 with its mark", "\xEF\xBB\xBF[DIALOG]\r\nCaption=D\xC3\xA9j\xC3\xA0 Vu \xE2\x80\x93 Setup\r\n", L"DIALOG",
     L"Caption", L"D\u00E9j\u00E0 Vu \u2013 Setup"},
    {"UTF-8 mark before the first section", "\xEF\xBB\xBF[DIALOG]\r\nShow=True\r\n", L"DIALOG", L"Show", L"True"},
    {"UTF-8 without a mark", "[DIALOG]\r\nCaption=D\xC3\xA9j\xC3\xA0 Vu \xE2\x80\x93 Setup\r\n", L"DIALOG",
     L"Caption", L"D\u00E9j\u00E0 Vu \u2013 Setup"},
    {"UTF-8 outside the first plane", "[A]\r\nk=\xF0\x90\x90\x80 \xE6\x97\xA5\r\n", L"A", L"k",
     L"\xD801\xDC00 \u65E5"},
    {"UTF-8 in another section", "[A]\r\nk=plain\r\n[B]\r\nk=\xC3\xA9\r\n", L"A", L"k", L"plain"},
    {"Windows-1252, not UTF-8", "[DIALOG]\r\nCaption=D\xE9j\xE0 Vu \x96 Setup\r\n", L"DIALOG", L"Caption",
     L"D\u00E9j\u00E0 Vu \u2013 Setup"},
    {"one byte that is not UTF-8 makes the file Windows-1252", "[A]\r\nk=\xC3\xA9\r\nz=\xE9\r\n", L"A", L"k",
     L"\u00C3\u00A9"},
    {"overlong form is not UTF-8", "[A]\r\nk=\xC0\xAF\r\n", L"A", L"k", L"\u00C0\u00AF"},
    {"encoded surrogate is not UTF-8", "[A]\r\nk=\xED\xA0\x80\r\n", L"A", L"k", L"\u00ED\u00A0\u20AC"},
    {"cut sequence at the end is not UTF-8", "[A]\r\nk=\xC3\xA9\xE2\x82", L"A", L"k", L"\u00C3\u00A9\u00E2\u201A"},
    {"UTF-16 with its mark", "\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xE9\0\x3A\x04\r\0\n\0"sv, L"A", L"k", L"\u00E9\u043A"},
};

// The 300-character case builds its bytes at run time.
inline std::string CaseBytes(const ProfileCase& c)
{
    if (std::string(c.name) == "300 characters cut to 254") return "[A]\r\nk=" + Repeat('x', 300) + "\r\n";
    return std::string(c.ini);
}

inline bool CaseFileExists(const ProfileCase& c)
{
    return c.ini.data() != nullptr || std::string(c.name) == "300 characters cut to 254";
}

}  // namespace trelvo::testing
