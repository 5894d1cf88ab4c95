// Profile-reading cases checked against both our own reader (native unit
// tests) and the system's GetPrivateProfileStringW (Windows test under Wine),
// so the two cannot drift apart. Reads use a 256-character buffer offered as
// 255, as the launcher does.
#pragma once

#include <string>

namespace trelvo::testing {

struct ProfileCase {
    const char* name;
    const char* ini;  // file bytes; nullptr: the file does not exist
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
    {"300 characters cut to 254", nullptr, L"A", L"k", std::wstring(254, L'x')},
    {"file absent", nullptr, L"A", L"k", L""},
};

// The 300-character case builds its bytes at run time.
inline std::string CaseBytes(const ProfileCase& c)
{
    if (std::string(c.name) == "300 characters cut to 254") return "[A]\r\nk=" + Repeat('x', 300) + "\r\n";
    return c.ini ? c.ini : "";
}

inline bool CaseFileExists(const ProfileCase& c)
{
    return c.ini != nullptr || std::string(c.name) == "300 characters cut to 254";
}

}  // namespace trelvo::testing
