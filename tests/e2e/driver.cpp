// End-to-end tests of trelvo.exe, run under Wine (or Windows).
//
//   e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT]
//   e2e_driver <trelvo.exe> <probe.exe> --dpi=144
//
// The second form sets the system DPI (LogPixels) to 144, runs the one window
// case at that DPI in a second instance of the driver, which reads the new
// value as it starts, and restores the old value afterwards.
//
// For each case of the tables below: a fresh medium folder with the INI, the
// pictures and the launcher copied under the case's name, plus probe.exe (it
// logs every command line it is started with). The launcher runs in a job
// object; the driver watches its windows from outside, reads and dismisses
// its message boxes, measures and samples the splash window, acts on it like
// a user, and checks the exit code and the command lines that were started.
//
// Prints one line per failed check and finally "N passed, N failed".
// Exit code 0 only when no check failed.
#include "DriverSupport.h"

namespace {

using namespace e2e;

// ---------------------------------------------------------------------------
// The cases

enum class Folder { Media, Other };
enum class Cwd { Media, Other, DriveRoot };

// A file or folder placed before the start.
struct Extra {
    Folder in;
    std::wstring name;
    std::string bytes;
    bool folder = false;
};

// Expected message boxes (Box) may hold {media}, {cwd}, {ini} and {notfound}
// (the system's text for a program that isn't there).

struct Case {
    std::wstring name;
    std::optional<std::string> ini;  // written as <cwd>\<exe base name>.ini; {media} is replaced
    std::wstring exe = L"setup.exe";
    std::wstring folder = L"media";
    Cwd cwd = Cwd::Media;
    std::vector<Extra> extras;
    std::vector<std::wstring> probes = {L"probe.exe"};
    int exitCode = 0;
    std::vector<Box> boxes;
    std::vector<std::string> started;  // probe.log lines, each exactly once; {media} is replaced
    std::optional<Splash> splash;      // absent: no splash window may show
    bool shellTypes = false;           // register the probe as the shell's opener (ShellTypes)
};

const std::wstring kMissingIni = L"{ini} doesn't exist. INI filename must be the same as EXE filename.";

Extra SplashBmp(Folder in = Folder::Media, const std::wstring& name = L"splash.bmp")
{
    return {in, name, Bmp(kPictureWidth, kPictureHeight, kPictureColour)};
}

// The [DIALOG] section of a shown window with the small picture.
std::string Dialog(const char* show, const std::string& more = "")
{
    return std::string("[DIALOG]\nShow=") + show + "\nPicture=splash.bmp\n" + more;
}

// Missing INI, where it is looked for, and the executable's name.
std::vector<Case> StartupCases()
{
    const std::string toProbe = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /media-ini\n";
    return {
        {.name = L"missing INI", .exitCode = 1, .boxes = {{kMissingIni}}},
        {.name = L"INI beside the exe, current directory elsewhere",
         .cwd = Cwd::Other,
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"INI read from the current directory, not the exe's",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Current-Dir\n",
         .cwd = Cwd::Other,
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /from-current-dir"}},
        {.name = L"renamed exe looks for its own INI",
         .exe = L"install.exe",
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"renamed exe reads its own INI",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Autorun\n",
         .exe = L"autorun.exe",
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /autorun"}},
        {.name = L"exe name with a space and a dot",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Dotted\n",
         .exe = L"Disc Setup.v2.exe",
         .started = {"probe.exe /dotted"}},
        {.name = L"missing INI in a drive root",
         .exe = L"trelvo-e2e-nothing-here.exe",
         .cwd = Cwd::DriveRoot,
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"Cyrillic and Greek folder: silent exit",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n",
         .folder = L"Установка Σετ"},
        {.name = L"Cyrillic and Greek folder: missing INI",
         .folder = L"Установка Σετ",
         .exitCode = 1,
         .boxes = {{kMissingIni, {L"Установка Σετ\\setup.ini"}}}},
        {.name = L"Cyrillic and Greek folder: command started",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Unicode-Folder\n",
         .folder = L"Установка Σετ",
         .started = {"probe.exe /from-unicode-folder"}},
    };
}

// Silent mode: the default action.
std::vector<Case> SilentCases()
{
    return {
        {.name = L"silent exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n"},
        {.name = L"silent EXIT", .ini = "[DIALOG]\nShow=False\nDefaultAction=EXIT\n"},
        {.name = L"silent Exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=Exit\n"},
        {.name = L"Show key absent is silent", .ini = "[DIALOG]\nDefaultAction=exit\n"},
        {.name = L"command with arguments lower-cased",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.EXE /Lang=DE\n",
         .started = {"probe.exe /lang=de"}},
        {.name = L"quoted program name with a space",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=\"Probe Tool.EXE\" /Mode=Quiet\n",
         .probes = {L"probe.exe", L"Probe Tool.exe"},
         .started = {"\"probe tool.exe\" /mode=quiet"}},
        {.name = L"program that isn't there",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=No-Such-Tool.EXE /Q\n",
         .exitCode = 3,
         .boxes = {{L"", {L"no-such-tool.exe /q", L"{notfound}"}}}},
        {.name = L"empty INI tries to start false",
         .ini = "",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
        {.name = L"DIALOG without DefaultAction tries to start false",
         .ini = "[DIALOG]\nShow=False\nCaption=Nothing to do\n",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
    };
}

// [DIALOG] Show as a boolean text. The dialog-mode values are covered by the
// layout table (True, 1, -1, TRUE, tRuE, 7).
std::vector<Case> ShowValueCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"Show=0 is silent",
         .ini = "[DIALOG]\nShow=0\nDefaultAction=Probe.exe /Zero\n" + buttons,
         .started = {"probe.exe /zero"}},
        {.name = L"Show=False is silent",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Word\n" + buttons,
         .started = {"probe.exe /word"}},
        {.name = L"Show=fALSE is silent",
         .ini = "[DIALOG]\nShow=fALSE\nDefaultAction=Probe.exe /Mixed\n" + buttons,
         .started = {"probe.exe /mixed"}},
        {.name = L"Show=Maybe is an error",
         .ini = "[DIALOG]\nShow=Maybe\nDefaultAction=Probe.exe /never\nPicture=splash.bmp\n" + buttons,
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"DIALOG", L"{ini}", L"Maybe"}}}},
        {.name = L"button Show=Yes is an error",
         .ini = Dialog("True") + Button(1, "True", "One", "Probe.exe /one") + Button(2, "0", "Two", "x") +
                Button(3, "Yes", "Three", "Probe.exe /three"),
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"BUTTON3", L"{ini}", L"Yes"}}}},
    };
}

