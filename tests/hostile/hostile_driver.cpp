// Hostile media: trelvo.exe against damaged, oversized and odd media, run
// under Wine (or Windows) and watched from outside like the end-to-end tests.
//
//   hostile_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--table PATH]
//
// Each case of the tables below builds a medium folder (launcher copied as
// setup.exe, probe.exe, the INI and the files of the case) and starts the
// launcher there in a job object. For every case the driver checks that
//   - the launcher ends by itself within 30 s (a shown window is inspected
//     and then closed or clicked by the driver),
//   - it never crashes: exit code 0, 1, 2 or 3 and the one the case expects,
//     no crash dialog of the system ("Program Error", winedbg) and no
//     message about an internal fault,
//   - exactly the expected message boxes show, with the expected text,
//   - it starts exactly the commands the INI names (probe.log, and the number
//     of processes that ran in the job),
//   - it writes nothing: the case's folders hold the same names, attributes,
//     sizes, contents and last-write times afterwards (probe.log aside),
//   - its memory stays within a generous bound (when the system reports it).
//
// --table PATH writes the outcome of every case as a Markdown table (the
// committed copy is docs/hostile-media.md; see tests/hostile/make-table).
//
// Prints one line per failed check and finally "N passed, N failed".
// Exit code 0 only when no check failed.
#include "DriverSupport.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <map>

namespace {

using namespace e2e;
using namespace std::string_literals;

// ---------------------------------------------------------------------------
// The cases

enum class Folder { Media, Other };

// How the medium folder is made and where the launcher starts.
enum class Place {
    Plain,     // <case>\<folder>, also the current directory
    ReadOnly,  // the same, with every file and the folder itself read-only, as on a disc
    LongPath,  // the INI and files in a folder whose path is longer than MAX_PATH (260), the
               // current directory, given by its short (8.3) name; the launcher and probe.exe
               // in <case> (a program whose own path is that long cannot be started under Wine)
    DeepFiles,  // the launcher, the INI and the current directory in a folder shorter than
                // MAX_PATH; the files in its subfolder {deep}, whose path is longer
};

// A file or folder placed on the medium (or beside it, in "other").
struct File {
    Folder in;
    std::wstring name;
    std::string bytes;
    bool folder = false;
};

struct Case {
    std::wstring name;
    std::wstring checks;             // what the case is about, for the table
    std::optional<std::string> ini;  // bytes of <cwd>\setup.ini; {media}, {other}, {deep} are replaced
    std::wstring folder = L"media";
    Place place = Place::Plain;
    std::vector<File> files;
    int exitCode = 0;
    std::vector<Box> boxes;            // texts may hold {media}, {other}, {cwd}, {deep}, {ini}, {notfound}
    std::vector<std::string> started;  // probe.log lines, each exactly once; {deep} is replaced
    std::optional<Splash> splash;      // absent: no splash window may show
    std::wstring note;                 // printed under the table
};

const std::wstring kMissingIni = L"{ini} doesn't exist. INI filename must be the same as EXE filename.";

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

File SplashBmp(Folder in = Folder::Media, const std::wstring& name = L"splash.bmp")
{
    return {in, name, Bmp(kPictureWidth, kPictureHeight, kPictureColour)};
}

std::string SplashPng()
{
    return Png(kPictureWidth, kPictureHeight, [](int, int) -> Rgba {
        return {GetRValue(kPictureColour), GetGValue(kPictureColour), GetBValue(kPictureColour), 255};
    });
}

// Bytes from a fixed seed (xorshift32): the same "random" file every run.
std::string RandomBytes(size_t count, std::uint32_t seed)
{
    std::string out;
    out.reserve(count);
    std::uint32_t x = seed;
    while (out.size() < count) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out += char(x & 0xFF);
    }
    return out;
}

// Text as UTF-16 (little-endian) with its byte-order mark, CR LF line ends.
std::string Utf16Ini(const std::wstring& text)
{
    std::string out = "\xFF\xFE";
    for (wchar_t c : text) {
        if (c == L'\n') out += std::string("\r\0", 2);
        out += char(c & 0xFF);
        out += char((c >> 8) & 0xFF);
    }
    return out;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return text;
}

// A BMP header (54 bytes) that claims a size; no pixels follow.
std::string BmpHeader(std::int32_t width, std::int32_t height)
{
    std::string out = "BM";
    Put32(out, 54);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    return out;
}

// A PNG of a small picture whose header claims another size.
std::string PngClaiming(std::uint32_t width, std::uint32_t height)
{
    std::string png = SplashPng();
    // IHDR data starts at 16: width, height (big-endian), then the CRC after 13 bytes.
    std::string size;
    Put32BigEndian(size, width);
    Put32BigEndian(size, height);
    png.replace(16, 8, size);
    std::string crc;
    Put32BigEndian(crc, Crc32(png.substr(12, 17)));
    png.replace(29, 4, crc);
    return png;
}

