#include "media/MediaCases.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "config/Utf8.h"
#include "media/Medium.h"
#include "windows/SampleImages.h"

namespace trelvo::testing {
namespace {

using media::Severity;
constexpr Severity E = Severity::Error, W = Severity::Warning, N = Severity::Note;

void Put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}

// Little-endian UTF-16 bytes of the text (a leading U+FEFF is the mark).
std::string Utf16(std::wstring_view text)
{
    std::string out;
    for (wchar_t c : text) {
        out += char(c & 0xFF);
        out += char((c >> 8) & 0xFF);
    }
    return out;
}

const char* SeverityName(Severity s) { return s == E ? "error" : s == W ? "warning" : "note"; }

std::string Dialog(const std::string& more = "") { return "[DIALOG]\r\nShow=True\r\nCaption=Product Setup\r\nBackColor=47,31,107\r\nPicture=splash.bmp\r\n" + more; }
std::string Button(int n, const std::string& show, const std::string& caption, const std::string& action)
{
    return "[BUTTON" + std::to_string(n) + "]\r\nShow=" + show + "\r\nCaption=" + caption + "\r\nAction=" + action + "\r\n";
}

}  // namespace

std::string Bmp(int width, int height)
{
    int stride = (width * 3 + 3) & ~3;
    std::string out = "BM";
    Put32(out, std::uint32_t(54 + stride * height));
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    out += std::string("\x01\x00\x18\x00", 4);
    Put32(out, 0);
    Put32(out, std::uint32_t(stride * height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    out.append(size_t(stride) * size_t(height), '\x40');
    return out;
}

std::string SampleIco() { return std::string(reinterpret_cast<const char*>(green16_ico), green16_ico_len); }
std::string SampleJpeg() { return std::string(reinterpret_cast<const char*>(red_jpg), red_jpg_len); }

const std::vector<MediaCase>& MediaCases()
{
    const std::string picture = Bmp(481, 297);
    static const std::vector<MediaCase> cases = {
        {.name = "a sound medium",
         .files = {{L"setup.ini", Dialog("Icon=product.ico\r\n") + Button(1, "True", "&Install", "setup.exe /s") +
                                      Button(2, "True", "E&xit", "exit")},
                   {L"splash.bmp", picture}, {L"product.ico", SampleIco()}, {L"setup.exe", "MZ"}},
         .mustNot = {"backcolor-invalid", "picture-size", "icon-missing", "icon-unreadable", "action-program-missing",
                     "no-buttons", "caption-false", "button-slots", "ini-encoding", "unknown-key"},
         .mode = "dialog", .exitCode = 0, .caption = L"Product Setup",
         .buttons = {{L"setup.exe /s", 2910}, {L"exit", 5790}}, .checkButtons = true,
         .picture = std::pair(481, 297)},
        {.name = "no INI",
         .files = {{L"setup.exe", "MZ"}},
         .must = {{"ini-missing", E, std::nullopt}},
         .mode = "null", .exitCode = 1, .stopText = L"setup.ini doesn't exist. INI filename must be the same as EXE filename."},
        {.name = "INI is a folder",
         .files = {{L"setup.exe", "MZ"}}, .folders = {L"setup.ini"},
         .must = {{"ini-missing", E, std::nullopt}}, .mode = "null", .exitCode = 1},
        {.name = "launcher found by its INI, INI in another letter case",
         .files = {{L"Install.EXE", "MZ"}, {L"readme.exe", "MZ"}, {L"INSTALL.INI", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n"}},
         .exe = std::nullopt, .mustNot = {"ini-missing"}, .mode = "silent", .start = L"exit", .exitCode = 0},
        {.name = "silent mode, default action lower-cased",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=False\r\nDefaultAction=Setup.exe /Lang=DE\r\n"}, {L"setup.exe", "MZ"}},
         .must = {{"action-case", W, 3}},
         .mustNot = {"action-program-missing", "action-false", "no-buttons"},
         .mode = "silent", .start = L"setup.exe /lang=de", .exitCode = 0},
        {.name = "silent mode without DefaultAction",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=0\r\nCaption=Nothing\r\n[BUTTON2]\r\nShow=1\r\n"}},
         .must = {{"action-false", E, 1}, {"silent-mode-unread", N, 2}}, .mode = "silent", .start = L"false"},
        {.name = "empty INI starts false",
         .files = {{L"setup.ini", ""}},
         .must = {{"action-false", E, std::nullopt}}, .mode = "silent", .start = L"false"},
        {.name = "Show not boolean in DIALOG",
         .files = {{L"setup.ini", "[DIALOG]\r\n\r\nShow=Maybe\r\n"}},
         .must = {{"show-not-boolean", E, 3}}, .mode = "null", .exitCode = 3, .stopText = L"holds \"Maybe\", which is not a boolean"},
        {.name = "Show not boolean in a button, bad colour, missing picture: all at once",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=1\r\nBackColor=47,31\r\nPicture=splsh.bmp\r\nDefaultAction=x\r\n" +
                                      Button(1, "True", "One", "exit") + Button(2, "Yes", "Two", "exit")},
                   {L"splash.bmp", picture}},
         .must = {{"backcolor-invalid", E, 3}, {"picture-missing", E, 4}, {"default-action-unread", N, 5},
                  {"show-not-boolean", E, 11}, {"caption-false", W, 1}},
         .mode = "dialog", .exitCode = 3, .stopText = L"section [BUTTON2]"},
        {.name = "colour forms",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=1\r\nBackColor=&H6B1F2F\r\nPicture=splash.bmp\r\nCaption=C\r\n"}, {L"splash.bmp", picture}},
         .must = {{"no-buttons", W, 2}}, .mustNot = {"backcolor-invalid", "default-action-unread"}, .mode = "dialog", .exitCode = 0},
        {.name = "picture is a folder",
         .files = {{L"setup.ini", Dialog()}}, .folders = {L"splash.bmp"},
         .must = {{"picture-missing", E, 5}}, .exitCode = 2, .stopText = L"Couldn't find splash screen picture - splash.bmp"},
        {.name = "picture that is not an image, and an empty icon",
         .files = {{L"setup.ini", Dialog("Icon=empty.ico\r\n")}, {L"splash.bmp", "this is text"}, {L"empty.ico", ""}},
         .must = {{"picture-unreadable", E, 5}, {"icon-unreadable", E, 6}},
         .exitCode = 3, .stopText = L"Couldn't load the picture splash.bmp"},
        {.name = "truncated BMP and an oversized GIF",
         .files = {{L"setup.ini", Dialog("Icon=huge.gif\r\n")}, {L"splash.bmp", Bmp(481, 297).substr(0, 4000)},
                   {L"huge.gif", std::string("GIF89a\x00\x50\x00\x50", 10) + std::string(40, '\0')}},
         .must = {{"picture-unreadable", E, 5}, {"icon-unreadable", E, 6}},
         .exitCode = 3, .stopText = L"shorter than its pixels"},
        {.name = "picture sizes: wide and tall, JPEG picture",
         .files = {{L"setup.ini", Dialog() + Button(1, "1", "Go", "exit")}, {L"splash.bmp", Bmp(500, 320)}},
         .must = {{"picture-size", W, 5}}, .mode = "dialog", .picture = std::pair(500, 320)},
        {.name = "JPEG picture, small",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=1\r\nCaption=C\r\nPicture=art\\Splash.JPG\r\n" + Button(1, "1", "Go", "exit")},
                   {L"art/splash.jpg", SampleJpeg()}},
         .must = {{"picture-size", W, 4}}, .mustNot = {"picture-missing", "picture-unreadable"},
         .picture = std::pair(4, 4)},
        {.name = "icon missing keeps the built-in icon",
         .files = {{L"setup.ini", Dialog("Icon=product.ico\r\n") + Button(1, "1", "Go", "exit")}, {L"splash.bmp", picture}},
         .must = {{"icon-missing", W, 6}}, .mode = "dialog", .exitCode = 0},
        {.name = "button slots, no caption, action False",
         .files = {{L"setup.ini", Dialog() + Button(2, "1", "Two", "exit") + "[BUTTON4]\r\nShow=1\r\nAction=\r\n"},
                   {L"splash.bmp", picture}},
         .must = {{"button-slots", N, 7}, {"button-slots", N, 11}, {"caption-false", W, 10}, {"action-false", E, 12}},
         .mode = "dialog", .exitCode = 0, .buttons = {{L"exit", 2910}, {L"false", 5790}}, .checkButtons = true},
        {.name = "unknown sections and keys, near misses, duplicates",
         .files = {{L"setup.ini", Dialog("Captoin=X\r\nColour=1\r\n") + "[BUTTON6]\r\nShow=1\r\n[BUTTON02]\r\n" +
                                      Button(1, "1", "One", "exit") + "Acton=x\r\nCaption=Again\r\n[DIALOG]\r\nShow=0\r\n"},
                   {L"splash.bmp", picture}},
         .must = {{"unknown-key", W, 6}, {"unknown-key", W, 7}, {"unknown-section", W, 8}, {"unknown-section", W, 10},
                  {"unknown-key", W, 15}, {"duplicate-key", W, 16}, {"duplicate-section", W, 17}},
         .mode = "dialog"},
        {.name = "a value longer than 254 characters",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=1\r\nPicture=splash.bmp\r\nCaption=\"" + std::string(300, 'c') + "\"\r\n"},
                   {L"splash.bmp", picture}},
         .must = {{"value-truncated", W, 4}}, .caption = std::wstring(254, L'c')},
        {.name = "program not on the medium; system programs are",
         .files = {{L"setup.ini", Dialog() + Button(1, "1", "A", "notepad.exe readme.txt") + Button(2, "1", "B", "MsiExec /i x.msi") +
                                      Button(3, "1", "C", "tools\\helper /q") + Button(4, "1", "D", "\"my tool.exe\"")},
                   {L"splash.bmp", picture}, {L"Tools/Helper.exe", "MZ"}},
         .must = {{"action-program-missing", W, 21}}, .mode = "dialog"},
        {.name = "URLs, folders and documents are opened by the shell",
         .files = {{L"setup.ini", Dialog() + Button(1, "1", "A", "https://example.com/Setup") + Button(2, "1", "B", "Docs") +
                                      Button(3, "1", "C", "readme.txt") + Button(4, "1", "D", "missing.pdf")},
                   {L"splash.bmp", picture}, {L"docs/index.html", "<p>"}, {L"README.TXT", "read me"}},
         .must = {{"action-case", W, 9}, {"action-program-missing", W, 21}}, .mode = "dialog",
         .buttons = {{L"https://example.com/setup", 30}, {L"docs", 1950}, {L"readme.txt", 3870}, {L"missing.pdf", 5790}},
         .checkButtons = true},
        {.name = "a NUL in a value: the system reads up to it",
         .files = {{L"setup.ini", std::string("[DIALOG]\r\nShow=0\r\nDefaultAction=setup.exe /a\0/b\r\n", 49)}, {L"setup.exe", "MZ"}},
         .mode = "silent", .start = L"setup.exe /a"},
        {.name = "pictures named outside the medium are assumed, not read",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=1\r\nCaption=Out\r\nPicture=D:\\art\\splash.bmp\r\nIcon=..\\product.ico\r\n" +
                                      Button(1, "1", "Go", "exit")}},
         .must = {{"picture-outside", W, 4}, {"icon-outside", W, 5}}, .mustNot = {"picture-missing", "icon-missing"},
         .mode = "dialog", .exitCode = 0, .caption = L"Out"},
        {.name = "UTF-8 without a mark is read as UTF-8",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\nCaption=D\xC3\xA9j\xC3\xA0 Vu\r\n"}},
         .must = {{"ini-encoding", N, 4}}, .mode = "silent", .start = L"exit"},
        {.name = "UTF-8 but for one byte falls back to the code page",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\nCaption=D\xC3\xA9j\xC3\xA0 Vu\r\n; \xE9t\xE9\r\n"}},
         .must = {{"ini-encoding", W, 5}}, .mode = "silent", .start = L"exit"},
        {.name = "Windows-1252 text is a note",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\nCaption=D\xE9j\xE0 Vu\r\n"}},
         .must = {{"ini-encoding", N, 4}}, .mode = "silent"},
        {.name = "UTF-16 with its mark is a note on the line of the text",
         .files = {{L"setup.ini", Utf16(L"\uFEFF[DIALOG]\nShow=0\nCaption=\u043A\nDefaultAction=x")}},
         .must = {{"ini-encoding", N, 3}}, .mode = "silent", .start = L"x"},
        {.name = "UTF-16 without its mark finds no section",
         .files = {{L"setup.ini", Utf16(L"[DIALOG]\nShow=1\n")}},
         .must = {{"ini-encoding", W, std::nullopt}, {"action-false", E, std::nullopt}}, .mode = "silent", .start = L"false"},
        {.name = "UTF-8 mark on ASCII text says nothing",
         .files = {{L"setup.ini", "\xEF\xBB\xBF[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n"}},
         .mustNot = {"ini-encoding"}, .mode = "silent", .start = L"exit"},
        {.name = "autorun.inf names another program, and a folder path",
         .files = {{L"setup.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n"}, {L"setup.exe", "MZ"},
                   {L"autorun.inf", "[autorun]\r\nicon=setup.exe\r\nopen=install.exe /x\r\n"}},
         .must = {{"autorun-open", W, 3}}},
        {.name = "autorun.inf chooses the launcher",
         .files = {{L"start.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n"}, {L"start.exe", "MZ"}, {L"other.exe", "MZ"},
                   {L"other.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n"},
                   {L"AUTORUN.INF", "[AutoRun]\r\nOpen=Start.exe\r\n"}},
         .exe = std::nullopt, .mustNot = {"autorun-open", "ini-missing"}, .mode = "silent", .start = L"exit"},
    };
    return cases;
}

