// Hostile media: trelvo.exe against damaged, oversized and odd media, run
// under Wine (or Windows) and watched from outside like the end-to-end tests.
//
//   hostile_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--table PATH]
//
// The cases below are run by the harness (tests/harness/Runner.h), which
// checks for every case that the launcher ends by itself without a crash,
// shows exactly the expected message boxes, starts exactly the commands the
// INI names and writes nothing.
//
// --table PATH writes the outcome of every case as a Markdown table (the
// committed copy is docs/hostile-media.md; see tests/hostile/make-table).
//
// Prints one line per failed check and finally "N passed, N failed".
// Exit code 0 only when no check failed.
#include "harness/Export.h"
#include "harness/Runner.h"

namespace {

using namespace harness;
using namespace std::string_literals;

// ---------------------------------------------------------------------------
// The cases

// INI text written with CR LF line ends.
std::string Ini(const std::string& text) { return IniBytes(text); }

// The [DIALOG] section of a shown window, CR LF line ends.
std::string Window(const std::string& more, const char* picture = "splash.bmp")
{
    return Ini(std::string("[DIALOG]\nShow=True\nBackColor=47,31,107\nPicture=") + picture + "\n" + more);
}

std::string Silent(const std::string& action)
{
    return Ini("[DIALOG]\nShow=False\nDefaultAction=" + action + "\n");
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return text;
}

const std::string kOneButton = "[BUTTON1]\nShow=True\nCaption=One\nAction=Probe.exe /One\n";

std::vector<Case> IniTextCases()
{
    std::string fiveMegabytes = "[FILLER]\n";
    for (int k = 0; fiveMegabytes.size() < 5 * 1024 * 1024; ++k)
        fiveMegabytes += "Line" + std::to_string(k) + "=filler text to make the file five megabytes long\n";
    std::string twoThousand;
    for (int k = 1; k <= 2000; ++k) twoThousand += "[Section" + std::to_string(k) + "]\nKey=Value\n";
    std::string digits;
    while (digits.size() < 255) digits += "0123456789";
    std::string caption254 = digits.substr(0, 254), caption255 = digits.substr(0, 255);

    return {
        {.name = L"random bytes",
         .about = L"64 KiB of random bytes (fixed seed) as the INI: no section, silent mode tries `false`",
         .ini = RandomBytes(64 * 1024, 20240611u),
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"false", L"{notfound}"}}}},
        {.name = L"5 MB INI",
         .about = L"5 MB of keys before [DIALOG]: the section after them is found",
         .ini = Ini(fiveMegabytes + "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /After-Five-Megabytes\n"),
         .started = {"probe.exe /after-five-megabytes"}},
        {.name = L"NUL bytes",
         .about = L"NUL bytes on a line of their own and inside a value: the value ends at the NUL",
         .ini = "\0\0junk\0\r\n[DIALOG]\r\nShow=False\r\nDefaultAction=Probe.exe /Before-Nul\0/After-Nul\r\n"s,
         .started = {"probe.exe /before-nul"}},
        {.name = L"1 MB line",
         .about = L"a line of 1 MB between two keys: the key after it is read",
         .ini = Ini("[DIALOG]\nShow=False\nJunk=" + std::string(1024 * 1024, 'x') +
                    "\nDefaultAction=Probe.exe /After-Long-Line\n"),
         .started = {"probe.exe /after-long-line"}},
        {.name = L"UTF-8 byte-order mark",
         .about = L"a UTF-8 byte-order mark right before [DIALOG]: the section is still found",
         .ini = "\xEF\xBB\xBF" + Silent("Probe.exe /Utf8-Bom"),
         .started = {"probe.exe /utf8-bom"}},
        {.name = L"UTF-16 with byte-order mark",
         .about = L"a UTF-16 INI: Greek, Cyrillic and CJK caption, button and action arrive intact",
         .ini = Utf16Ini(L"[DIALOG]\nShow=True\nBackColor=47,31,107\nPicture=splash.bmp\n"
                         L"Caption=Установка Σετ 安装\n[BUTTON1]\nShow=True\nCaption=Ελληνικά\n"
                         L"Action=Probe.exe /UTF16-ΣΕΤ-Ж\n"),
         .files = {SplashBmp()},
         .started = {"probe.exe /utf16-σετ-ж"},
         .splash = Splash{.title = L"Установка Σετ 安装",
                          .captions = {L"Ελληνικά"},
                          .pixels = AroundPicture(kBack),
                          .step = Step::Click}},
        {.name = L"2,000 sections",
         .about = L"2,000 sections before [DIALOG]: the section after them is found",
         .ini = Ini(twoThousand + "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /After-2000-Sections\n"),
         .started = {"probe.exe /after-2000-sections"}},
        {.name = L"key repeated",
         .about = L"DefaultAction given twice: the first one counts",
         .ini = Ini("[DIALOG]\nShow=False\nDefaultAction=Probe.exe /First\nDefaultAction=Probe.exe /Second\n"),
         .started = {"probe.exe /first"}},
        {.name = L"section repeated",
         .about = L"a second [DIALOG] section: only the first is read, its missing DefaultAction is `false`",
         .ini = Ini("[DIALOG]\nShow=False\n[DIALOG]\nDefaultAction=Probe.exe /Second-Section\n"),
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"false", L"{notfound}"}}}},
        {.name = L"CR line ends",
         .about = L"lines ended by CR alone are still lines",
         .ini = "[DIALOG]\rShow=False\rDefaultAction=Probe.exe /Cr-Only\r",
         .started = {"probe.exe /cr-only"}},
        {.name = L"LF line ends",
         .about = L"lines ended by LF alone are still lines",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Lf-Only\n",
         .started = {"probe.exe /lf-only"}},
        {.name = L"caption of 254 characters",
         .about = L"a Caption of exactly 254 characters: the title shows all of it",
         .ini = Window("Caption=" + caption254 + "\n"),
         .files = {SplashBmp()},
         .splash = Splash{.title = Wide(caption254)}},
        {.name = L"caption of 255 characters",
         .about = L"a Caption of 255 characters: the title shows the first 254",
         .ini = Window("Caption=" + caption255 + "\n"),
         .files = {SplashBmp()},
         .splash = Splash{.title = Wide(caption254)}},
        {.name = L"[BUTTON01]",
         .about = L"[BUTTON01] is not [BUTTON1]: skipped, [BUTTON2] fills the first slot",
         .ini = Window("Caption=Zero One\n[BUTTON01]\nShow=True\nCaption=Zero-One\nAction=Probe.exe /Zero-One\n"
                       "[BUTTON2]\nShow=True\nCaption=Two\nAction=Probe.exe /Two\n"),
         .files = {SplashBmp()},
         .started = {"probe.exe /two"},
         .splash = Splash{.title = L"Zero One", .captions = {L"Two"}, .step = Step::Click}},
        {.name = L"[ BUTTON1 ]",
         .about = L"blanks inside the brackets are dropped: `[ BUTTON1 ]` is [BUTTON1]",
         .ini = Window("Caption=Blanks\n[ BUTTON1 ]\nShow=True\nCaption=Spaced\nAction=Probe.exe /Spaced\n"
                       "[BUTTON2]\nShow=True\nCaption=Two\nAction=Probe.exe /Two\n"),
         .files = {SplashBmp()},
         .started = {"probe.exe /spaced"},
         .splash = Splash{.title = L"Blanks", .captions = {L"Spaced", L"Two"}, .step = Step::Click}},
        {.name = L"[BUTTON1 without bracket",
         .about = L"a section line without `]` starts no section: its keys stay in [DIALOG], where the "
                   L"earlier ones count; no button",
         .ini = Window("Caption=Unclosed\n[BUTTON1\nShow=True\nCaption=Broken\nAction=Probe.exe /Broken\n"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Unclosed", .captions = {}}},
    };
}