// An icon file whose one directory entry points far beyond the file's end.
std::string IcoPointingPastEnd()
{
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 1);
    out += char(32);
    out += char(32);
    out += '\0';
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 4264);       // bytes of the image
    Put32(out, 0x00F00000);  // where it would start
    out += std::string(64, '\x55');
    return out;
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
         .checks = L"64 KiB of random bytes (fixed seed) as the INI: no section, silent mode tries `false`",
         .ini = RandomBytes(64 * 1024, 20240611u),
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"false", L"{notfound}"}}}},
        {.name = L"5 MB INI",
         .checks = L"5 MB of keys before [DIALOG]: the section after them is found",
         .ini = Ini(fiveMegabytes + "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /After-Five-Megabytes\n"),
         .started = {"probe.exe /after-five-megabytes"}},
        {.name = L"NUL bytes",
         .checks = L"NUL bytes on a line of their own and inside a value: the value ends at the NUL",
         .ini = "\0\0junk\0\r\n[DIALOG]\r\nShow=False\r\nDefaultAction=Probe.exe /Before-Nul\0/After-Nul\r\n"s,
         .started = {"probe.exe /before-nul"}},
        {.name = L"1 MB line",
         .checks = L"a line of 1 MB between two keys: the key after it is read",
         .ini = Ini("[DIALOG]\nShow=False\nJunk=" + std::string(1024 * 1024, 'x') +
                    "\nDefaultAction=Probe.exe /After-Long-Line\n"),
         .started = {"probe.exe /after-long-line"}},
        {.name = L"UTF-8 byte-order mark",
         .checks = L"a UTF-8 byte-order mark right before [DIALOG]: the section is still found",
         .ini = "\xEF\xBB\xBF" + Silent("Probe.exe /Utf8-Bom"),
         .started = {"probe.exe /utf8-bom"}},
        {.name = L"UTF-16 with byte-order mark",
         .checks = L"a UTF-16 INI: Greek, Cyrillic and CJK caption, button and action arrive intact",
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
         .checks = L"2,000 sections before [DIALOG]: the section after them is found",
         .ini = Ini(twoThousand + "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /After-2000-Sections\n"),
         .started = {"probe.exe /after-2000-sections"}},
        {.name = L"key repeated",
         .checks = L"DefaultAction given twice: the first one counts",
         .ini = Ini("[DIALOG]\nShow=False\nDefaultAction=Probe.exe /First\nDefaultAction=Probe.exe /Second\n"),
         .started = {"probe.exe /first"}},
        {.name = L"section repeated",
         .checks = L"a second [DIALOG] section: only the first is read, its missing DefaultAction is `false`",
         .ini = Ini("[DIALOG]\nShow=False\n[DIALOG]\nDefaultAction=Probe.exe /Second-Section\n"),
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"false", L"{notfound}"}}}},
        {.name = L"CR line ends",
         .checks = L"lines ended by CR alone are still lines",
         .ini = "[DIALOG]\rShow=False\rDefaultAction=Probe.exe /Cr-Only\r",
         .started = {"probe.exe /cr-only"}},
        {.name = L"LF line ends",
         .checks = L"lines ended by LF alone are still lines",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Lf-Only\n",
         .started = {"probe.exe /lf-only"}},
        {.name = L"caption of 254 characters",
         .checks = L"a Caption of exactly 254 characters: the title shows all of it",
         .ini = Window("Caption=" + caption254 + "\n"),
         .files = {SplashBmp()},
         .splash = Splash{.title = Wide(caption254)}},
        {.name = L"caption of 255 characters",
         .checks = L"a Caption of 255 characters: the title shows the first 254",
         .ini = Window("Caption=" + caption255 + "\n"),
         .files = {SplashBmp()},
         .splash = Splash{.title = Wide(caption254)}},
        {.name = L"[BUTTON01]",
         .checks = L"[BUTTON01] is not [BUTTON1]: skipped, [BUTTON2] fills the first slot",
         .ini = Window("Caption=Zero One\n[BUTTON01]\nShow=True\nCaption=Zero-One\nAction=Probe.exe /Zero-One\n"
                       "[BUTTON2]\nShow=True\nCaption=Two\nAction=Probe.exe /Two\n"),
         .files = {SplashBmp()},
         .started = {"probe.exe /two"},
         .splash = Splash{.title = L"Zero One", .captions = {L"Two"}, .step = Step::Click}},
        {.name = L"[ BUTTON1 ]",
         .checks = L"blanks inside the brackets are dropped: `[ BUTTON1 ]` is [BUTTON1]",
         .ini = Window("Caption=Blanks\n[ BUTTON1 ]\nShow=True\nCaption=Spaced\nAction=Probe.exe /Spaced\n"
                       "[BUTTON2]\nShow=True\nCaption=Two\nAction=Probe.exe /Two\n"),
         .files = {SplashBmp()},
         .started = {"probe.exe /spaced"},
         .splash = Splash{.title = L"Blanks", .captions = {L"Spaced", L"Two"}, .step = Step::Click}},
        {.name = L"[BUTTON1 without bracket",
         .checks = L"a section line without `]` starts no section: its keys stay in [DIALOG], where the "
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
         .checks = L"a picture file of 0 bytes: one message naming it",
         .ini = Window("Caption=Empty\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", ""}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is empty."}}},
        {.name = L"truncated BMP",
         .checks = L"a BMP cut off in the middle of its pixels: one message naming it",
         .ini = Window("Caption=Truncated\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", bmp.substr(0, bmp.size() / 2)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is damaged (it is shorter than its pixels)."}}},
        {.name = L"truncated PNG",
         .checks = L"a PNG cut off in the middle of its image data: one message naming it",
         .ini = Window("Caption=Truncated\n" + kOneButton, "splash.png"),
         .files = {{Folder::Media, L"splash.png", png.substr(0, png.size() / 2)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.png: the file is damaged or is not an image."}}},
        {.name = L"PNG named .bmp",
         .checks = L"a PNG file named splash.bmp: read by its content, shown",
         .ini = Window("Caption=Png In Disguise\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", png}},
         .splash = Splash{.title = L"Png In Disguise", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"text named .bmp",
         .checks = L"a text file named splash.bmp: one message naming it",
         .ini = Window("Caption=Text\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", "This is not a picture.\r\nIt is a text file.\r\n"}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the file is damaged or is not an image."}}},
        {.name = L"BMP claiming 60000 x 60000",
         .checks = L"a BMP header claiming 60000 x 60000 pixels: refused before any pixel memory is taken",
         .ini = Window("Caption=Huge\n" + kOneButton),
         .files = {{Folder::Media, L"splash.bmp", BmpHeader(60000, 60000) + std::string(64, '\0')}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture splash.bmp: the image is 60000 x 60000 pixels, larger than "
                    L"Trelvo shows (16384 pixels a side at most)."}}},
        {.name = L"PNG claiming 60000 x 60000",
         .checks = L"a PNG header claiming 60000 x 60000 pixels: refused like the BMP, with its size as the reason",
         .ini = Window("Caption=Huge\n" + kOneButton, "huge.png"),
         .files = {{Folder::Media, L"huge.png", PngClaiming(60000, 60000)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the picture huge.png: the image is 60000 x 60000 pixels, larger than "
                    L"Trelvo shows (16384 pixels a side at most)."}},
         .note = L"Found by this case and mended: the size was once checked only after GDI+ had "
                 L"decoded the picture, and Wine's GDI+ failed for want of memory first; the size a PNG "
                 L"or GIF header claims is now checked before any decoder runs."},
        {.name = L"BMP of 0 x 0",
         .checks = L"a BMP header of 0 x 0 pixels: one message, the image is empty",
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
         .checks = L"Icon names a PNG: accepted as the window icon",
         .ini = Window("Caption=Png Icon\nIcon=product.png\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.png", iconPng}},
         .splash = Splash{.title = L"Png Icon", .captions = {L"One"}, .mediumIcon = true}},
        {.name = L"BMP as icon",
         .checks = L"Icon names a BMP: accepted as the window icon",
         .ini = Window("Caption=Bmp Icon\nIcon=product.bmp\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.bmp", Bmp(32, 32, kIconColour)}},
         .splash = Splash{.title = L"Bmp Icon", .captions = {L"One"}, .mediumIcon = true}},
        {.name = L"corrupt icon",
         .checks = L"an .ico of random bytes: one message naming it",
         .ini = Window("Caption=Bad Icon\nIcon=product.ico\n" + kOneButton),
         .files = {SplashBmp(), {Folder::Media, L"product.ico", RandomBytes(766, 7u)}},
         .exitCode = 3,
         .boxes = {{L"Couldn't load the icon product.ico: the file is damaged or is not an image."}}},
        {.name = L"icon pointing past its end",
         .checks = L"an .ico whose image entry points 15 MB past the file's end: one message naming it",
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
         .checks = L"an Action of 32,000 characters: cut to 254 like every value, then started",
         .ini = Window("Caption=Long Action\n[BUTTON1]\nShow=True\nCaption=Long\nAction=" + longAction + "\n"),
         .files = {SplashBmp()},
         .started = {Lower(longAction.substr(0, 254))},
         .splash = Splash{.title = L"Long Action", .captions = {L"Long"}, .step = Step::Click}},
        {.name = L"action naming a folder with an argument",
         .checks = L"`Tools /x` with Tools a folder of the medium: no program and no folder to open (the "
                   L"whole text names none); one message with the command and the error",
         .ini = Silent("Tools /x"),
         .files = {{Folder::Media, L"Tools", "", true}},
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line\n\ntools /x\n\n", L"(error "}}}},
        {.name = L"action naming a document no program opens",
         .checks = L"an Action naming readme.trelvonone: not a program, and the shell has no program for "
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
         .checks = L"`Picture=..\\other\\splash.bmp`: a picture beside the medium is found and shown",
         .ini = Window("Caption=Up One\n" + kOneButton, "..\\other\\splash.bmp"),
         .files = {SplashBmp(Folder::Other)},
         .splash = Splash{.title = L"Up One", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"picture by absolute path",
         .checks = L"Picture as an absolute path to another folder: found and shown",
         .ini = Window("Caption=Absolute\n" + kOneButton, "{other}\\art\\splash.bmp"),
         .files = {{Folder::Other, L"art", "", true}, SplashBmp(Folder::Other, L"art\\splash.bmp")},
         .splash = Splash{.title = L"Absolute", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"picture path above the root",
         .checks = L"Picture with twelve `..` climbing past the drive root to a missing file: exit 2",
         .ini = Window("Caption=Climb\n" + kOneButton, (deep + "missing.bmp").c_str()),
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - " + Wide(deep) + L"missing.bmp"}}},
        {.name = L"INI that is a folder",
         .checks = L"setup.ini is a folder: the INI does not exist, exit 1",
         .files = {{Folder::Media, L"setup.ini", "", true}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
    };
}

std::vector<Case> FolderCases()
{
    return {
        {.name = L"read-only medium",
         .checks = L"every file and the folder read-only: window, icon and a button's command work",
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
         .checks = L"INI, picture and icon in a folder whose path is longer than MAX_PATH (made with "
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
         .checks = L"Picture names a BMP, by a relative path, in a folder whose path is longer than MAX_PATH; "
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
         .checks = L"the same with a PNG picture (decoded by GDI+)",
         .ini = Window("Caption=Deep Picture\n" + kOneButton, "{deep}\\splash.png"),
         .place = Place::DeepFiles,
         .files = {{Folder::Media, L"splash.png", SplashPng()}},
         .started = {"probe.exe /one"},
         .splash = Splash{.title = L"Deep Picture", .captions = {L"One"}, .pixels = AroundPicture(kBack),
                          .step = Step::Click}},
        {.name = L"icon deeper than 260 characters",
         .checks = L"Icon names an .ico, by a relative path, in a folder whose path is longer than MAX_PATH",
         .ini = Window("Caption=Deep Icon\nIcon={deep}\\product.ico\n" + kOneButton, "{deep}\\splash.png"),
         .place = Place::DeepFiles,
         .files = {{Folder::Media, L"splash.png", SplashPng()}, {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .started = {"probe.exe /one"},
         .splash = Splash{.title = L"Deep Icon", .captions = {L"One"}, .mediumIcon = true, .step = Step::Click}},
        {.name = L"CJK folder",
         .checks = L"the medium in a folder named in CJK letters, outside the system code page",
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
         .checks = L"a Greek folder and a picture named in Cyrillic (UTF-16 INI): found and shown",
         .ini = Utf16Ini(L"[DIALOG]\nShow=True\nBackColor=47,31,107\nPicture=Заставка.bmp\n"
                         L"Caption=Ελληνικός φάκελος\n"),
         .folder = L"Δίσκος εγκατάστασης",
         .files = {SplashBmp(Folder::Media, L"Заставка.bmp")},
         .splash = Splash{.title = L"Ελληνικός φάκελος", .captions = {}, .pixels = AroundPicture(kBack)}},
    };
}

// ---------------------------------------------------------------------------
// Observing one case

struct Context {
    std::wstring launcher, probe, tempRoot, notFound;
    int dpi = 96;
};

struct Paths {
    std::wstring caseRoot, media, other, cwd, ini;
    std::wstring programs;  // where setup.exe and probe.exe are
    std::wstring start;     // the folder the launcher is started from (its short name for LongPath)
    std::wstring deep;  // the deep medium's own folder name
};

// A path usable beyond MAX_PATH by the file routines.
std::wstring Long(const std::wstring& path)
{
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

std::wstring Expand(std::wstring text, const Paths& paths, const Context& context)
{
    Replace(text, L"{media}", paths.media);
    Replace(text, L"{other}", paths.other);
    Replace(text, L"{cwd}", paths.cwd);
    Replace(text, L"{deep}", paths.deep);
    Replace(text, L"{ini}", paths.ini);
    Replace(text, L"{notfound}", context.notFound);
    return text;
}

// What a folder holds, for "writes nothing": files by attributes, size,
// contents and last-write time; folders by name and attributes (their own
// write time changes when probe.log is written). probe.log itself is left out.
struct Entry {
    DWORD attributes = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::uint64_t written = 0;

    bool operator==(const Entry&) const = default;
};

void List(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, Entry>& out)
{
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Long(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || ToLower(name) == L"probe.log") continue;
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        Entry entry;
        entry.attributes = found.dwFileAttributes;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path + L"\\"] = entry;
            List(root, path, out);
        } else {
            entry.size = (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            entry.written = (std::uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) |
                            found.ftLastWriteTime.dwLowDateTime;
            auto bytes = ReadBytes(Long(root + L"\\" + path));
            entry.crc = bytes ? Crc32(*bytes) : 0xFFFFFFFFu;
            out[path] = entry;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::map<std::wstring, Entry> Listing(const std::wstring& root)
{
    std::map<std::wstring, Entry> out;
    List(root, L"", out);
    return out;
}

void CheckNothingWritten(const std::map<std::wstring, Entry>& before, const std::map<std::wstring, Entry>& after)
{
    std::wstring changes;
    for (const auto& [path, entry] : after) {
        auto was = before.find(path);
        if (was == before.end()) changes += L" added " + Show(path) + L";";
        else if (!(was->second == entry)) changes += L" changed " + Show(path) + L";";
    }
    for (const auto& [path, entry] : before)
        if (!after.count(path)) changes += L" removed " + Show(path) + L";";
    Check(changes.empty(), L"the launcher should write nothing in the case's folders:" + changes);
}

// Crash reports of the system: Wine's crash dialog and its debugger.
BOOL CALLBACK FindCrashDialog(HWND window, LPARAM data)
{
    if (IsWindowVisible(window) && TextOf(window).find(L"Program Error") != std::wstring::npos)
        *reinterpret_cast<bool*>(data) = true;
    return TRUE;
}

bool CrashDialogShowing()
{
    bool seen = false;
    EnumWindows(FindCrashDialog, LPARAM(&seen));
    return seen;
}

int DebuggersRunning()
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (ToLower(entry.szExeFile) == L"winedbg.exe" || ToLower(entry.szExeFile) == L"werfault.exe") ++count;
    CloseHandle(snapshot);
    return count;
}

// What the user saw, for the table.
struct Outcome {
    bool started = false;
    std::wstring startError;
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<std::wstring> boxes;
    bool splashShown = false;
    std::vector<std::string> lines;  // probe.log
    std::vector<std::wstring> failures;
};

constexpr DWORD kBound = 30000;                       // ms for the launcher to end
constexpr std::uint64_t kMemoryBound = 512ull << 20;  // peak working set

bool Prepare(const Case& c, int index, const Context& context, Paths& paths)
{
    paths.caseRoot = context.tempRoot + L"\\" + std::to_wstring(index);
    paths.other = paths.caseRoot + L"\\other";
    bool ok = CreateDirectoryW(Long(paths.caseRoot).c_str(), nullptr) &&
              CreateDirectoryW(Long(paths.other).c_str(), nullptr);
    if (c.place == Place::LongPath || c.place == Place::DeepFiles) {
        // Folders of up to 90 characters until the path is about 200 long,
        // then one of 80: past 260, its parent well below.
        auto named = [](size_t length, wchar_t last) {
            std::wstring name = L"a-folder-with-a-long-name-";
            name.resize(length - 1, L'x');
            return name + last;
        };
        std::wstring parent = paths.caseRoot;
        for (wchar_t n = L'1'; ok && parent.size() < 180; ++n) {
            parent += L"\\" + named(std::min<size_t>(90, 200 - parent.size()), n);
            ok = CreateDirectoryW(Long(parent).c_str(), nullptr) != 0;
        }
        paths.deep = named(80, L'm');
        paths.media = parent + L"\\" + paths.deep;
        paths.cwd = c.place == Place::DeepFiles ? parent : paths.media;
        paths.programs = c.place == Place::LongPath ? paths.caseRoot : paths.cwd;
    } else {
        paths.media = paths.caseRoot + L"\\" + c.folder;
        paths.cwd = paths.media;
        paths.programs = paths.media;
    }
    paths.ini = paths.cwd + L"\\setup.ini";
    ok = ok && CreateDirectoryW(Long(paths.media).c_str(), nullptr);
    if (!Check(ok, L"creating the case folders under " + paths.caseRoot)) return false;
    paths.start = paths.cwd;
    if (c.place == Place::LongPath) {
        wchar_t shortName[MAX_PATH] = {};
        DWORD length = GetShortPathNameW(paths.media.c_str(), shortName, MAX_PATH);
        if (!Check(length > 0 && length < MAX_PATH, L"the short name of " + paths.media)) return false;
        paths.start = shortName;
    }
    if (c.place == Place::LongPath || c.place == Place::DeepFiles) {
        if (!Check(paths.media.size() > MAX_PATH, L"the files' folder should be longer than 260 characters") ||
            !Check(paths.start.size() < MAX_PATH - 12, L"the current directory should be shorter than 260"))
            return false;
    }

    ok = CopyFileW(context.launcher.c_str(), Long(paths.programs + L"\\setup.exe").c_str(), FALSE) &&
         CopyFileW(context.probe.c_str(), Long(paths.programs + L"\\probe.exe").c_str(), FALSE);
    if (!Check(ok, L"copying the programs into " + paths.programs)) return false;

    for (const File& file : c.files) {
        std::wstring path = (file.in == Folder::Media ? paths.media : paths.other) + L"\\" + file.name;
        bool made = file.folder ? CreateDirectoryW(Long(path).c_str(), nullptr) != 0 : WriteBytes(Long(path), file.bytes);
        if (!Check(made, L"writing " + path)) return false;
    }
    if (c.ini) {
        // Paths go into an 8-bit INI in the system code page.
        auto ansi = [](const std::wstring& text) {
            int size = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
            std::string out(size_t(size), '\0');
            WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
            return out;
        };
        std::string text = *c.ini;
        const std::vector<std::pair<std::string, std::wstring>> values = {
            {"{media}", paths.media}, {"{other}", paths.other}, {"{deep}", paths.deep}};
        for (const auto& [name, value] : values)
            for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at))
                text.replace(at, name.size(), ansi(value));
        if (!Check(WriteBytes(Long(paths.ini), text), L"writing " + paths.ini)) return false;
    }
    if (c.place == Place::ReadOnly) {
        std::map<std::wstring, Entry> files = Listing(paths.media);
        for (const auto& [path, entry] : files)
            if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
                ok = ok && SetFileAttributesW(Long(paths.media + L"\\" + path).c_str(), FILE_ATTRIBUTE_READONLY);
        ok = ok && SetFileAttributesW(Long(paths.media).c_str(), FILE_ATTRIBUTE_READONLY);
        if (!Check(ok, L"making " + paths.media + L" read-only")) return false;
    }
    return true;
}

void CheckBox(HWND box, const Case& c, const Paths& paths, const Context& context, Outcome& outcome)
{
    int index = int(outcome.boxes.size());
    std::wstring which = L"message box " + std::to_wstring(index + 1);
    SeenBox seen = ReadBox(box);
    outcome.boxes.push_back(seen.text);
    if (verbose) Print(L"  box " + Show(seen.title) + L": " + Show(seen.text));

    Check(seen.text.find(L"internal fault") == std::wstring::npos && seen.text.find(L"internal error") == std::wstring::npos,
          which + L" reports an internal fault: " + Show(seen.text));
    // A system text read without its inserts shows "%1" where a name belongs.
    bool insert = false;
    for (size_t at = seen.text.find(L'%'); at != std::wstring::npos && !insert; at = seen.text.find(L'%', at + 1))
        insert = at + 1 < seen.text.size() && seen.text[at + 1] >= L'1' && seen.text[at + 1] <= L'9';
    Check(!insert, which + L" shows a placeholder such as %1 instead of a name: " + Show(seen.text));
    CheckBoxAgainst(seen, c.boxes, index, which, [&](const std::wstring& text) { return Expand(text, paths, context); });
    PressOk(box);
}

Outcome RunCase(const Case& c, int index, const Context& context)
{
    currentCase = c.name;
    Outcome outcome;
    onFailure = [&](const std::wstring& what) { outcome.failures.push_back(what); };
    struct Detach {
        ~Detach() { onFailure = nullptr; }
    } detach;
    DWORD began = GetTickCount();
    Paths paths;
    if (!Prepare(c, index, context, paths)) return outcome;
    std::map<std::wstring, Entry> before = Listing(paths.caseRoot);

    LauncherRun run;
    std::wstring exePath = paths.programs + L"\\setup.exe";
    outcome.started = run.Start(exePath, paths.start);
    if (!Check(outcome.started, L"starting " + exePath + L": " + run.error)) {
        outcome.startError = run.error;
        return outcome;
    }

    bool splashInspected = false, crashDialog = false;
    int debuggersBefore = DebuggersRunning(), debuggers = debuggersBefore, turn = 0;
    std::uint64_t peakMemory = 0;
    outcome.ended = run.Watch(
        kBound,
        [&](HWND window) {
            std::wstring className = ClassOf(window);
            if (className == L"#32770") {
                CheckBox(window, c, paths, context, outcome);
            } else if (className == L"TrelvoSplash") {
                outcome.splashShown = true;
                if (c.splash && !splashInspected) {
                    splashInspected = true;
                    InspectSplash(window, *c.splash, context.dpi);
                } else {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
            } else {
                Check(false, L"unexpected window " + Show(TextOf(window)) + L" of class " + Show(className));
            }
        },
        [&] {
            PROCESS_MEMORY_COUNTERS memory{};
            memory.cb = sizeof memory;
            if (GetProcessMemoryInfo(run.Process(), &memory, sizeof memory))
                peakMemory = std::max<std::uint64_t>(peakMemory, memory.PeakWorkingSetSize);
            if (++turn % 10 == 0) {
                crashDialog = crashDialog || CrashDialogShowing();
                debuggers = std::max(debuggers, DebuggersRunning());
            }
        });
    outcome.exitCode = run.ExitCode();
    if (outcome.ended) {
        Check(outcome.exitCode <= 3, L"exit code " + std::to_wstring(outcome.exitCode) +
                                         L" is none of the launcher's own (0 to 3): it crashed");
        CheckEqual(static_cast<long long>(outcome.exitCode), c.exitCode, L"exit code");
    } else {
        Check(false, L"the launcher did not end within " + std::to_wstring(kBound / 1000) + L" s; terminated");
    }
    crashDialog = crashDialog || CrashDialogShowing();
    debuggers = std::max(debuggers, DebuggersRunning());
    Check(!crashDialog, L"the system's crash dialog showed");
    Check(debuggers == debuggersBefore, L"a debugger (winedbg) was started: the launcher crashed");
    Check(peakMemory <= kMemoryBound, L"peak working set " + std::to_wstring(peakMemory >> 20) +
                                          L" MB, more than " + std::to_wstring(kMemoryBound >> 20) + L" MB");
    CheckEqual(int(outcome.boxes.size()), int(c.boxes.size()), L"message boxes shown");
    if (c.splash) {
        Check(splashInspected, L"the splash window should have shown");
    } else {
        Check(!outcome.splashShown, L"no splash window should have shown");
    }

    // Programs the launcher started run on in the job: wait for them, then
    // count them.
    bool settled = run.WaitForJob(10000);
    if (run.inJob) Check(settled, L"programs started by the launcher should have ended within 10 s");
    if (!settled) {
        WaitUntil([&] { return LogLines(Long(paths.programs + L"\\probe.log")).size() >= c.started.size(); },
                  c.started.empty() ? 500 : 10000);
        Sleep(500);
    }
    if (std::optional<DWORD> total = run.TotalProcesses())
        CheckEqual(*total, 1 + c.started.size(),
                   L"processes that ran in the job (the launcher and what it started)");
    run.Finish();

    outcome.lines = LogLines(Long(paths.programs + L"\\probe.log"));
    std::vector<std::string> lines = outcome.lines, expected;
    for (const auto& line : c.started) expected.push_back(Utf8(Expand(Wide(line), paths, context)));
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    Check(lines == expected, L"started command lines: got " + Listed(lines) + L", expected " + Listed(expected));

    CheckNothingWritten(before, Listing(paths.caseRoot));

    if (c.place == Place::ReadOnly) {
        // Writable again, so that the folder can be removed.
        SetFileAttributesW(Long(paths.media).c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const auto& [path, entry] : Listing(paths.media))
            SetFileAttributesW(Long(paths.media + L"\\" + path).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (verbose)
        Print(L"case " + std::to_wstring(index) + L" [" + c.name + L"] " + std::to_wstring(GetTickCount() - began) +
              L" ms, peak working set " + std::to_wstring(peakMemory >> 20) + L" MB");

    // Paths in the texts become placeholders: the table is the same every run.
    auto placeholders = [&](std::wstring text) {
        Replace(text, paths.media, L"{media}");
        if (paths.start != paths.cwd) Replace(text, paths.start, L"{media}");
        Replace(text, paths.cwd, L"{cwd}");
        Replace(text, paths.programs, L"{programs}");
        Replace(text, paths.other, L"{other}");
        Replace(text, paths.caseRoot, L"{case}");
        if (!paths.deep.empty()) Replace(text, paths.deep, L"{deep}");
        return text;
    };
    for (auto& text : outcome.boxes) text = placeholders(text);
    for (auto& text : outcome.failures) text = placeholders(text);
    for (auto& line : outcome.lines) line = Utf8(placeholders(Wide(line)));
    return outcome;
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
    for (const auto& line : o.lines) parts.push_back(L"started " + Cell(Wide(line), 60));
    if (o.lines.empty()) parts.push_back(L"nothing started");
    parts.push_back(o.ended ? L"exit " + std::to_wstring(o.exitCode) : L"did not end: terminated");
    std::wstring out;
    for (const auto& part : parts) out += (out.empty() ? L"" : L"; ") + part;
    return out;
}

std::wstring WineVersion()
{
    using Version = const char*(CDECL*)();
    auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version ? L"Wine " + Wide(version()) : L"Windows";
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
        WineVersion() + L" at " + std::to_wstring(context.dpi) + L" DPI:\n"
        L"the launcher is copied into a fresh folder as `setup.exe` beside the case's INI and files,\n"
        L"started in a job object and watched from outside.\n\n"
        L"Besides its own expectation, every case checks that the launcher ends by itself within " +
        std::to_wstring(kBound / 1000) + L" s\n"
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
        for (const auto& box : o.boxes) messages += (messages.empty() ? L"" : L"<br>—<br>") + Cell(box);
        if (messages.empty()) messages = L"–";
        std::wstring result = o.failures.empty()
                                  ? L"passed"
                                  : L"**FAILED**: " + Cell(o.failures.front(), 200) +
                                        (o.failures.size() > 1
                                             ? L" (and " + std::to_wstring(o.failures.size() - 1) + L" more)"
                                             : L"");
        text += L"| " + std::to_wstring(k + 1) + L" | " + Cell(c.name) + L" | " + c.checks + L" | " +
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
    std::vector<std::wstring> positional;
    std::wstring only, table;
    for (int k = 1; k < argc; ++k) {
        std::wstring arg = argv[k];
        if (arg == L"--verbose") verbose = true;
        else if (arg.rfind(L"--only=", 0) == 0) only = arg.substr(7);
        else if (arg.rfind(L"--table=", 0) == 0) table = arg.substr(8);
        else if (arg == L"--table" && k + 1 < argc) table = argv[++k];
        else positional.push_back(arg);
    }
    if (positional.size() != 2) {
        Print(L"usage: hostile_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--table PATH]");
        return 2;
    }

    Context context;
    context.launcher = WindowsPath(positional[0]);
    context.probe = WindowsPath(positional[1]);
    currentCase = L"set-up";
    bool ready = Check(GetFileAttributesW(context.launcher.c_str()) != INVALID_FILE_ATTRIBUTES,
                       L"launcher not found: " + context.launcher);
    ready = Check(GetFileAttributesW(context.probe.c_str()) != INVALID_FILE_ATTRIBUTES,
                  L"probe not found: " + context.probe) && ready;
    context.dpi = ScreenDpi();
    context.notFound = NotFoundText();
    ready = Check(!context.notFound.empty(), L"no system text for a missing program") && ready;
    context.tempRoot = MakeTempRoot(L"trelvo-hostile");
    ready = Check(!context.tempRoot.empty(), L"creating a folder for the cases in the temporary folder") && ready;

    std::vector<const Case*> ran;
    std::vector<Outcome> outcomes;
    std::vector<std::vector<Case>> tables = {IniTextCases(), PictureCases(), IconCases(),
                                             ActionCases(),  PathCases(),    FolderCases()};
    if (ready) {
        int index = 0;
        for (const auto& cases : tables)
            for (const Case& c : cases) {
                ++index;
                if (!only.empty() && c.name.find(only) == std::wstring::npos) continue;
                outcomes.push_back(RunCase(c, index, context));
                ran.push_back(&c);
                // Only the folders of failed cases are kept.
                if (outcomes.back().failures.empty())
                    DeleteTree(Long(context.tempRoot + L"\\" + std::to_wstring(index)));
            }
    }

    if (!table.empty()) {
        currentCase = L"table";
        std::wstring path = WindowsPath(table);
        if (Check(WriteTable(path, ran, outcomes, context), L"writing the table " + path))
            Print(L"table of " + std::to_wstring(ran.size()) + L" cases written to " + path);
    }

    Print(std::to_wstring(ran.size()) + L" cases ran in " +
          std::to_wstring((GetTickCount() - runStart + 500) / 1000) + L" s");
    if (failed == 0) {
        DeleteTree(Long(context.tempRoot));
    } else if (!context.tempRoot.empty()) {
        Print(L"the folders of the failed cases are kept in " + context.tempRoot);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