std::vector<std::string> RunMediaCase(const MediaCase& c)
{
    namespace fs = std::filesystem;
    std::vector<std::string> failures;
    fs::path root = fs::temp_directory_path() / ("trelvo-media-case-" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    for (const auto& folder : c.folders) fs::create_directories(root / media::PathFromText(folder));
    for (const auto& [name, bytes] : c.files) {
        fs::path path = root / media::PathFromText(name);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    media::CheckOptions options;
    options.medium = root;
    options.mediumText = media::TextFromPath(root);
    options.exe = c.exe;
    options.codePage = c.codePage;
    media::CheckOutcome outcome = media::CheckMedium(options);
    std::error_code ignored;
    fs::remove_all(root, ignored);

    auto fail = [&](std::string text) { failures.push_back(std::string(c.name) + ": " + text); };
    if (!outcome.report) {
        fail("usage error: " + ToUtf8(outcome.usageError));
        return failures;
    }
    const media::CheckReport& report = *outcome.report;
    std::string found;
    for (const auto& f : report.findings)
        found += " " + f.code + "/" + SeverityName(f.severity) + "@" + (f.line ? std::to_string(*f.line) : "-");
    for (const Expected& e : c.must) {
        bool there = std::any_of(report.findings.begin(), report.findings.end(), [&](const media::Finding& f) {
            return f.code == e.code && f.severity == e.severity && f.line == e.line;
        });
        if (!there)
            fail(std::string("missing ") + e.code + "/" + SeverityName(e.severity) + "@" +
                 (e.line ? std::to_string(*e.line) : "-") + "; found:" + found);
    }
    for (const char* code : c.mustNot)
        for (const auto& f : report.findings)
            if (f.code == code) fail("unexpected " + f.code + ": " + ToUtf8(f.message));
    const media::DryRun& run = report.run;
    if (c.mode && run.mode.value_or("null") != *c.mode) fail("mode " + run.mode.value_or("null") + ", expected " + *c.mode);
    if (c.start && run.start != c.start) fail("start \"" + ToUtf8(run.start.value_or(L"(none)")) + "\"");
    if (c.exitCode) {
        int code = run.stop ? run.stop->exitCode : 0;
        if (code != *c.exitCode) fail("stop exit code " + std::to_string(code));
        if (run.stop && run.window) fail("a window although the launcher stops");
    }
    if (c.stopText && (!run.stop || run.stop->text.find(*c.stopText) == std::wstring::npos))
        fail("stop text \"" + (run.stop ? ToUtf8(run.stop->text) : std::string("(none)")) + "\"");
    if (c.caption && (!run.window || run.window->caption != *c.caption)) fail("caption differs");
    if (c.picture && (!run.window || !run.window->picture ||
                      std::pair(run.window->picture->width, run.window->picture->height) != *c.picture))
        fail("picture size differs");
    if (c.checkButtons) {
        std::vector<std::pair<std::wstring, int>> buttons;
        if (run.window)
            for (const auto& b : run.window->buttons) buttons.emplace_back(b.action, b.leftTwips);
        if (buttons != c.buttons) fail("buttons differ");
    }
    return failures;
}

}  // namespace trelvo::testing