std::vector<Case> PictureCases()
{
    std::string bmp = Bmp(kPictureWidth, kPictureHeight, kPictureColour);
    std::string png = SplashPng();
    return {
        {.name = L"empty picture",
         .about = L"a picture file of 0 bytes: one message naming it",
         .ini = Window("Caption=Empty\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", ""}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is empty."}}},
        {.name = L"truncated BMP",
         .about = L"a BMP cut off in the middle of its pixels: one message naming it",
         .ini = Window("Caption=Truncated\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", bmp.substr(0, bmp.size() / 2)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is damaged (it is shorter than its pixels)."}}},
        {.name = L"truncated PNG",
         .about = L"a PNG cut off in the middle of its image data: one message naming it",
         .ini = Window("Caption=Truncated\n" + kOneButton, "splash.png"),
         .files = {{Folder::Media, L"splash.png", png.substr(0, png.size() / 2)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.png: the file is damaged or is not an image."}}},
        {.name = L"PNG named .bmp",
         .about = L"a PNG file named splash.bmp: read by its content, shown",
         .ini = Window("Caption=Png In Disguise\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", png}},
         .splash = Splash{.title = L"Png In Disguise", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"text named .bmp",
         .about = L"a text file named splash.bmp: one message naming it",
         .ini = Window("Caption=Text\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", "This is not a picture.\r\nIt is a text file.\r\n"}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is damaged or is not an image."}}},
        {.name = L"BMP claiming 60000 x 60000",
         .about = L"a BMP header claiming 60000 x 60000 pixels: refused before any pixel memory is taken",
         .ini = Window("Caption=Huge\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", BmpHeader(60000, 60000) + std::string(64, '\0')}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the image is 60000 x 60000 pixels, larger than "
                    L"Trelvo shows (16384 pixels a side at most)."}}},
        {.name = L"PNG claiming 60000 x 60000",
         .about = L"a PNG header claiming 60000 x 60000 pixels: refused like the BMP, with its size as the reason",
         .ini = Window("Caption=Huge\n" + kOneButton, "huge.png"),
         .files = {{Folder::Media, L"huge.png", PngClaiming(SplashPng(), 60000, 60000)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture huge.png: the image is 60000 x 60000 pixels, larger than "
                    L"Trelvo shows (16384 pixels a side at most)."}},
         .note = L"Found by this case and mended: the size was once checked only after GDI+ had "
                 L"decoded the picture, and Wine's GDI+ failed for want of memory first; the size a PNG "
                 L"or GIF header claims is now checked before any decoder runs."},
        {.name = L"BMP of 0 x 0",
         .about = L"a BMP header of 0 x 0 pixels: one message, the image is empty",
         .ini = Window("Caption=Nothing\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", BmpHeader(0, 0)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the image is empty."}}},
    };
}

std::vector<Case> IconCases()
{
    auto iconPng = Png(32, 32, [](int, int) -> Rgba {
        return {GetRValue(kIconColour), GetGValue(kIconColour), GetBValue(kIconColour), 255};
    });
    return {
        {.name = L"PNG as icon",
         .about = L"Icon names a PNG: accepted as the window icon",
         .ini = Window("Caption=Png Icon\nIcon=product.png\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.png", iconPng}},
         .splash = Splash{.title = L"Png Icon", .captions = {L"One"}, .mediumIcon = true}},
        {.name = L"BMP as icon",
         .about = L"Icon names a BMP: accepted as the window icon",
         .ini = Window("Caption=Bmp Icon\nIcon=product.bmp\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.bmp", Bmp(32, 32, kIconColour)}},
         .splash = Splash{.title = L"Bmp Icon", .captions = {L"One"}, .mediumIcon = true}},
        {.name = L"corrupt icon",
         .about = L"an .ico of random bytes: one message naming it",
         .ini = Window("Caption=Bad Icon\nIcon=product.ico\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.ico", RandomBytes(766, 7u)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the icon product.ico: the file is damaged or is not an image."}}},
        {.name = L"icon pointing past its end",
         .about = L"an .ico whose image entry points 15 MB past the file's end: one message naming it",
         .ini = Window("Caption=Bad Icon\nIcon=product.ico\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.ico", IcoPointingPastEnd()}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the icon product.ico: the file is damaged or is not an image."}}},
    };
}

std::vector<Case> ActionCases()
{
    std::string longAction = "Probe.exe /" + std::string(32000 - 11, 'L');
    return {
        {.name = L"action of 32,000 characters",
         .about = L"an Action of 32,000 characters: cut to 254 like every value, then started",
         .ini = Window("Caption=Long Action\n[BUTTON1]\nShow=True\nCaption=Long\nAction=" + longAction + "\n"),
         .files = {SplashBmp()},
         .started = {Lower(longAction.substr(0, 254))},
         .splash = Splash{.title = L"Long Action", .captions = {L"Long"}, .step = Step::Click}},
        {.name = L"action naming a folder with an argument",
         .about = L"`Tools /x` with Tools a folder of the medium: no program and no folder to open (the "
                   L"whole text names none); one message with the command and the error",
         .ini = Silent("Tools /x"),
         .files = {{Folder::Media, L"Tools", "", true}},
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line\n\ntools /x\n\n", L"(error "}}}},
        {.name = L"action naming a document no program opens",
         .about = L"an Action naming readme.trelvonone: not a program, and the shell has no program for "
                   L"it either; one message naming it and the shell's reason, nothing opened",
         .ini = Silent("ReadMe.TrelvoNone"),
         .files = {{Folder::Media, L"ReadMe.trelvonone", "Read me first.\r\n"}},
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't open\n\nreadme.trelvonone\n\n", L"(error "}}},
         .note = L"Found by this case and mended: the system's text for error 193 holds an insert for "
                 L"the program's name (\"%1 is not a valid Win32 application\" on Windows, \"Bad EXE format "
                 L"for %1\" under Wine), which the launcher once showed bare; it now fills in the program. "
                 L"Documents with a program are opened through the shell (see the end-to-end cases)."},
    };
}

std::vector<Case> PathCases()
{
    std::string deep;
    for (int k = 0; k < 12; ++k) deep += "..\\";
    return {
        {.name = L"picture path with ..",
         .about = L"`Picture=..\\other\\splash.bmp`: a picture beside the medium is found and shown",
         .ini = Window("Caption=Up One\n" + kOneButton, "..\\other\\splash.bmp"),
         .files = {SplashBmp(Folder::Other)},
         .splash = Splash{.title = L"Up One", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"picture by absolute path",
         .about = L"Picture as an absolute path to another folder: found and shown",
         .ini = Window("Caption=Absolute\n" + kOneButton, "{other}\\art\\splash.bmp"),
         .files = {{Folder::Other, L"art", "", true}, SplashBmp(Folder::Other, L"art\\splash.bmp")},
         .splash = Splash{.title = L"Absolute", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"picture path above the root",
         .about = L"Picture with twelve `..` climbing past the drive root to a missing file: exit 2",
         .ini = Window("Caption=Climb\n" + kOneButton, (deep + "missing.bmp").c_str()),
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - " + Wide(deep) + L"missing.bmp"}}},
        {.name = L"INI that is a folder",
         .about = L"setup.ini is a folder: the INI does not exist, exit 1",
         .files = {{Folder::Media, L"setup.ini", "", true}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
    };
}

std::vector<Case> FolderCases()
{
    return {
        {.name = L"read-only medium",
         .about = L"every file and the folder read-only: window, icon and a button's command work",
         .ini = Window("Caption=Read Only\nIcon=product.ico\n[BUTTON1]\nShow=True\nCaption=Go\n"
                       "Action=Probe.exe /Read-Only\n"),
         .place = Place::ReadOnly,
         .files = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .started = {"probe.exe /read-only"},
         .splash = Splash{.title = L"Read Only",
                          .captions = {L"Go"},
                          .pixels = AroundPicture(kBack),
                          .mediumIcon = true,
                          .step = Step::Click}},
        {.name = L"current directory over 260 characters",
         .about = L"INI, picture and icon in a folder whose path is longer than MAX_PATH (made with "
                   L"`\\\\?\\`), which is the launcher's current directory (given by its short name)",
         .ini = Window("Caption=Long Path\nIcon=product.ico\n[BUTTON1]\nShow=True\nCaption=Go\n"
                       "Action=Probe.exe /Long-Path\n"),
         .place = Place::LongPath,
         .files = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .started = {"probe.exe /long-path"},
         .splash = Splash{.title = L"Long Path",
                          .captions = {L"Go"},
                          .pixels = AroundPicture(kBack),
                          .mediumIcon = true,
                          .step = Step::Click},
         .note = L"Under Wine 8 the launcher cannot be started with that folder's long path as its current "
                 L"directory: CreateProcessW overruns a buffer of the calling process with a current directory "
                 L"longer than MAX_PATH (seen: the caller dies with \"malloc(): invalid size\", or the new "
                 L"process starts in C:\\windows after \"could not open working directory\"). A program "
                 L"whose own path is that long is not found at all (error 2, by its long or its short name), "
                 L"so no launcher can sit on such a medium; here it is started from the case folder. "
                 L"SetCurrentDirectoryW of Windows takes at most MAX_PATH characters too, unless long paths "
                 L"are enabled. By the folder's short (8.3) name the launcher works there like anywhere else."},
        {.name = L"BMP picture deeper than 260 characters",
         .about = L"Picture names a BMP, by a relative path, in a folder whose path is longer than MAX_PATH; "
                   L"the launcher, the INI and the current directory one folder up (shorter)",
         .ini = Window("Caption=Deep Picture\n" + kOneButton, "{deep}\\splash.bmp"),
         .place = Place::DeepFiles,
         .files = {SplashBmp()},
         .started = {"probe.exe /one"},
         .splash = Splash{.title = L"Deep Picture", .captions = {L"One"}, .pixels = AroundPicture(kBack),
                          .step = Step::Click},
         .note = L"Found by this case and mended: the system's bitmap loader cannot open a path longer "
                 L"than MAX_PATH and the launcher once reported the intact BMP as damaged; such a BMP is "
                 L"now decoded by GDI+."},
        {.name = L"PNG picture deeper than 260 characters",
         .about = L"the same with a PNG picture (decoded by GDI+)",
         .ini = Window("Caption=Deep Picture\n" + kOneButton, "{deep}\\splash.png"),
         .place = Place::DeepFiles,
         .files = {{Folder::Media, L"splash.png", SplashPng()}},
         .started = {"probe.exe /one"},
         .splash = Splash{.title = L"Deep Picture", .captions = {L"One"}, .pixels = AroundPicture(kBack),
                          .step = Step::Click}},
        {.name = L"icon deeper than 260 characters",
         .about = L"Icon names an .ico, by a relative path, in a folder whose path is longer than MAX_PATH",
         .ini = Window("Caption=Deep Icon\nIcon={deep}\\product.ico\n" + kOneButton, "{deep}\\splash.png"),
         .place = Place::DeepFiles,
         .files = {{Folder::Media, L"splash.png", SplashPng()}, {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .started = {"probe.exe /one"},
         .splash = Splash{.title = L"Deep Icon", .captions = {L"One"}, .mediumIcon = true, .step = Step::Click}},
        {.name = L"CJK folder",
         .about = L"the medium in a folder named in CJK letters, outside the system code page",
         .ini = Window("Caption=CJK Folder\nIcon=product.ico\n[BUTTON1]\nShow=True\nCaption=Go\n"
                       "Action=Probe.exe /From-Cjk-Folder\n"),
         .folder = L"安装光盘 メディア",
         .files = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .started = {"probe.exe /from-cjk-folder"},
         .splash = Splash{.title = L"CJK Folder",
                          .captions = {L"Go"},
                          .pixels = AroundPicture(kBack),
                          .mediumIcon = true,
                          .step = Step::Click}},
        {.name = L"Greek folder, Cyrillic picture name",
         .about = L"a Greek folder and a picture named in Cyrillic (UTF-16 INI): found and shown",
         .ini = Utf16Ini(L"[DIALOG]\nShow=True\nBackColor=47,31,107\nPicture=Заставка.bmp\n"
                         L"Caption=Ελληνικός φάκελος\n"),
         .folder = L"Δίσκος εγκατάστασης",
         .files = {SplashBmp(Folder::Media, L"Заставка.bmp")},
         .splash = Splash{.title = L"Ελληνικός φάκελος", .captions = {}, .pixels = AroundPicture(kBack)}},
    };
}

// ---------------------------------------------------------------------------
// The table

// A text inside a Markdown table cell.
std::wstring Cell(const std::wstring& text, size_t limit = 160)
{
    std::wstring shown = text.size() > limit ? text.substr(0, limit) : text;
    std::wstring out;
    for (wchar_t c : shown) {
        if (c == L'\r') continue;
        if (c == L'\n') out += L"<br>";
        else if (c == L'|') out += L"\\|";
        else if (c == L'<') out += L"&lt;";
        else if (c == L'>') out += L"&gt;";
        else if (c == L'&') out += L"&amp;";
        else if (c == L'*' || c == L'_' || c == L'`' || c == L'\\' || c == L'[' || c == L']') out += std::wstring(L"\\") + c;
        else out += c;
    }
    if (text.size() > limit) out += L"… (" + std::to_wstring(text.size()) + L" characters in all)";
    return out;
}

std::wstring OutcomeText(const Case& c, const Outcome& o)
{
    if (!o.started) return L"not started: " + Cell(o.startError);
    std::vector<std::wstring> parts;
    if (o.splashShown) {
        std::wstring step = L"closed by the driver";
        if (c.splash && c.splash->step == Step::Click)
            step = L"button " + std::to_wstring(c.splash->slot + 1) + L" clicked";
        parts.push_back(L"window shown, " + step);
    }
    if (!o.boxes.empty())
        parts.push_back(o.boxes.size() == 1 ? L"message box" : std::to_wstring(o.boxes.size()) + L" message boxes");
    for (const auto& line : o.lines) parts.push_back(L"started " + Cell(Placeholders(Wide(line), o.medium), 60));
    if (o.lines.empty()) parts.push_back(L"nothing started");
    parts.push_back(o.ended ? L"exit " + std::to_wstring(o.exitCode) : L"did not end: terminated");
    std::wstring out;
    for (const auto& part : parts) out += (out.empty() ? L"" : L"; ") + part;
    return out;
}

bool WriteTable(const std::wstring& path, const std::vector<const Case*>& cases, const std::vector<Outcome>& outcomes,
                const Context& context)
{
    int failedCases = 0;
    for (const auto& o : outcomes) failedCases += o.failures.empty() ? 0 : 1;
    std::wstring text =
        L"# Hostile media\n\n"
        L"<!-- Generated by tests/hostile/hostile_driver.cpp (tests/hostile/make-table); do not edit. -->\n\n"
        L"What `trelvo.exe` does with damaged, oversized and odd media. Each row is one case of\n"
        L"`tests/hostile/hostile_driver.cpp`, run end to end against the built launcher under " +
        SystemName() + L" at " + std::to_wstring(context.dpi) + L" DPI:\n"
        L"the launcher is copied into a fresh folder as `setup.exe` beside the case's INI and files,\n"
        L"started in a job object and watched from outside.\n\n"
        L"Besides its own expectation, every case checks that the launcher ends by itself within " +
        std::to_wstring(kEndBound / 1000) + L" s\n"
        L"(a window it shows is inspected, then closed or clicked), never crashes (exit code 0 to 3, no\n"
        L"crash dialog of the system, no message about an internal fault), shows exactly the expected\n"
        L"message boxes, starts exactly the commands the INI names (`probe.exe` logs them; the job\n"
        L"counts the processes) and writes nothing: the case's folders hold the same names,\n"
        L"attributes, sizes, contents and last-write times afterwards.\n\n"
        L"In the texts, `{media}` stands for the folder of the case's files, `{deep}` for a folder\n"
        L"name of 80 characters. Actions are lower-cased before they start, as the launcher does.\n"
        L"A row marked **FAILED** is a fault of the launcher that the case found; the notes below\n"
        L"the table explain it.\n\n"
        L"Regenerate after `cmake --preset windows && cmake --build --preset windows` with\n"
        L"`tests/hostile/make-table` (the ctest run writes the same table to\n"
        L"`build/windows/tests/e2e/hostile-media.md`).\n\n"
        L"| # | Case | What it checks | Outcome | Message the user sees | Result |\n"
        L"|---|---|---|---|---|---|\n";
    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = *cases[k];
        const Outcome& o = outcomes[k];
        std::wstring messages;
        for (const auto& box : o.boxes)
            messages += (messages.empty() ? L"" : L"<br>—<br>") + Cell(Placeholders(box.text, o.medium));
        if (messages.empty()) messages = L"–";
        std::wstring result = o.failures.empty()
                                  ? L"passed"
                                  : L"**FAILED**: " + Cell(Placeholders(o.failures.front(), o.medium), 200) +
                                        (o.failures.size() > 1
                                             ? L" (and " + std::to_wstring(o.failures.size() - 1) + L" more)"
                                             : L"");
        text += L"| " + std::to_wstring(k + 1) + L" | " + Cell(c.name) + L" | " + c.about + L" | " +
                OutcomeText(c, o) + L" | " + messages + L" | " + result + L" |\n";
    }
    text += L"\n" + std::to_wstring(cases.size()) + L" cases, " +
            std::to_wstring(int(cases.size()) - failedCases) + L" passed, " + std::to_wstring(failedCases) +
            L" failed.\n";
    std::wstring notes;
    for (size_t k = 0; k < cases.size(); ++k)
        if (!cases[k]->note.empty())
            notes += L"- **" + std::to_wstring(k + 1) + L". " + Cell(cases[k]->name) + L"**: " + cases[k]->note + L"\n";
    if (!notes.empty()) text += L"\n## Notes\n\n" + notes;
    return WriteBytes(path, Utf8(text));
}

}  // namespace


int wmain(int argc, wchar_t** argv)
{
    DWORD runStart = GetTickCount();
    Options options = ParseOptions(argc, argv);
    if (options.positional.size() != 2) {
        Print(L"usage: hostile_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--table PATH]");
        return 2;
    }
    Context context;
    bool ready = SetUp(options, L"trelvo-hostile", context);
    std::vector<Case> cases;
    for (auto table : {IniTextCases, PictureCases, IconCases, ActionCases, PathCases, FolderCases})
        for (Case& c : table()) cases.push_back(std::move(c));
    BeginExport(options, context);
    Ran ran;
    if (ready) ran = RunCases(cases, context, options);
    ExportCases(options, ran, context);

    if (!options.table.empty()) {
        report().currentCase = L"table";
        std::wstring path = WindowsPath(options.table);
        if (Check(WriteTable(path, ran.cases, ran.outcomes, context), L"writing the table " + path))
            Print(L"table of " + std::to_wstring(ran.cases.size()) + L" cases written to " + path);
    }
    return Finish(context, runStart, ran.cases.size(), options.keep);
}