// Every row of the layout, with a different way out of each window.
std::vector<Case> LayoutCases()
{
    return {
        {.name = L"layout of 0 buttons, Escape",
         .ini = Dialog("True", "Caption=No Buttons\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(2, "0", "Two", "Probe.exe /two") + Button(3, nullptr, "Three", "Probe.exe /three") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"No Buttons", .captions = {}, .step = Step::Escape}},
        {.name = L"layout of 1 button, click",
         .ini = Dialog("1", "Caption=One Button\n") + Button(1, "1", "&Install", "Probe.EXE /Slot=One"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /slot=one"},
         .splash = Splash{.title = L"One Button", .captions = {L"&Install"}, .step = Step::Click, .slot = 0}},
        {.name = L"layout of 2 buttons, WM_CLOSE",
         .ini = Dialog("-1", "Caption=Two Buttons\n") + Button(1, "True", "Read Me", "Probe.exe /readme") +
                Button(2, "True", "Browse", "Probe.exe /browse"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Two Buttons", .captions = {L"Read Me", L"Browse"}, .step = Step::Close}},
        {.name = L"layout of 3 buttons, exit button",
         .ini = Dialog("TRUE", "Caption=Three Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "E&xit", "Exit"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Three Buttons",
                          .captions = {L"One", L"Two", L"E&xit"},
                          .step = Step::Click,
                          .slot = 2}},
        {.name = L"layout of 4 buttons, Escape",
         .ini = Dialog("tRuE", "Caption=Four Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /three") +
                Button(4, "True", "Four", "Probe.exe /four"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Four Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four"},
                          .step = Step::Escape}},
        {.name = L"layout of 5 buttons, click the last",
         .ini = Dialog("7", "Caption=Five Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "1", "Two", "Probe.exe /two") + Button(3, "-1", "Three", "Probe.exe /three") +
                Button(4, "TRUE", "Four", "Probe.exe /four") + Button(5, "true", "Five", "Probe.EXE /Five") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /five"},
         .splash = Splash{.title = L"Five Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four", L"Five"},
                          .step = Step::Click,
                          .slot = 4}},
    };
}

// Kept sections are packed into the first slots; defaults of absent keys.
std::vector<Case> PackingCases()
{
    return {
        {.name = L"BUTTON2 and BUTTON4 packed into slots 0 and 1",
         .ini = Dialog("True", "Caption=Packed\n") + Button(1, "False", "First", "Probe.exe /first") +
                Button(2, "True", "Second", "Probe.exe /second") + Button(4, "1", "Fourth", "Probe.exe /Fourth") +
                Button(5, "0", "Fifth", "Probe.exe /fifth") + Button(6, "True", "Sixth", "Probe.exe /sixth"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /fourth"},
         .splash = Splash{.title = L"Packed", .captions = {L"Second", L"Fourth"}, .step = Step::Click, .slot = 1}},
        {.name = L"absent Caption and Action keys",
         .ini = Dialog("True") + Button(1, "True", "Alpha", "Probe.exe /alpha") +
                Button(2, "True", nullptr, "Probe.exe /two") + Button(3, "True", "Gamma", nullptr),
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}},
         .splash = Splash{.title = L"False",
                          .captions = {L"Alpha", L"False", L"Gamma"},
                          .step = Step::Click,
                          .slot = 2}},
    };
}

// Keyboard: Tab among the visible buttons, Enter and Space press the focused one.
std::vector<Case> KeyboardCases()
{
    return {
        {.name = L"Tab to the third button, Enter",
         .ini = Dialog("True", "Caption=Keys\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /Three"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Keys",
                          .captions = {L"One", L"Two", L"Three"},
                          .step = Step::TabEnter,
                          .slot = 2}},
        {.name = L"Tab wraps past hidden buttons, Space",
         .ini = Dialog("True", "Caption=Wrap\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(3, "True", "Three", "Probe.exe /Three") + Button(5, "True", "Five", "Probe.exe /Five"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Wrap", .captions = {L"Three", L"Five"}, .step = Step::TabSpace, .slot = 0}},
    };
}

// The picture: it must exist.
std::vector<Case> PictureCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"missing picture file",
         .ini = "[DIALOG]\nShow=True\nPicture=missing.bmp\nDefaultAction=Probe.exe /never\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - missing.bmp"}}},
        {.name = L"missing picture keeps the path as written",
         .ini = "[DIALOG]\nShow=True\nPicture=Art\\Missing.BMP\n" + buttons,
         .extras = {{Folder::Media, L"Art", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - Art\\Missing.BMP"}}},
        {.name = L"no Picture key",
         .ini = "[DIALOG]\nShow=True\nCaption=No Picture\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - False"}}},
        {.name = L"Picture naming a folder",
         .ini = "[DIALOG]\nShow=True\nPicture=pictures\n" + buttons,
         .extras = {{Folder::Media, L"pictures", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - pictures"}}},
    };
}

// Background colour in its three notations, its default, and a PNG blended over it.
std::vector<Case> ColourCases()
{
    // PNG 40 x 30: left half opaque picture colour, right half white at alpha
    // 128; the lowest 10 rows fully transparent red.
    auto png = Png(40, 30, [](int x, int y) -> Rgba {
        if (y >= 20) return {255, 0, 0, 0};
        if (x < 20) return {GetRValue(kPictureColour), GetGValue(kPictureColour), GetBValue(kPictureColour), 255};
        return {255, 255, 255, 128};
    });
    auto blend = [](int over, int back) { return (over * 128 + back * 127 + 127) / 255; };
    COLORREF halfWhite = RGB(blend(255, GetRValue(kBack)), blend(255, GetGValue(kBack)), blend(255, GetBValue(kBack)));

    return {
        {.name = L"BackColor r,g,b",
         .ini = Dialog("True", "BackColor=47,31,107\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor &H hex, picture by full path",
         .ini = "[DIALOG]\nShow=True\nBackColor=&H6B1F2F\nCaption=Colour\nPicture={media}\\art\\Splash.bmp\n" +
                Button(1, "True", "One", "Probe.exe /one"),
         .extras = {{Folder::Media, L"art", "", true}, SplashBmp(Folder::Media, L"art\\Splash.bmp")},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor decimal",
         .ini = Dialog("True", "BackColor=7020335\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour",
                          .captions = {L"One"},
                          .pixels = AroundPicture(kBack),
                          .step = Step::CloseBox}},
        {.name = L"no BackColor key is black",
         .ini = Dialog("True", "Caption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(RGB(0, 0, 0))}},
        {.name = L"PNG transparency over the background",
         .ini = "[DIALOG]\nShow=True\nBackColor=47,31,107\nCaption=Alpha\nPicture=splash.png\n",
         .extras = {{Folder::Media, L"splash.png", png}},
         .splash = Splash{.title = L"Alpha",
                          .captions = {},
                          .pixels = {{5, 5, kPictureColour, 3, L"opaque part"},
                                     {30, 10, halfWhite, 6, L"half transparent white"},
                                     {10, 25, kBack, 3, L"fully transparent part"},
                                     {40, 10, kBack, 2, L"right of the picture"},
                                     {10, 30, kBack, 2, L"below the picture"}}}},
    };
}

// The window's icon and title.
std::vector<Case> IconCases()
{
    return {
        {.name = L"missing icon keeps the built-in one",
         .ini = Dialog("True", "Icon=nothere.ico\nCaption=Icon Missing\n") + Button(1, "True", "One", "Probe.exe /1"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Icon Missing", .captions = {L"One"}}},
        {.name = L"icon from the medium",
         .ini = Dialog("True", "Icon=product.ico\nCaption=Icon Given\n") + Button(1, "True", "One", "Probe.exe /1"),
         .extras = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .splash = Splash{.title = L"Icon Given", .captions = {L"One"}, .mediumIcon = true}},
    };
}

// The INI file's encoding: UTF-8 with or without its mark, a Windows-1252
// file that is not UTF-8, and UTF-16 show the same caption.
std::string Utf16Ini(const std::wstring& text)
{
    std::string out = "\xFF\xFE";
    for (wchar_t c : text) {
        if (c == L'\n') out += std::string("\r\0", 2);
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    return out;
}

std::vector<Case> EncodingCases()
{
    const std::wstring title = L"D\u00E9j\u00E0 Vu \u2013 Setup";
    const std::string utf8 = Dialog("True", "Caption=D\xC3\xA9j\xC3\xA0 Vu \xE2\x80\x93 Setup\n") +
                             Button(1, "True", "\xC3\x9C" "ber", "Probe.exe /1");
    return {
        {.name = L"UTF-8 INI with its mark",
         .ini = "\xEF\xBB\xBF" + utf8,
         .extras = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        {.name = L"UTF-8 INI without a mark",
         .ini = utf8,
         .extras = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        // The mark stands before the first section, which must still be found.
        {.name = L"UTF-8 INI with its mark, silent",
         .ini = "\xEF\xBB\xBF[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Marked\n",
         .started = {"probe.exe /marked"}},
        {.name = L"Windows-1252 INI that is not UTF-8",
         .ini = Dialog("True", "Caption=D\xE9j\xE0 Vu \x96 Setup\n") + Button(1, "True", "\xDC" "ber", "Probe.exe /1"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        {.name = L"UTF-16 INI",
         .extras = {SplashBmp(),
                    {Folder::Media, L"setup.ini",
                     Utf16Ini(L"[DIALOG]\nShow=True\nPicture=splash.bmp\nCaption=" + title +
                              L"\n[BUTTON1]\nShow=True\nCaption=\u00DCber\nAction=Probe.exe /1\n")}},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
    };
}

// ---------------------------------------------------------------------------
// Documents and URLs opened through the shell

// For the cases with shellTypes, the prefix's classes name this case's probe
// as the program that opens a ".trelvodoc" document, a "trelvo-e2e:" URL and
// a folder,
// so what the shell opens is logged like any started program. The keys go
// again when the case ends. A ".trelvonone" document and a "nobody-e2e:" URL
// have no program.
class ShellTypes {
public:
    explicit ShellTypes(const std::wstring& media)
    {
        const std::wstring probe = L"\"" + media + L"\\probe.exe\"";
        ok_ = Set(L".trelvodoc", nullptr, L"Trelvo.E2EDocument") &&
              Set(L"Trelvo.E2EDocument\\shell\\open\\command", nullptr, probe + L" /opened \"%1\" %*") &&
              Set(L"trelvo-e2e", nullptr, L"URL:Trelvo end-to-end test") && Set(L"trelvo-e2e", L"URL Protocol", L"") &&
              Set(L"trelvo-e2e\\shell\\open\\command", nullptr, probe + L" /url \"%1\"") &&
              Set(L"Folder\\shell\\open\\command", nullptr, probe + L" /folder \"%1\"");
    }
    ~ShellTypes()
    {
        for (const wchar_t* key : {L".trelvodoc", L"Trelvo.E2EDocument", L"trelvo-e2e"})
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        // A fresh prefix has no "Folder" class; only what was added goes
        // (each key only while it is empty).
        for (const wchar_t* key : {L"Folder\\shell\\open\\command", L"Folder\\shell\\open", L"Folder\\shell", L"Folder"})
            RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
    }
    ShellTypes(const ShellTypes&) = delete;
    ShellTypes& operator=(const ShellTypes&) = delete;
    bool Ok() const { return ok_; }

private:
    static bool Set(const wchar_t* key, const wchar_t* name, const std::wstring& value)
    {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return false;
        LSTATUS status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    }
    bool ok_ = false;
};

std::vector<Case> ShellCases()
{
    const std::string openedBy = "\"{media}\\probe.exe\" ";
    return {
        {.name = L"button opens a document",
         .ini = Dialog("True", "Caption=Documents\n") + Button(1, "True", "Read Me", "ReadMe.TrelvoDoc"),
         .extras = {SplashBmp(), {Folder::Media, L"ReadMe.trelvodoc", "the manual"}},
         .started = {openedBy + "/opened \"{media}\\readme.trelvodoc\" "},
         .splash = Splash{.title = L"Documents", .captions = {L"Read Me"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"button opens a URL",
         .ini = Dialog("True", "Caption=Web\n") + Button(1, "True", "Support", "Trelvo-E2E://Example/Support?Page=2"),
         .extras = {SplashBmp()},
         .started = {openedBy + "/url \"trelvo-e2e://example/support?page=2\""},
         .splash = Splash{.title = L"Web", .captions = {L"Support"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"silent mode opens a document with arguments",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Guide.TrelvoDoc /Page=2\n",
         .extras = {{Folder::Media, L"guide.trelvodoc", "the guide"}},
         .started = {openedBy + "/opened \"{media}\\guide.trelvodoc\" /page=2"},
         .shellTypes = true},
        {.name = L"button opens a folder",
         .ini = Dialog("True", "Caption=Browse\n") + Button(1, "True", "Extras", "Extras"),
         .extras = {SplashBmp(), {Folder::Media, L"Extras", "", true}},
         .started = {openedBy + "/folder \"extras\""},
         .splash = Splash{.title = L"Browse", .captions = {L"Extras"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"silent mode opens the medium's own folder",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=.\n",
         .started = {openedBy + "/folder \"{media}\""},  // the shell names "." in full
         .shellTypes = true},
        {.name = L"missing document: one message, nothing started",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Missing.TrelvoDoc\n",
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"missing.trelvodoc", L"{notfound}"}}},
         .shellTypes = true},
        {.name = L"a program still starts as a process, not through the shell",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /As-Process\n",
         .started = {"probe.exe /as-process"},
         .shellTypes = true},
        {.name = L"a document type no program opens: one message",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Notes.TrelvoNone\n",
         .extras = {{Folder::Media, L"notes.trelvonone", "notes"}},
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't open", L"notes.trelvonone"}}},
         .shellTypes = true},
        {.name = L"a URL scheme nobody handles: one message",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Nobody-E2E:Page\n",
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't open", L"nobody-e2e:page"}}},
         .shellTypes = true},
    };
}

// ---------------------------------------------------------------------------
// Running one case

struct Context {
    std::wstring launcher, probe, tempRoot, notFound;
    int dpi = 96;
};

struct Paths {
    std::wstring caseRoot, media, other, cwd, ini;
};

// What a case showed, written out for the checker's agreement test
// (tests/media/agreement.py) when the driver runs with --export=DIR.
struct Observed {
    std::vector<SeenBox> boxes;
    bool window = false;
    std::wstring title;
    std::vector<std::pair<std::wstring, long>> buttons;  // shown ones: caption, left edge in pixels
    std::optional<int> clicked;                          // the slot the case pressed
    long long exitCode = -1;
    std::vector<std::string> started;
};
std::wstring exportRoot;

void ObserveSplash(HWND splash, Observed& observed)
{
    observed.window = true;
    observed.title = TextOf(splash);
    for (int slot = 0; slot < 5; ++slot) {
        HWND button = GetDlgItem(splash, kFirstButtonId + slot);
        if (button && IsWindowVisible(button))
            observed.buttons.emplace_back(TextOf(button), RectInClient(button, splash).left);
    }
}

std::string JsonText(const std::wstring& text)
{
    std::string out = "\"";
    for (char c : Utf8(text)) {
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (static_cast<unsigned char>(c) < 0x20) out += "\\u00" + std::string{"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
        else out += c;
    }
    return out + "\"";
}

// A Windows path as this machine's (Unix) path, under Wine; empty elsewhere.
std::wstring UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return L"";
    char* unix = toUnix(path.c_str());
    if (!unix) return L"";
    std::wstring out = Wide(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// <export>\<index>\outcome.json and the launcher's current directory as
// <export>\<index>\medium (a drive root is not copied: its case needs no file).
void ExportCase(const Case& c, int index, const Paths& paths, const Context& context, const Observed& observed)
{
    CreateDirectoryW(exportRoot.c_str(), nullptr);
    std::string json = "{\n  \"name\": " + JsonText(c.name) + ",\n  \"cwd\": " + JsonText(paths.cwd) +
                       ",\n  \"cwd_unix\": " + JsonText(UnixPath(paths.cwd)) +
                       ",\n  \"case_root_unix\": " + JsonText(UnixPath(paths.caseRoot)) +
                       ",\n  \"exe\": " + JsonText(c.exe) + ",\n  \"dpi\": " + std::to_string(context.dpi) +
                       ",\n  \"exit_code\": " + std::to_string(observed.exitCode) + ",\n  \"boxes\": [";
    for (size_t i = 0; i < observed.boxes.size(); ++i)
        json += std::string(i ? ", " : "") + "{\"title\": " + JsonText(observed.boxes[i].title) +
                ", \"text\": " + JsonText(observed.boxes[i].text) + "}";
    json += "],\n  \"started\": [";
    for (size_t i = 0; i < observed.started.size(); ++i)
        json += std::string(i ? ", " : "") + JsonText(Wide(observed.started[i]));
    json += "],\n  \"window\": ";
    if (observed.window) {
        json += "{\"title\": " + JsonText(observed.title) + ", \"buttons\": [";
        for (size_t i = 0; i < observed.buttons.size(); ++i)
            json += std::string(i ? ", " : "") + "{\"caption\": " + JsonText(observed.buttons[i].first) +
                    ", \"left_px\": " + std::to_string(observed.buttons[i].second) + "}";
        json += "]}";
    } else {
        json += "null";
    }
    json += ",\n  \"clicked\": " + (observed.clicked ? std::to_string(*observed.clicked) : std::string("null")) + "\n}\n";
    std::wstring file = exportRoot + L"\\" + std::to_wstring(index) + L".json";
    Check(WriteBytes(file, json), L"writing " + file);
}

std::wstring Expand(std::wstring text, const Paths& paths, const Context& context)
{
    Replace(text, L"{media}", paths.media);
    Replace(text, L"{cwd}", paths.cwd);
    Replace(text, L"{ini}", paths.ini);
    Replace(text, L"{notfound}", context.notFound);
    return text;
}

// A message box against the case's expectation; then OK.
void CheckBox(HWND box, const Case& c, const Paths& paths, const Context& context, int index, Observed& observed)
{
    std::wstring which = L"message box " + std::to_wstring(index + 1);
    SeenBox seen = ReadBox(box);
    observed.boxes.push_back(seen);
    if (verbose) Print(L"  box " + Show(seen.title) + L": " + Show(seen.text));

    CheckBoxAgainst(seen, c.boxes, index, which, [&](const std::wstring& text) { return Expand(text, paths, context); });
    PressOk(box);
}
bool Prepare(const Case& c, int index, const Context& context, Paths& paths)
{
    paths.caseRoot = context.tempRoot + L"\\" + std::to_wstring(index);
    paths.media = paths.caseRoot + L"\\" + c.folder;
    paths.other = paths.caseRoot + L"\\other";
    bool ok = CreateDirectoryW(paths.caseRoot.c_str(), nullptr) && CreateDirectoryW(paths.media.c_str(), nullptr) &&
              CreateDirectoryW(paths.other.c_str(), nullptr);
    if (!Check(ok, L"creating the case folders under " + paths.caseRoot)) return false;

    if (c.cwd == Cwd::Media) {
        paths.cwd = paths.media;
    } else if (c.cwd == Cwd::Other) {
        paths.cwd = paths.other;
    } else {
        wchar_t volume[MAX_PATH] = {};
        GetVolumePathNameW(context.tempRoot.c_str(), volume, MAX_PATH);
        paths.cwd = volume;  // "C:\"
    }
    std::wstring directory = paths.cwd;
    if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    std::wstring base = c.exe.substr(0, c.exe.rfind(L'.'));
    paths.ini = directory + L"\\" + base + L".ini";

    ok = CopyFileW(context.launcher.c_str(), (paths.media + L"\\" + c.exe).c_str(), FALSE);
    for (const auto& probe : c.probes)
        ok = ok && CopyFileW(context.probe.c_str(), (paths.media + L"\\" + probe).c_str(), FALSE);
    if (!Check(ok, L"copying the programs into " + paths.media)) return false;

    for (const Extra& extra : c.extras) {
        std::wstring path = (extra.in == Folder::Media ? paths.media : paths.other) + L"\\" + extra.name;
        bool made = extra.folder ? CreateDirectoryW(path.c_str(), nullptr) != 0 : WriteBytes(path, extra.bytes);
        if (!Check(made, L"writing " + path)) return false;
    }
    if (c.ini) {
        std::string text = *c.ini;
        std::string media = Utf8(paths.media);
        for (size_t at = text.find("{media}"); at != std::string::npos; at = text.find("{media}", at))
            text.replace(at, 7, media);
        if (!Check(WriteBytes(paths.ini, IniBytes(text)), L"writing " + paths.ini)) return false;
    } else if (c.cwd == Cwd::DriveRoot) {
        if (!Check(GetFileAttributesW(paths.ini.c_str()) == INVALID_FILE_ATTRIBUTES,
                   paths.ini + L" must not exist for this case"))
            return false;
    }
    return true;
}

void RunCase(const Case& c, int index, const Context& context)
{
    currentCase = c.name;
    DWORD began = GetTickCount();
    Paths paths;
    if (!Prepare(c, index, context, paths)) return;

    std::optional<ShellTypes> shellTypes;
    if (c.shellTypes && !Check(shellTypes.emplace(paths.media).Ok(), L"registering the probe as the shell's opener"))
        return;

    LauncherRun run;
    std::wstring exePath = paths.media + L"\\" + c.exe;
    if (!Check(run.Start(exePath, paths.cwd), L"starting " + exePath + L": " + run.error)) return;

    // Watch the launcher's windows until it ends.
    Observed observed;
    int boxes = 0;
    bool splashShown = false, splashInspected = false;
    bool ended = run.Watch(20000, [&](HWND window) {
        std::wstring className = ClassOf(window);
        if (className == L"#32770") {
            CheckBox(window, c, paths, context, boxes++, observed);
        } else if (className == L"TrelvoSplash") {
            if (!splashShown) ObserveSplash(window, observed);
            splashShown = true;
            if (c.splash && !splashInspected) {
                if (c.splash->step == Step::Click || c.splash->step == Step::TabEnter || c.splash->step == Step::TabSpace)
                    observed.clicked = c.splash->slot;
                splashInspected = true;
                InspectSplash(window, *c.splash, context.dpi);
            } else {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
    });
    if (ended) {
        observed.exitCode = static_cast<long long>(run.ExitCode());
        CheckEqual(static_cast<long long>(run.ExitCode()), c.exitCode, L"exit code");
    } else {
        Check(false, L"the launcher did not end within 20 s; terminated");
    }
    CheckEqual(boxes, int(c.boxes.size()), L"message boxes shown");
    if (c.splash) {
        Check(splashInspected, L"the splash window should have shown");
    } else {
        Check(!splashShown, L"no splash window should have shown");
    }

    // Programs the launcher started run on in the job: wait for them.
    bool settled = run.WaitForJob(10000);
    if (run.inJob) Check(settled, L"programs started by the launcher should have ended within 10 s");
    if (!settled) {
        // Without the job's count: wait for the expected lines, then a little more.
        WaitUntil([&] { return LogLines(paths.media + L"\\probe.log").size() >= c.started.size(); },
                  c.started.empty() ? 500 : 10000);
        Sleep(500);
    }
    run.Finish();

    std::vector<std::string> lines = LogLines(paths.media + L"\\probe.log");
    std::vector<std::string> expected = c.started;
    for (std::string& line : expected)
        for (size_t at = line.find("{media}"); at != std::string::npos; at = line.find("{media}", at))
            line.replace(at, 7, Utf8(paths.media));
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    Check(lines == expected, L"started command lines: got " + Listed(lines) + L", expected " + Listed(expected));
    observed.started = lines;
    if (!exportRoot.empty()) ExportCase(c, index, paths, context, observed);

    if (verbose)
        Print(L"case " + std::to_wstring(index) + L" [" + c.name + L"] " + std::to_wstring(GetTickCount() - began) +
              L" ms");
}

// ---------------------------------------------------------------------------
// 144 DPI

// The window at another DPI: every length is twips * DPI / 1440 (at 144: the
// client area 722 x 518, buttons 140 x 50 at top 456, lefts 3, 147, 291, 435,
// 579), and the 481 x 297 picture, scaled by DPI / 96 (to 722 x 446 at 144),
// still fills the area above the buttons.
Case DpiCase(int dpi)
{
    int width = MulDiv(481, dpi, 96), height = MulDiv(297, dpi, 96), buttonTop = Pixels(dpi, kButtonTop);
    return {.name = std::to_wstring(dpi) + L" DPI: five buttons and a 481 x 297 picture",
            .ini = Dialog("True", "BackColor=47,31,107\nCaption=At " + std::to_string(dpi) + " DPI\n") +
                   Button(1, "True", "One", "Probe.exe /one") + Button(2, "True", "Two", "Probe.exe /two") +
                   Button(3, "True", "Three", "Probe.exe /three") + Button(4, "True", "Four", "Probe.exe /four") +
                   Button(5, "True", "Five", "Probe.exe /Five-At-Dpi"),
            .extras = {{Folder::Media, L"splash.bmp", Bmp(481, 297, kPictureColour)}},
            .started = {"probe.exe /five-at-dpi"},
            .splash = Splash{.title = L"At " + std::to_wstring(dpi) + L" DPI",
                             .captions = {L"One", L"Two", L"Three", L"Four", L"Five"},
                             .pixels = {{5, 5, kPictureColour, 3, L"picture, top left"},
                                        {width - 7, height - 6, kPictureColour, 3, L"picture, near its bottom right"},
                                        {width - 1, height - 1, kPictureColour, 3, L"picture, its last pixel"},
                                        {width - 1, height, kBack, 2, L"just below the scaled picture"},
                                        {width - 7, height + 4, kBack, 2, L"below the picture, above the buttons"},
                                        {width / 2, (height + buttonTop) / 2, kBack, 2,
                                         L"between the picture and the buttons"}},
                             .step = Step::Click,
                             .slot = 4}};
}

// Windows (and Wine) read the system DPI from this value when a program starts.
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kLogPixels[] = L"LogPixels";
// Where the value to restore is kept while a run has changed it, so that a
// run that was killed is repaired by the next one.
const wchar_t kSavedKey[] = L"Software\\Trelvo\\e2e";
const wchar_t kSavedLogPixels[] = L"SavedLogPixels";
constexpr DWORD kNoValue = 0xFFFFFFFF;  // saved: LogPixels was absent

std::optional<DWORD> ReadDword(const wchar_t* keyName, const wchar_t* name)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyName, name, RRF_RT_REG_DWORD, &type, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool WriteDword(const wchar_t* keyName, const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool DeleteValue(const wchar_t* keyName, const wchar_t* name)
{
    LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, keyName, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Puts back the LogPixels value a run saved; true when nothing was left to do
// or it was put back.
bool RestoreLogPixels()
{
    std::optional<DWORD> saved = ReadDword(kSavedKey, kSavedLogPixels);
    if (!saved) return true;
    bool ok = *saved == kNoValue ? DeleteValue(kDesktopKey, kLogPixels) : WriteDword(kDesktopKey, kLogPixels, *saved);
    ok = ok && DeleteValue(kSavedKey, kSavedLogPixels);
    if (ok) RegDeleteKeyW(HKEY_CURRENT_USER, kSavedKey);  // ours alone; gone when empty
    return ok;
}

// Sets LogPixels, runs this driver again (a program started now reads the new
// DPI) for the case at that DPI, and restores the old value, whatever the
// child did.
int RunAtDpi(int dpi, const std::wstring& launcher, const std::wstring& probe)
{
    currentCase = L"LogPixels=" + std::to_wstring(dpi);
    std::optional<DWORD> old = ReadDword(kDesktopKey, kLogPixels);
    if (!Check(WriteDword(kSavedKey, kSavedLogPixels, old ? *old : kNoValue), L"saving the old LogPixels value") ||
        !Check(WriteDword(kDesktopKey, kLogPixels, DWORD(dpi)), L"setting LogPixels")) {
        RestoreLogPixels();
        return 1;
    }
    struct Restore {
        ~Restore() { Check(RestoreLogPixels(), L"restoring LogPixels"); }
    } restore;

    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())));
    std::wstring commandLine = L"\"" + self + L"\" \"" + launcher + L"\" \"" + probe + L"\" --at-dpi=" +
                               std::to_wstring(dpi) + (verbose ? L" --verbose" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!Check(CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &child),
               L"starting " + commandLine + L": " + SystemErrorText(GetLastError())))
        return 1;
    bool ended = WaitForSingleObject(child.hProcess, 180000) == WAIT_OBJECT_0;
    if (!Check(ended, L"the driver at " + std::to_wstring(dpi) + L" DPI did not end within 180 s; terminated"))
        TerminateProcess(child.hProcess, 99);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return ended && code == 0 ? 0 : 1;
}

// In the child: the whole process sees the new DPI; it measures the window
// without any scaling by the system.
bool ReadyAtDpi(int dpi)
{
    currentCase = L"at " + std::to_wstring(dpi) + L" DPI";
    using SetContext = BOOL(WINAPI*)(HANDLE);
    auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the older per-monitor kind.
    if (!setContext || (!setContext(HANDLE(-4)) && !setContext(HANDLE(-3)))) SetProcessDPIAware();
    int screen = ScreenDpi();
    return Check(screen == dpi, L"the system should read " + std::to_wstring(dpi) + L" DPI after LogPixels=" +
                                    std::to_wstring(dpi) + L", it reads " + std::to_wstring(screen));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD runStart = GetTickCount();
    std::vector<std::wstring> positional;
    std::wstring only;
    int dpi = 0, atDpi = 0;
    for (int k = 1; k < argc; ++k) {
        std::wstring arg = argv[k];
        if (arg == L"--verbose") verbose = true;
        else if (arg.rfind(L"--only=", 0) == 0) only = arg.substr(7);
        else if (arg.rfind(L"--dpi=", 0) == 0) dpi = _wtoi(arg.c_str() + 6);
        else if (arg.rfind(L"--at-dpi=", 0) == 0) atDpi = _wtoi(arg.c_str() + 9);
        else if (arg.rfind(L"--export=", 0) == 0) exportRoot = WindowsPath(arg.substr(9));
        else positional.push_back(arg);
    }
    if (positional.size() != 2 || dpi < 0 || atDpi < 0) {
        Print(L"usage: e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--dpi=N]");
        Print(L"  --dpi=N  runs only the window case at N DPI (LogPixels=N, restored afterwards)");
        Print(L"  --export=DIR  writes each case's medium and what it showed, for the checker's agreement test");
        return 2;
    }

    Context context;
    context.launcher = WindowsPath(positional[0]);
    context.probe = WindowsPath(positional[1]);
    currentCase = L"set-up";
    if (atDpi == 0 && ReadDword(kSavedKey, kSavedLogPixels)) {
        Print(L"note: restoring LogPixels left changed by an interrupted run");
        Check(RestoreLogPixels(), L"restoring LogPixels left changed by an interrupted run");
    }
    if (dpi > 0) {
        int code = RunAtDpi(dpi, context.launcher, context.probe);
        std::printf("%d passed, %d failed\n", passed, failed);
        std::fflush(stdout);
        return failed == 0 ? code : 1;
    }

    bool ready = Check(GetFileAttributesW(context.launcher.c_str()) != INVALID_FILE_ATTRIBUTES,
                       L"launcher not found: " + context.launcher);
    ready = Check(GetFileAttributesW(context.probe.c_str()) != INVALID_FILE_ATTRIBUTES,
                  L"probe not found: " + context.probe) && ready;
    if (atDpi > 0) ready = ReadyAtDpi(atDpi) && ready;
    context.dpi = atDpi > 0 ? atDpi : ScreenDpi();

    context.notFound = NotFoundText();
    ready = Check(!context.notFound.empty(), L"no system text for a missing program") && ready;
    context.tempRoot = MakeTempRoot(L"trelvo-e2e");
    if (!exportRoot.empty()) {
        // No case of an earlier run stays, nor its media (kept for the
        // agreement test, which removes them only when all agree).
        if (std::optional<std::string> kept = ReadBytes(exportRoot + L"\\kept-media")) DeleteTree(Wide(*kept));
        DeleteTree(exportRoot);
        CreateDirectoryW(exportRoot.c_str(), nullptr);
        WriteBytes(exportRoot + L"\\kept-media", Utf8(context.tempRoot));
    }
    ready = Check(!context.tempRoot.empty(), L"creating a folder for the cases in the temporary folder") && ready;

    if (ready) {
        std::vector<std::vector<Case>> tables = {StartupCases(), SilentCases(), ShowValueCases(), LayoutCases(),
                                                 PackingCases(), KeyboardCases(), PictureCases(),  ColourCases(),
                                                 IconCases(),   ShellCases(), EncodingCases()};
        if (atDpi > 0) tables = {{DpiCase(atDpi)}};
        int index = 0;
        for (const auto& table : tables)
            for (const Case& c : table) {
                ++index;
                if (!only.empty() && c.name.find(only) == std::wstring::npos) continue;
                RunCase(c, index, context);
            }
    }

    Print(L"cases ran in " + std::to_wstring((GetTickCount() - runStart + 500) / 1000) + L" s");
    if (failed == 0 && exportRoot.empty()) {
        DeleteTree(context.tempRoot);
    } else if (!context.tempRoot.empty()) {
        Print(L"case folders kept in " + context.tempRoot);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
